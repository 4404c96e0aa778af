"""The console's output code page: a real console is switched to UTF-8 for the run and gets
its own page back when the process ends; redirected output leaves it alone."""
import os
import shlex
import subprocess
import tempfile
import unittest

import vitascan_e2e as e2e


class ConsolePage(unittest.TestCase):
    def probe(self, on_console):
        with tempfile.TemporaryDirectory() as folder:
            pages = os.path.join(folder, "pages.txt")
            command = [e2e.WINE_RUN, os.path.join(e2e.BIN_DIR, "ConsolePageProbe.exe"),
                       e2e.windows_path(pages)]
            if on_console:  # a pseudo-terminal is a console to Wine
                command = ["script", "-qec", shlex.join(command), "/dev/null"]
            subprocess.run(command, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                           check=True, timeout=60)
            with open(pages) as f:
                return f.read().split()

    def test_a_console_is_switched_for_the_run_and_restored_at_exit(self):
        before, during, after = self.probe(on_console=True)
        self.assertNotEqual(before, "65001")
        self.assertEqual(during, "65001")
        self.assertEqual(after, before)

    def test_redirected_output_leaves_the_page_alone(self):
        before, during, after = self.probe(on_console=False)
        self.assertEqual((during, after), (before, before))


if __name__ == "__main__":
    unittest.main()
