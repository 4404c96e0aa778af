"""The report's machine blocks from end to end: fixtures in the test prefix (the maker's
registry keys in both views, uninstall entries, the maker's data folders and an install
folder), then VitascanCmd.exe /out:... and the saved document, checked fragment by fragment."""
import calendar
import os
import re
import shutil
import sys
import unittest
import xml.etree.ElementTree as ElementTree

sys.path.insert(0, os.path.dirname(__file__))
from vitascan_e2e import (PREFIX, assert_report_matches_schema, lines, run, run_vitascan,  # noqa: E402
                          scratch_dir, windows_path)

DRIVE_C = os.path.join(PREFIX, "drive_c")
PALLANTO = os.path.join(DRIVE_C, "ProgramData", "Pallanto")
UNINSTALL = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall"
# 09:05:07 UTC on 4 December 2026, as the listing writes it.
WRITTEN = calendar.timegm((2026, 12, 4, 9, 5, 7, 0, 0, 0))

# The block unit tests hold the exact dumps; these keys name the shared folder from a registry
# value (alone) and from product entries (with subfolders).
REGISTRY_FIXTURE = r'''Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\KORVEL-AB]
"DataFolder"="C:\\VitascanE2E\\Shared"

[HKEY_LOCAL_MACHINE\Software\Wow6432Node\KORVEL-AB\Pallanto]
"InstallLocation"="C:\\VitascanE2E\\Shared\\"
"ProductLabel"="Pallanto 32"

[HKEY_LOCAL_MACHINE\Software\KORVEL-AB\Pallanto]
"ProductLabel"="Pallanto 64"

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall\{E2E-VITASCAN-1}]
"DisplayName"="Pallanto Suite"
"HelpLink"="https://korvel-ab.example/help"
"InstallLocation"="C:\\VitascanE2E\\Shared\\"
'''


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    os.utime(path, (WRITTEN, WRITTEN))


def element(indent, name, data, content=None):
    """A file element as the listing writes it into the saved file (LF written as CR LF)."""
    text = ' ' * indent + '<file name="%s" bytes="%d" size="%d B" datemodified="04/12/2026 9:05:07"' % (
        name, len(data), len(data))
    return text + ("/>\n" if content is None else ">\n" + content + " " * indent + "</file>\n")


def remove_fixtures(roaming_pallanto):
    for key, view in (("HKCU\\Software\\KORVEL-AB", "64"), ("HKLM\\Software\\KORVEL-AB", "64"),
                      ("HKLM\\Software\\KORVEL-AB", "32"), (UNINSTALL + "\\{E2E-VITASCAN-1}", "64")):
        run("reg", "delete", key, "/f", "/reg:" + view)
    for folder in (PALLANTO, os.path.join(DRIVE_C, "VitascanE2E"), roaming_pallanto):
        shutil.rmtree(folder, ignore_errors=True)


