"""VitascanCmd.exe from the command line: arguments, console lines, exit codes, the saved report."""
import os
import re
import sys
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from vitascan_e2e import assert_report_matches_schema, lines, run_vitascan, scratch_dir, windows_path  # noqa: E402

VERSION = os.environ["VITASCAN_VERSION"]
BANNER = "VitascanCmd version " + VERSION


class CommandLine(unittest.TestCase):
    # Runs VitascanCmd.exe with a diagnostic log: its closing call runs on every path. The log's
    # text is kept in self.log.
    def run_logged(self, *args, env=None):
        with scratch_dir() as tmp:
            log = os.path.join(tmp, "log.txt")
            result = run_vitascan(*args, env={"KES_LOG_FILE": windows_path(log), **(env or {})})
            with open(log, encoding="utf-8", newline="") as f:
                self.log = f.read()
            self.assertTrue(self.log.rstrip().endswith("VitascanCmd closed"), args)
        return result

    # Each console line is logged as a general text of the information level at the fixed place
    # the suite's log readers know.
    def test_no_arguments_prints_banner_and_usage_and_logs_both(self):
        result = self.run_logged()
        self.assertEqual((result.returncode, result.stderr), (0, b""))
        self.assertEqual(lines(result.stdout), [BANNER, "Usage: VitascanCmd.exe /out:outfile.vitascan"])
        self.assertTrue(self.log.startswith(
            "INFO [console] Common/CommandLineUtils(25): " + BANNER + "\n"
            "INFO [console] Common/CommandLineUtils(25): Usage: VitascanCmd.exe /out:outfile.vitascan\n"), self.log)

    def test_failures_give_one_line_on_standard_error_and_exit_code_1(self):
        for args, text, where in [
            (["runserver"], "CommandLine::Assign", "app/VitascanCmd:481"),  # positional arguments are case-sensitive
            (["/RunServer"], "CommandLine::Assign", "app/VitascanCmd:501"),  # a slash makes it an option
            (["RunServer", "/bogus:1"], "CommandLine::Assign", "app/VitascanCmd:501"),
            (["bogus", "/bogus:1"], "CommandLine::Assign", "app/VitascanCmd:481"),  # positionals are checked first
            (["RunServer", "/pipename:vitascan-e2e-absent", "/out:x"],
             "Cannot open the pipe \\\\.\\pipe\\vitascan-e2e-absent: ", "app/VitascanCmd:533"),
        ]:
            with self.subTest(args=args), scratch_dir() as tmp:
                journal = os.path.join(tmp, "journal.txt")
                result = self.run_logged(*args, env={"RUISDK_JOURNAL": windows_path(journal)})
                self.assertEqual((result.returncode, result.stdout), (1, b""))
                error, = lines(result.stderr)
                self.assertTrue(text in error and error.endswith(" (%s)" % where), error)
                self.assertFalse(os.path.exists(journal))  # no service made: the SDK never ran

    # A save into a missing folder is reported, not fatal; a saved report is well-formed with
    # single CR LF line ends.
    def test_save_fails_or_writes_a_well_formed_report(self):
        with scratch_dir() as tmp:
            # Non-ASCII text reaches the console as UTF-8 (Wine reads arguments in the locale).
            target = windows_path(os.path.join(tmp, "missing \u00e7\u4e2d", "r.vitascan"))
            result = self.run_logged("/out:" + target, env={"LC_ALL": "C.UTF-8"})
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertIn(("\r\nSaving to %s\r\nUnable to save to %s: " % (target, target)).encode("utf-8"),
                          result.stdout)
            self.assertRegex(lines(result.stdout)[-1], "^" + re.escape("Unable to save to " + target + ": ") + r"\S")
            self.assertEqual(os.listdir(tmp), [])
            path = os.path.join(tmp, "with blank.vitascan")  # a quoted value keeps its blanks
            result = run_vitascan("/out:" + windows_path(path))
            self.assertEqual(result.returncode, 0, result.stderr)
            out = lines(result.stdout)
            self.assertEqual((out[0], out[-1]), (BANNER, "Saving to " + windows_path(path)))
            with open(path, "rb") as f:
                major, minor = VERSION.split(".")[:2]
                self.assertRegex(f.read(), (r'\A<\?xml version="1\.0" encoding="utf-8"\?>\r\n'
                                            r"<vitascan version='%s\.%s' versionDisplay='%s'>\r\n"
                                            r"(?:[^\r\n]*\r\n)*</vitascan>\r\n\Z" % (major, minor, re.escape(VERSION))).encode())
            assert_report_matches_schema(path)


if __name__ == "__main__":
    unittest.main(verbosity=2)
