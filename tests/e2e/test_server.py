"""VitascanCmd.exe in server mode, driven over a real named pipe by the suite-side peer."""
import http.server
import os
import sys
import threading
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from vitascan_e2e import assert_report_matches_schema, run_driver, run_vitascan, scratch_dir, windows_path  # noqa: E402


class TrackingServer:
    """A local HTTP server standing in for the suite's tracking service."""

    def __init__(self, status=200):
        self.requests = []
        owner = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_POST(self):
                body = self.rfile.read(int(self.headers.get("Content-Length", 0)))
                owner.requests.append((self.path, dict(self.headers), body))
                self.send_response(status)
                self.send_header("Content-Length", "0")
                self.end_headers()

            def log_message(self, *args):
                pass

        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.url = "http://127.0.0.1:%d/vitascan/upload" % self.server.server_address[1]
        threading.Thread(target=self.server.serve_forever, daemon=True).start()

    def close(self):
        self.server.shutdown()
        self.server.server_close()


def replies(output):
    """Reply lines keyed by position, without the server's own console lines."""
    return [line for line in output if " -> " in line or line.startswith("exit code")]


class FullSession(unittest.TestCase):
    def test_all_sixteen_calls_build_save_and_send_a_report(self):
        tracker = TrackingServer()
        self.addCleanup(tracker.close)
        with scratch_dir() as tmp:
            report = os.path.join(tmp, "session.vitascan")
            journal = os.path.join(tmp, "journal.txt")
            script = [
                "TrackEvent file.open",
                'TrackStringValueEvent session.init "user; & co"',
                "TrackUnsignedValueEvent mesh.cells 7",
                "TrackTimedEventStart mesh.generate",
                "TrackTimedEventEnd 3",
                "SetExcludePII true",
                "StartGroup client",
                'SetDataPoint build "a<b & ""c"""',
                "AddStandardGroup 268435456",
                "EndGroup",
                "AddStandardGroup 8",
                "AddStandardGroup 258050",  # networking and every section of the system block
                'SaveTo "%s"' % windows_path(report),
                "ProcessStart",
            ] + ["GetNextStepDesc", "GetProgressPct", "ProcessNext"] * 8 + [
                'SaveTo "web service"',
                "Process",
            ]
            code, out, err = run_driver("\n".join(script),
                                        env={"KES_TRACK_URL": tracker.url, "RUISDK_JOURNAL": windows_path(journal)})
            self.assertEqual(code, 0, err)
            out = replies(out)
            self.assertEqual(out[:13], [
                "TrackEvent -> ok", "TrackStringValueEvent -> ok", "TrackUnsignedValueEvent -> ok",
                "TrackTimedEventStart -> ok 3", "TrackTimedEventEnd -> ok", "SetExcludePII -> ok",
                "StartGroup -> ok", "SetDataPoint -> ok", "AddStandardGroup -> ok", "EndGroup -> ok",
                "AddStandardGroup -> ok", "AddStandardGroup -> ok", "SaveTo -> ok"])
            self.assertEqual(out[13], "ProcessStart -> ok (ok)")
            progress = out[14:14 + 24]
            finished = progress.index("ProcessNext -> ok (ok, true)")
            # Every step before the finish reported more to come; progress counted up to 100.
            self.assertTrue(all(l == "ProcessNext -> ok (ok, false)" for l in progress[2:finished:3]))
            self.assertEqual(progress[finished - 1], "GetProgressPct -> ok 100")
            self.assertEqual(progress[finished - 2], 'GetNextStepDesc -> ok ""')
            self.assertEqual(out[-3:], ["SaveTo -> ok", "Process -> ok (ok)", "exit code 0"])

            with open(report, "rb") as f:
                saved = f.read()
            self.assertEqual(saved.count(b"\n"), saved.count(b"\r\n"))
            self.assertNotIn(b"\r\r", saved)
            self.assertIn(b'<client build="a&lt;b &amp; &quot;c&quot;">\r\n  <events>\r\n', saved)
            self.assertIn(b'<event name="session.init" value="user; &amp; co" eventtime=', saved)
            self.assertIn(b'<event name="mesh.cells" value="7" eventtime=', saved)
            self.assertRegex(saved, rb'<event name="mesh.generate" eventtime="[^"]+" elapsed="0d 0:00:0')
            assert_report_matches_schema(report)
            # Personal data left out: no environment, no computer name.
            self.assertIn(b"<system>", saved)
            self.assertNotIn(b"<environment>", saved)
            self.assertNotIn(b" CSName=", saved)

            # The web service got the same document, unchanged (CR LF as the engine wrote it).
            self.assertEqual(len(tracker.requests), 1)
            path, headers, body = tracker.requests[0]
            self.assertEqual(path, "/vitascan/upload")
            self.assertEqual(headers.get("Content-Type"), "application/xml")
            self.assertEqual(body.replace(b"\r", b""), saved.replace(b"\r", b""))

            with open(journal, encoding="utf-8") as f:
                calls = [line.split("\t")[0] for line in f.read().splitlines()]
            self.assertEqual(calls, ["ruiCreateInstance", "ruiCreateConfig", "ruiSetProductData", "ruiStartSDK",
                                     "ruiTrackEvent", "ruiTrackEventText", "ruiStopSDK", "ruiDestroyInstance"])

    def test_tracking_server_errors_come_back_in_the_status(self):
        tracker = TrackingServer(status=503)
        self.addCleanup(tracker.close)
        code, out, err = run_driver('SaveTo "web service"\nProcessNext\n', "--offline",
                                    env={"KES_TRACK_URL": tracker.url})
        self.assertEqual(code, 0, err)
        self.assertRegex(replies(out)[1], r'^ProcessNext -> ok \(error ".*HTTP 503.*", true\)$')
        self.assertIn(tracker.url, replies(out)[1])


