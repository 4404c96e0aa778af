"""The report on what a customer's machine holds, end to end under Wine: links that loop, a
folder too deep, a path too long for the system, a folder the user may not read, and the time
zone in a Japanese locale. Each run must end with a report valid against the schema."""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ElementTree

sys.path.insert(0, os.path.dirname(__file__))
from vitascan_e2e import (BIN_DIR, PREFIX, assert_report_matches_schema, run, run_vitascan,  # noqa: E402
                          scratch_dir, windows_path)

DRIVE_C = os.path.join(PREFIX, "drive_c")
PALLANTO = os.path.join(DRIVE_C, "ProgramData", "Pallanto")
PRODUCT_KEY = r"HKLM\Software\KORVEL-AB\Loops"


def report(tmp, env=None):
    """Runs VitascanCmd.exe into tmp; returns its exit code, the report's path and its text."""
    path = os.path.join(tmp, "r.vitascan")
    result = run_vitascan("/out:" + windows_path(path), env=env, timeout=300)
    with open(path, "rb") as f:
        return result.returncode, path, f.read().decode("ascii").replace("\r\n", "\n")


def make_chain(top, name, levels):
    """`levels` nested folders of the given name below top, made through folder handles so
    that the chain may pass the system's path limit; returns the depth in characters."""
    fd = os.open(top, os.O_RDONLY | os.O_DIRECTORY)
    try:
        for _ in range(levels):
            os.mkdir(name, dir_fd=fd)
            inner = os.open(name, os.O_RDONLY | os.O_DIRECTORY, dir_fd=fd)
            os.close(fd)
            fd = inner
        with open(os.open("end.log", os.O_WRONLY | os.O_CREAT, 0o644, dir_fd=fd), "w") as f:
            f.write("the end")
    finally:
        os.close(fd)
    return len(top) + levels * (len(name) + 1)


class LinksDepthAndLongPaths(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        shutil.rmtree(PALLANTO, ignore_errors=True)
        run("reg", "delete", PRODUCT_KEY, "/f", "/reg:64")
        loops = os.path.join(PALLANTO, "loops")
        os.makedirs(os.path.join(loops, "a", "b"))
        os.symlink("..", os.path.join(loops, "a", "b", "up"))  # back to a
        os.symlink("../..", os.path.join(loops, "a", "twice"))  # back to loops
        os.symlink(DRIVE_C, os.path.join(loops, "a", "drive"))  # the drive's root
        make_chain(PALLANTO, "d", 70)
        cls.long_chars = make_chain(PALLANTO, "l" * 200, 22)
        # A product installed through the link: the folder asked for is a itself, and its b is
        # the b already on the path that leads there.
        added = run("reg", "add", PRODUCT_KEY, "/v", "InstallLocation", "/d",
                    "C:\\ProgramData\\Pallanto\\loops\\a\\b\\up\\", "/f", "/reg:64")
        assert added.returncode == 0, added.stderr
        cls.tmp = scratch_dir()
        cls.returncode, cls.path, cls.report = report(cls.tmp.name)

    @classmethod
    def tearDownClass(cls):
        run("reg", "delete", PRODUCT_KEY, "/f", "/reg:64")
        shutil.rmtree(PALLANTO, ignore_errors=True)
        cls.tmp.cleanup()

    def test_the_run_ends_with_a_valid_report(self):
        self.assertEqual(self.returncode, 0)
        assert_report_matches_schema(self.path)

    def test_links_are_listed_and_not_followed(self):
        # Each link is listed where the listing meets it, with nothing inside.
        for name in ("twice", "drive"):
            found = re.findall(r'<dir name="%s" link="symbolic link">\n *</dir>\n' % name, self.report)
            self.assertEqual(len(found), 2, name)  # in a, and in a reached through up
        # up is the folder a product names, so it is listed: its b is the b on the path there,
        # listed and not entered.
        self.assertIsNotNone(re.search(
            r'<dir name="up" link="symbolic link">\n *<dir name="b" stopped="loop">\n *</dir>\n',
            self.report))

    def test_the_listing_stops_at_its_depth_bound(self):
        # 64 levels below the data folder, then the one where it stopped.
        self.assertEqual(self.report.count('<dir name="d"'), 65)
        self.assertEqual(self.report.count('<dir name="d" stopped="depth">'), 1)

    def test_a_path_too_long_to_list_says_so(self):
        self.assertGreater(self.long_chars, 4096)
        # Listed as far as the system can, then the folder it cannot list, with its reason.
        folders = re.findall(r'<dir name="l{200}"( error="[^"]+")?>', self.report)
        self.assertEqual(folders[:-1], [""] * 20)
        self.assertRegex(folders[-1], r'^ error="\w.+"$')


class UnreadableFolder(unittest.TestCase):
    def test_a_folder_the_user_may_not_read_says_why(self):
        # The check needs a user whom the folder's mode stops: root reads it anyway. As root,
        # the report runs as nobody in a prefix of its own.
        if os.geteuid() != 0:
            self.check_denied(PREFIX, [])
            return
        if shutil.which("setpriv") is None:
            self.skipTest("running as root without setpriv: no user whom a folder's mode stops")
        home = tempfile.mkdtemp(prefix="vitascan-nobody-")
        try:
            os.chmod(home, 0o755)
            os.chown(home, 65534, 65534)
            env = {"HOME": home, "WINEPREFIX": os.path.join(home, "wine")}
            as_nobody = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "env",
                         *("%s=%s" % item for item in env.items())]
            subprocess.run(as_nobody + ["wine", "cmd", "/c", "exit"], capture_output=True, timeout=300,
                           env={**os.environ, "WINEDEBUG": "-all", "WINEDLLOVERRIDES": "mscoree,mshtml="})
            if not os.path.isdir(os.path.join(env["WINEPREFIX"], "drive_c")):
                self.skipTest("this machine does not let root start Wine as nobody (setpriv)")
            try:
                self.check_denied(env["WINEPREFIX"], as_nobody)
            finally:
                subprocess.run(as_nobody + ["wineserver", "-k"], capture_output=True, timeout=60)
        finally:
            shutil.rmtree(home, ignore_errors=True)

    def check_denied(self, prefix, as_user):
        pallanto = os.path.join(prefix, "drive_c", "ProgramData", "Pallanto")
        secret = os.path.join(pallanto, "secret")
        shutil.rmtree(pallanto, ignore_errors=True)
        os.makedirs(secret)
        with open(os.path.join(secret, "hidden.log"), "w") as f:
            f.write("x")
        os.makedirs(os.path.join(pallanto, "empty"))
        program = os.path.join(prefix, "drive_c", "VitascanCmd.exe")
        shutil.copy(os.path.join(BIN_DIR, "VitascanCmd.exe"), program)
        shutil.copy(os.path.join(BIN_DIR, "ruiSDK_5.4.3.x64.dll"), os.path.dirname(program))
        if as_user:
            for path in (pallanto, secret, os.path.join(pallanto, "empty"), program):
                os.chown(path, 65534, 65534)
        os.chmod(secret, 0)
        try:
            out = os.path.join(prefix, "drive_c", "r.vitascan")
            env = {**os.environ, "WINEPREFIX": prefix, "WINEDEBUG": "-all",
                   "WINEDLLOVERRIDES": "mscoree,mshtml="}
            subprocess.run(as_user + ["wine", "C:\\VitascanCmd.exe", "/out:C:\\r.vitascan"],
                           capture_output=True, timeout=300, env=env, check=True)
            with open(out, "rb") as f:
                text = f.read().decode("ascii").replace("\r\n", "\n")
            assert_report_matches_schema(out)
            folders = re.findall(r'<dir name="(?:secret|empty)"[^>]*>', text)
            # An empty folder stays plain.
            self.assertEqual(sorted(folders), ['<dir name="empty">', '<dir name="secret" error="Access denied.">'])
            self.assertNotIn("hidden.log", text)
        finally:
            os.chmod(secret, 0o755)
            shutil.rmtree(pallanto, ignore_errors=True)
            for path in (program, os.path.join(os.path.dirname(program), "ruiSDK_5.4.3.x64.dll")):
                os.remove(path)


