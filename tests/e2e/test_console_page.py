"""The console's output code page: a real console is switched to UTF-8 for the run and gets
its own page back when the process ends; redirected output leaves it alone."""
import os
import shlex
import subprocess
import unittest

import vitascan_e2e as e2e


class ConsolePage(unittest.TestCase):
    # Output redirected from a console window (VitascanCmd > file) leaves the window's page alone.
    def test_only_a_console_is_switched_and_it_is_restored_at_exit(self):
        for on_console, redirected in ((True, False), (True, True), (False, False)):
            with self.subTest(on_console=on_console, redirected=redirected), e2e.scratch_dir() as folder:
                pages = os.path.join(folder, "pages.txt")
                command = [e2e.WINE_RUN, os.path.join(e2e.BIN_DIR, "ConsolePageProbe.exe"), e2e.windows_path(pages)]
                if on_console:  # a pseudo-terminal is a console to Wine
                    command = ["script", "-qec", shlex.join(command) + (" >/dev/null 2>&1" if redirected else ""),
                               "/dev/null"]
                subprocess.run(command, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, check=True, timeout=60)
                with open(pages) as f:
                    before, during, after = f.read().split()
                self.assertEqual((during, after), ("65001" if on_console and not redirected else before, before))
                self.assertTrue(before != "65001" or not on_console)


if __name__ == "__main__":
    unittest.main()
