"""The command-line report of this machine: the system and process blocks, in step order."""
import os
import re
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from vitascan_e2e import lines, run_vitascan, scratch_dir, windows_path  # noqa: E402

# Block elements in step order; the ones another branch has not brought yet are simply absent.
STEP_ORDER = ["networking", "system", "diskspace", "registry", "products", "filesystem", "processes"]


class SystemAndProcessBlocks(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with scratch_dir() as tmp:
            path = os.path.join(tmp, "machine.vitascan")
            result = run_vitascan("/out:" + windows_path(path))
            cls.returncode, cls.stdout, cls.stderr = result.returncode, result.stdout, result.stderr
            cls.xmllint = subprocess.run(["xmllint", "--noout", path], capture_output=True)
            with open(path, "rb") as f:
                cls.data = f.read()
        cls.text = cls.data.decode("ascii")

    def test_report_is_well_formed_and_steps_are_announced_in_order(self):
        self.assertEqual(self.returncode, 0, self.stderr)
        self.assertEqual(self.xmllint.returncode, 0, self.xmllint.stderr)
        out = lines(self.stdout)
        steps = [line for line in out if line in ("Collecting system information", "Listing running processes")]
        self.assertEqual(steps, ["Collecting system information", "Listing running processes"])

    def test_blocks_appear_once_in_step_order(self):
        starts = re.findall(r"^<(\w+)>\r$", self.text, re.MULTILINE)
        self.assertEqual(starts.count("system"), 1)
        self.assertEqual(starts.count("processes"), 1)
        ranked = [name for name in starts if name in STEP_ORDER]
        self.assertEqual(ranked, sorted(ranked, key=STEP_ORDER.index))

    def test_system_block_has_every_section_in_order(self):
        system = self.text[self.text.index("<system>\r\n"):self.text.index("</system>\r\n")]
        sections = re.findall(r"^  <(\w+)", system, re.MULTILINE)
        self.assertEqual(sections, ["wmi", "windowsinstaller", "dotnet", "monitors", "locale", "ie",
                                    "environment", "time", "processors", "memory"])
        for element in ("Win32_OperatingSystem", "Win32_Processor", "Win32_ComputerSystem"):
            self.assertEqual(len(re.findall(r"^    <%s .*/>\r$" % element, system, re.MULTILINE)), 1, element)
        self.assertRegex(system, r'OSLanguageLanguage="[^"]+"')

    def test_process_block_lists_this_report_run(self):
        block = self.text[self.text.index("<processes>\r\n"):self.text.index("</processes>\r\n")]
        rows = re.findall(r"^    <Win32_Process .*/>\r$", block, re.MULTILINE)
        self.assertTrue(any('Name="VitascanCmd.exe"' in row for row in rows), block[:400])
        self.assertTrue(block.endswith("  </wmi>\r\n"))


if __name__ == "__main__":
    unittest.main(verbosity=2)