class JapaneseLocale(unittest.TestCase):
    """Wine takes its locale from the C library's: one is made for the run, in a folder of its
    own, where the machine has the locale sources. Its ANSI code page is 932."""

    @classmethod
    def setUpClass(cls):
        if shutil.which("localedef") is None or not os.path.exists("/usr/share/i18n/locales/ja_JP"):
            raise unittest.SkipTest("no localedef or ja_JP locale source to make a Japanese locale with")
        shutil.rmtree(PALLANTO, ignore_errors=True)
        os.makedirs(PALLANTO)
        # A log in code page 932 cut in the middle of a character at both ends: one byte
        # before the first "あ" puts the head's end and the tail's start inside one.
        with open(os.path.join(PALLANTO, "sjis.log"), "wb") as f:
            f.write(b"x" + "\u3042".encode("cp932") * 300000 + b"y")
        with open(os.path.join(PALLANTO, "short.log"), "wb") as f:
            f.write("\u65e5\u672c\u8a9e\u306e\u30ed\u30b0".encode("cp932"))
        cls.tmp = scratch_dir()
        made = subprocess.run(["localedef", "-i", "ja_JP", "-f", "UTF-8",
                               os.path.join(cls.tmp.name, "ja_JP.UTF-8")], capture_output=True, timeout=120)
        if made.returncode != 0:
            cls.tearDownClass()
            raise unittest.SkipTest("localedef could not make ja_JP.UTF-8: %s" % made.stderr[-200:])
        env = {"LOCPATH": cls.tmp.name, "LANG": "ja_JP.UTF-8", "LC_ALL": ""}
        cls.returncode, cls.path, cls.report = report(cls.tmp.name, env)
        cls.root = ElementTree.fromstring(cls.report)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(PALLANTO, ignore_errors=True)
        cls.tmp.cleanup()

    def test_the_report_is_valid(self):
        self.assertEqual(self.returncode, 0)
        assert_report_matches_schema(self.path)

    def test_the_zone_name_is_the_one_windows_gives(self):
        zone = self.root.find("system/time").get("tz")
        # Japanese text, not code page 932 bytes taken one by one for characters.
        self.assertTrue(any(c >= "\u3000" for c in zone), zone)
        self.assertFalse(any("\x80" <= c <= "\xff" for c in zone), zone)

    def test_logs_in_the_code_page_are_read_in_it_and_cut_on_whole_characters(self):
        texts = {f.get("name"): f.text for f in self.root.iter("file")}
        self.assertEqual(texts["short.log"].strip(), "\u65e5\u672c\u8a9e\u306e\u30ed\u30b0")
        banner = ("\n\n" + "-" * 66 + "\n" + "*" * 15 + " File content truncated by Vitascan " + "*" * 15 +
                  "\n" + "-" * 66 + "\n\n")
        expected = "x" + "\u3042" * 127999 + banner + "\u3042" * 127999 + "y"
        self.assertTrue(texts["sjis.log"].strip(" \n") == expected, texts["sjis.log"][:40])


if __name__ == "__main__":
    unittest.main()
