"""VitascanCmd.exe from the command line: arguments, console lines, exit codes, the saved report."""
import os
import re
import sys
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from vitascan_e2e import assert_report_matches_schema, lines, run_vitascan, scratch_dir, windows_path  # noqa: E402

VERSION = os.environ["VITASCAN_VERSION"]
BANNER = "VitascanCmd version " + VERSION
USAGE = "Usage: VitascanCmd.exe /out:outfile.vitascan"
STEP_TEXTS = {
    "Collecting network adapters", "Collecting system information", "Checking disk space",
    "Reading registry keys", "Looking for installed products", "Listing files and folders",
    "Listing running processes",
}


class Arguments(unittest.TestCase):
    def test_no_arguments_prints_banner_and_usage(self):
        result = run_vitascan()
        self.assertEqual(result.returncode, 0)
        self.assertEqual(lines(result.stdout), [BANNER, USAGE])
        self.assertEqual(result.stderr, b"")

    def test_unknown_words_fail_with_the_line_of_their_kind(self):
        cases = [
            (["runserver"], "481"),           # positional arguments are case-sensitive
            (["/RunServer"], "501"),          # a slash makes it an option
            (["RunServer", "/bogus:1"], "501"),
            (["bogus", "/bogus:1"], "481"),   # positionals are checked first
            (["-out:x"], "481"),
        ]
        for args, line in cases:
            with self.subTest(args=args):
                result = run_vitascan(*args)
                self.assertEqual(result.returncode, 1)
                self.assertEqual(result.stdout, b"")
                error = lines(result.stderr)
                self.assertEqual(len(error), 1)
                self.assertIn("CommandLine::Assign", error[0])
                self.assertTrue(error[0].endswith(":" + line + ")"), error[0])

    def test_closing_call_runs_on_every_path(self):
        with scratch_dir() as tmp:
            log = os.path.join(tmp, "log.txt")
            for args, code in ((["bogus"], 1), ([], 0)):
                with self.subTest(args=args):
                    if os.path.exists(log):
                        os.remove(log)
                    result = run_vitascan(*args, env={"KES_LOG_FILE": windows_path(log)})
                    self.assertEqual(result.returncode, code)
                    with open(log, encoding="utf-8") as f:
                        self.assertTrue(f.read().rstrip().endswith("VitascanCmd closed"))

    def test_server_mode_without_a_pipe_fails_on_standard_error(self):
        result = run_vitascan("RunServer", "/pipename:vitascan-e2e-nobody-listens", "/out:ignored")
        self.assertEqual(result.returncode, 1)
        self.assertEqual(result.stdout, b"")
        self.assertEqual(len(lines(result.stderr)), 1)


class Report(unittest.TestCase):
    def test_save_into_a_missing_folder_is_reported_not_fatal(self):
        with scratch_dir() as tmp:
            # Non-ASCII text reaches the console as UTF-8 (Wine reads arguments in the locale).
            target = windows_path(os.path.join(tmp, "missing \u00e7\u4e2d", "r.vitascan"))
            result = run_vitascan("/out:" + target, env={"LC_ALL": "C.UTF-8"})
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertIn(("\r\nSaving to %s\r\nUnable to save to %s: " % (target, target)).encode("utf-8"),
                          result.stdout)
            out = lines(result.stdout)
            self.assertEqual(out[0], BANNER)
            self.assertRegex(out[-1], "^" + re.escape("Unable to save to " + target + ": ") + r"\S")
            self.assertFalse(os.path.exists(os.path.join(tmp, "missing \u00e7\u4e2d")))

    def test_report_is_well_formed_with_single_crlf_line_ends(self):
        with scratch_dir() as tmp:
            # A quoted value keeps its blanks.
            os.makedirs(os.path.join(tmp, "with blank"))
            path = os.path.join(tmp, "with blank", "report.vitascan")
            target = windows_path(path)
            result = run_vitascan("/out:" + target)
            self.assertEqual(result.returncode, 0, result.stderr)
            out = lines(result.stdout)
            self.assertEqual(out[0], BANNER)
            self.assertEqual(out[-1], "Saving to " + target)
            for step in out[1:-1]:
                self.assertIn(step, STEP_TEXTS)

            with open(path, "rb") as f:
                data = f.read()
            self.assertTrue(data.startswith(b'<?xml version="1.0" encoding="utf-8"?>\r\n'))
            major, minor = VERSION.split(".")[:2]
            self.assertIn(("<vitascan version='%s.%s' versionDisplay='%s'>\r\n" % (major, minor, VERSION)).encode(),
                          data)
            self.assertTrue(data.endswith(b"</vitascan>\r\n"))
            self.assertNotIn(b"\r\r", data)
            self.assertEqual(data.count(b"\n"), data.count(b"\r\n"))
            assert_report_matches_schema(path)


if __name__ == "__main__":
    unittest.main(verbosity=2)