class ReportBlocks(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        roaming = lines(run("cmd", "/c", "echo", "%APPDATA%").stdout)[0]
        assert roaming[:3].upper() == "C:\\", roaming
        cls.roaming_pallanto = os.path.join(DRIVE_C, *roaming[3:].split("\\"), "Pallanto")
        remove_fixtures(cls.roaming_pallanto)
        # Class cleanups run even when this setup fails half-way (tearDownClass would not):
        # fixtures left in the prefix would fail the next run's block tests.
        cls.addClassCleanup(remove_fixtures, cls.roaming_pallanto)
        cls.tmp = scratch_dir()
        cls.addClassCleanup(cls.tmp.cleanup)
        fixture = os.path.join(cls.tmp.name, "fixture.reg")
        with open(fixture, "wb") as f:
            f.write(b"\xff\xfe" + REGISTRY_FIXTURE.replace("\n", "\r\n").encode("utf-16-le"))
        imported = run("reg", "import", windows_path(fixture))
        assert imported.returncode == 0, imported.stderr

        write(os.path.join(PALLANTO, "NOTES.TXT"), b"not embedded")
        write(os.path.join(PALLANTO, "readme.txt"), b"line one\r\nline <two> & caf\xc3\xa9")
        write(os.path.join(PALLANTO, "service.debug"), b"debug\n")
        # Names that Windows would refuse or that need escaping: the listing shows whatever
        # the file system makes of them and stays well-formed.
        cls.odd_names = ["a&b'c.log", "lt<gt>.txt", 'dq".txt', "ctl\x01.txt", "\U0001F600.log"]
        for name in cls.odd_names:
            write(os.path.join(PALLANTO, name), b"odd")
        write(os.path.join(cls.roaming_pallanto, "session.log"), b"roaming\n")
        write(os.path.join(DRIVE_C, "VitascanE2E", "Shared", "a.log"), b"a")
        write(os.path.join(DRIVE_C, "VitascanE2E", "Shared", "sub", "b.txt"), b"b\n")

        cls.report_path = os.path.join(cls.tmp.name, "machine.vitascan")
        result = run_vitascan("/out:" + windows_path(cls.report_path))
        cls.console = lines(result.stdout)
        cls.returncode = result.returncode
        with open(cls.report_path, "rb") as f:
            cls.saved = f.read()
        # Every line of the saved file ends with CR LF; compare with LF line ends.
        cls.report = cls.saved.decode("ascii").replace("\r\n", "\n")

    def block(self, name):
        return re.search(r"^<%s>\n.*?^</%s>\n" % (name, name), self.report, re.MULTILINE | re.DOTALL)[0]

    def test_document_is_valid_with_the_blocks_in_step_order(self):
        self.assertEqual(self.returncode, 0)
        self.assertEqual(self.console[1:], [
            "Collecting network adapters", "Collecting system information", "Checking disk space",
            "Reading registry keys", "Looking for installed products", "Listing files and folders",
            "Listing running processes", "Saving to " + windows_path(self.report_path)])
        assert_report_matches_schema(self.report_path)
        self.assertEqual(self.saved.count(b"\n"), self.saved.count(b"\r\n"))
        self.assertEqual(re.findall(r"^<(\w+)>$", self.report, re.MULTILINE), [
            "networking", "system", "disks", "registry", "products", "filesystem", "processes"])

        # Well-formed copies changed in one place each: the schema refuses them.
        disks = self.block("disks")
        for name, text in (("renamed attribute", self.report.replace(' datemodified="', ' datemodifed="', 1)),
                           ("block out of order", self.report.replace(disks, "").replace("<system>\n",
                                                                                          disks + "<system>\n"))):
            with self.subTest(name), scratch_dir() as tmp:
                ElementTree.fromstring(text)
                path = os.path.join(tmp, "copy.vitascan")
                with open(path, "w", encoding="ascii") as f:
                    f.write(text)
                with self.assertRaisesRegex(AssertionError, "fails to validate"):
                    assert_report_matches_schema(path)

    def test_system_processes_networking_and_disks(self):
        system = self.block("system")
        self.assertEqual(re.findall(r"^  <(\w+)", system, re.MULTILINE),
                         ["wmi", "windowsinstaller", "dotnet", "monitors", "locale", "ie", "environment", "time",
                          "processors", "memory"])
        self.assertEqual(re.findall(r"^    <(Win32_\w+) ", system, re.MULTILINE),
                         ["Win32_OperatingSystem", "Win32_Processor", "Win32_ComputerSystem"])
        processes = self.block("processes")
        self.assertRegex(processes, r'\n    <Win32_Process [^\n]*Name="VitascanCmd.exe"[^\n]*/>\n')
        self.assertTrue(processes.endswith("  </wmi>\n</processes>\n"))
        for line in self.block("networking").split("\n")[1:-2]:
            self.assertTrue(line.startswith(("  <adapter ", "  </adapter>", '    <ip v="4" ')), line)
        # Under Wine C: is the prefix's drive_c and Z: the Linux root, both fixed.
        self.assertEqual(re.findall(r'<disk type="fixed" drive="(\w:)\\" totalfreebytes="[1-9]', self.report),
                         ["C:", "Z:"])

    def test_registry_dumps_the_user_keys_then_bios_then_both_machine_views(self):
        registry = self.block("registry")
        self.assertEqual(re.findall(r'^  <key name="(\w+)">\n    <key name="(\w+)">\n      <key name="([\w-]+)">',
                                    registry, re.MULTILINE),
                         [("HKCU", "Software", "KORVEL-AB"), ("HKLM", "Hardware", "Description"),
                          ("HKLM", "Software", "WOW6432Node"), ("HKLM", "Software", "KORVEL-AB")])
        self.assertIn('      <key name="KORVEL-AB">\n'
                      '        <value name="DataFolder" type="REG_SZ" value="C:\\VitascanE2E\\Shared"/>\n'
                      '      </key>\n', registry)
        self.assertTrue(registry.endswith('          <value name="ProductLabel" type="REG_SZ" value="Pallanto 64"/>\n'
                                          '        </key>\n      </key>\n    </key>\n  </key>\n</registry>\n'))

    def test_filesystem_lists_the_maker_folders_and_the_install_folder_once(self):
        listing = self.block("filesystem")
        # The drivers folder of the engine comes first; the maker's data folders follow.
        self.assertTrue(listing.startswith('<filesystem>\n  <dir name="C:">\n  <dir name="windows">\n'))
        self.assertIn('  <dir name="ProgramData">\n    <dir name="Pallanto">\n', listing)
        for expected in (element(7, "NOTES.TXT", b"not embedded"),
                         element(7, "readme.txt", b"line one\r\nline <two> & caf\xc3\xa9",
                                 "line one&#013;\nline &lt;two&gt; &amp; caf&#233;"),
                         element(7, "service.debug", b"debug\n", "debug\n"),
                         element(7, "a&amp;b&apos;c.log", b"odd", "odd"),
                         '          <dir name="Pallanto">\n' + element(10, "session.log", b"roaming\n", "roaming\n")
                         + '          </dir>\n'):
            self.assertIn(expected, listing)
        # Named by a registry value and by two products: listed once, subfolders too.
        shared = ('  <dir name="VitascanE2E">\n    <dir name="Shared">\n      <dir name="sub">\n'
                  + element(8, "b.txt", b"b\n", "b\n") + '      </dir>\n' + element(7, "a.log", b"a", "a")
                  + '    </dir>\n  </dir>\n')
        self.assertEqual(listing.count(shared), 1, listing[-3000:])
        self.assertEqual(listing.count('<dir name="VitascanE2E">'), 1)

        # Every file of the data folder has an element, whatever its name became.
        drive = next(d for d in ElementTree.fromstring(self.saved).find("filesystem") if d.get("name") == "C:")
        data = next(d for d in drive if d.get("name") == "ProgramData").find("dir")
        self.assertEqual(data.get("name"), "Pallanto")
        self.assertEqual(len(data.findall("file")), 3 + len(self.odd_names))


if __name__ == "__main__":
    unittest.main(verbosity=2)
