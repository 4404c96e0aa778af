# VitascanCmd.exe in server mode, driven over a real named pipe by the suite-side peer. The
# server fuzz test covers bad requests; this one covers what a whole session leaves behind.
import http.server
import os
import sys
import threading
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from vitascan_e2e import assert_report_matches_schema, run_driver, scratch_dir, windows_path  # noqa: E402


# The reply lines, without the server's own console lines.
def replies(output):
    return [line for line in output if " -> " in line or line.startswith("exit code")]


class Server(unittest.TestCase):
    # A local HTTP server standing in for the suite's tracking service: (its URL, the requests
    # it got as (path, content type, body)).
    def tracker(self, status):
        requests = []

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_POST(self):
                body = self.rfile.read(int(self.headers.get("Content-Length", 0)))
                requests.append((self.path, self.headers.get("Content-Type"), body))
                self.send_response(status)
                self.end_headers()

            def log_message(self, *args):
                pass

        server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        threading.Thread(target=server.serve_forever, daemon=True).start()
        self.addCleanup(server.server_close)
        self.addCleanup(server.shutdown)
        return "http://127.0.0.1:%d/vitascan/upload" % server.server_address[1], requests

    def test_all_sixteen_calls_build_save_and_send_a_report(self):
        url, requests = self.tracker(200)
        with scratch_dir() as tmp:
            report, journal = os.path.join(tmp, "session.vitascan"), os.path.join(tmp, "journal.txt")
            calls = [
                "TrackEvent file.open", 'TrackStringValueEvent session.init "user; & co"',
                "TrackUnsignedValueEvent mesh.cells 7", "TrackTimedEventStart mesh.generate", "TrackTimedEventEnd 3",
                "SetExcludePII true", "StartGroup client", 'SetDataPoint build "a<b & ""c"""',
                "AddStandardGroup 268435456", "EndGroup", "AddStandardGroup 136",  # files and disks
                "AddStandardGroup 258082",  # networking, products, every section of the system block
                'SaveTo "%s"' % windows_path(report), "ProcessStart",
            ]
            script = calls + ["GetNextStepDesc", "GetProgressPct", "ProcessNext"] * 8 + ['SaveTo "web service"', "Process"]
            code, out, err = run_driver("\n".join(script), env={"KES_TRACK_URL": url, "RUISDK_JOURNAL": windows_path(journal)})
            self.assertEqual(code, 0, err)
            out = replies(out)
            self.assertEqual(out[:14], [call.split()[0] + " -> ok" for call in calls[:3]] + ["TrackTimedEventStart -> ok 3"]
                             + [call.split()[0] + " -> ok" for call in calls[4:13]] + ["ProcessStart -> ok (ok)"])
            self.assertEqual(out[-3:], ["SaveTo -> ok", "Process -> ok (ok)", "exit code 0"])

            with open(report, "rb") as f:
                saved = f.read()
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
            self.assertEqual(len(requests), 1)
            path, content_type, body = requests[0]
            self.assertEqual((path, content_type), ("/vitascan/upload", "application/xml"))
            self.assertEqual(body.replace(b"\r", b""), saved.replace(b"\r", b""))
            with open(journal, encoding="utf-8") as f:
                self.assertEqual([line.split("\t")[0] for line in f.read().splitlines()],
                                 ["ruiCreateInstance", "ruiCreateConfig", "ruiSetProductData", "ruiStartSDK",
                                  "ruiTrackEvent", "ruiTrackEventText", "ruiStopSDK", "ruiDestroyInstance"])

    def test_an_offline_session_reports_tracking_errors_and_ends_cleanly_on_broken_framing(self):
        url, posted = self.tracker(503)
        # The system block's general section, never asked to leave personal data out.
        for script, logged in [("!frame-length 67108865\n!close\n", "over the limit"),
                               ('TrackEvent a\nAddStandardGroup 268435456\nAddStandardGroup 131072\nProcessStart\n'
                                'ProcessNext\nSaveTo "web service"\nProcessNext\n'
                                "!bytes 0a000000414243\n!close\n", "inside a message")]:
            with self.subTest(logged), scratch_dir() as tmp:
                log, journal = os.path.join(tmp, "log.txt"), os.path.join(tmp, "journal.txt")
                code, out, err = run_driver(script, "--offline", env={
                    "KES_LOG_FILE": windows_path(log), "RUISDK_JOURNAL": windows_path(journal), "KES_TRACK_URL": url})
                self.assertEqual((code, replies(out)[-1]), (0, "exit code 0"), err)
                with open(log, encoding="utf-8") as f:
                    self.assertRegex(f.read(), r"(?m)^ERROR \[remote-call\] .*" + logged)
                self.assertFalse(os.path.exists(journal))  # offline: the SDK never runs
        self.assertRegex(replies(out)[6], r'^ProcessNext -> ok \(error ".*HTTP 503.*", true\)$')
        self.assertIn(url, replies(out)[6])

    # A session that never calls SetExcludePII keeps the personal data (the environment).
    def test_the_last_pipe_name_counts_the_out_option_is_ignored_and_personal_data_stays_by_default(self):
        with scratch_dir() as tmp:
            never, saved = os.path.join(tmp, "never.vitascan"), os.path.join(tmp, "saved.vitascan")
            code, out, err = run_driver('AddStandardGroup 131072\nSaveTo "%s"\nProcess\n' % windows_path(saved),
                                        "--server-args", "/pipename:vitascan-e2e-unused /out:" + windows_path(never))
            self.assertEqual((code, replies(out)), (0, ["AddStandardGroup -> ok", "SaveTo -> ok", "Process -> ok (ok)",
                                                        "exit code 0"]), err)
            self.assertFalse(os.path.exists(never))
            with open(saved, "rb") as f:
                self.assertIn(b"\r\n  <environment>\r\n    <var name=", f.read())


if __name__ == "__main__":
    unittest.main(verbosity=2)