class Faults(unittest.TestCase):
    def test_bad_requests_get_error_replies_and_serving_goes_on(self):
        script = "\n".join([
            "!raw TrackStringValueEvent only-one-item",
            "TrackEvent still.alive",
            "!raw TrackUnsignedValueEvent x;12y",
            "TrackEvent still.alive",
            "NoSuchCall 1",
            "TrackEvent still.alive",
            "!envelope TrackEvent",
            "TrackEvent still.alive",
            "!raw EndGroup ignored;text",
            "TrackTimedEventStart last",
        ])
        code, out, err = run_driver(script, "--offline")
        self.assertEqual(code, 0, err)
        out = replies(out)
        self.assertRegex(out[0], r'^TrackStringValueEvent -> error ".*only-one-item.*Common/grammar_Tuple:117\)"$')
        self.assertRegex(out[2], r'^TrackUnsignedValueEvent -> error ".*12y.*"$')
        self.assertEqual(out[4], 'NoSuchCall -> error "unknown remote call \\"NoSuchCall\\""')
        self.assertRegex(out[6], r'^!envelope -> error "malformed remote call request.*"$')
        for i in (1, 3, 5, 7):
            self.assertEqual(out[i], "TrackEvent -> ok")
        self.assertEqual(out[8], "EndGroup -> ok")
        self.assertEqual(out[9], "TrackTimedEventStart -> ok 4")
        self.assertEqual(out[10], "exit code 0")

    def test_broken_framing_ends_the_server_cleanly(self):
        cases = {
            "oversized length": ("!frame-length 67108865\n!close\n", "over the limit"),
            "closed inside a message": ("TrackEvent a\n!bytes 0a000000414243\n!close\n", "inside a message"),
        }
        for name, (script, logged) in cases.items():
            with self.subTest(name), scratch_dir() as tmp:
                log = os.path.join(tmp, "log.txt")
                code, out, err = run_driver(script, "--offline", env={"KES_LOG_FILE": windows_path(log)})
                self.assertEqual(code, 0, err)
                self.assertEqual(replies(out)[-1], "exit code 0")
                with open(log, encoding="utf-8") as f:
                    self.assertIn(logged, f.read())

    def test_offline_never_calls_the_sdk(self):
        with scratch_dir() as tmp:
            journal = os.path.join(tmp, "journal.txt")
            code, out, err = run_driver("TrackEvent file.open\nAddStandardGroup 268435456\n", "--offline",
                                        env={"RUISDK_JOURNAL": windows_path(journal)})
            self.assertEqual(code, 0, err)
            self.assertFalse(os.path.exists(journal))

    def test_missing_pipe_is_fatal_with_its_path(self):
        result = run_vitascan("RunServer", "/pipename:vitascan-e2e-absent")
        self.assertEqual(result.returncode, 1)
        self.assertIn("\\\\.\\pipe\\vitascan-e2e-absent", result.stderr.decode("utf-8"))
        self.assertIn(":533)", result.stderr.decode("utf-8"))


if __name__ == "__main__":
    unittest.main(verbosity=2)
