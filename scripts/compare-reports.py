#!/usr/bin/env python3
"""Runs the programs of two builds under one Wine prefix and compares what they write.

Usage, from the top of the project (both folders hold a build's VitascanCmd.exe,
VitascanDriver.exe and SDK DLL, such as build/mingw/bin):

    python3 scripts/compare-reports.py OLD_BIN NEW_BIN [--prefix DIR] [--keep DIR]

For each build, in turn and under the same prefix (created at DIR, default
/tmp/vitascan-compare/wine, on first use), with the programs copied to the same folder so
that their paths are the same:

  machine      VitascanCmd.exe /out:... on the prefix as it is: the saved report and the
               console output
  fixtures     the same with the block fixtures installed: the maker's registry keys (every
               value type, names that need escaping, both registry views, the BIOS key as
               Wine has it), uninstall entries, the maker's data folders and an install
               folder (content cut at the limit, versions, empty, odd and upper-case
               names). Its report is also compared block by block.
  server       a server session run by VitascanDriver.exe: events of every kind, nested
               groups with values that need escaping, the events group, every block; saved
               to a file, then handed to the web service: the saved file, the document the
               web service received (as sent, with its CRs, from a local HTTP server named
               by KES_TRACK_URL), the replies, the console and the SDK journal
  server-pii   the same session asking for personal data to be left out (file only)

Before comparing, what changes between any two runs of one build is masked: times and
dates, free space and memory, durations of events, process ids and counters. Everything
else must be byte for byte the same. Prints one line per comparison and a diff of the first
differences; the exit code is 0 when all are identical. --keep DIR keeps the masked texts.
Running it with the same folder twice shows that the masks leave nothing that varies.
"""

import argparse
import calendar
import difflib
import http.server
import os
import re
import shutil
import subprocess
import sys
import tempfile
import threading

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PROGRAMS = ["VitascanCmd.exe", "VitascanDriver.exe", "ruiSDK_5.4.3.x64.dll"]
FOLDER = "vitascan-compare"  # under drive_c: the programs, their outputs
PIPE = "vitascan-compare"
# The fixture files' modification time: 09:05:07 UTC on 4 December 2026.
WRITTEN = calendar.timegm((2026, 12, 4, 9, 5, 7, 0, 0, 0))

# Attributes whose values change from one run to the next.
VOLATILE = [
    # the clock, free space and memory
    "time", "date", "totalfreebytes", "totalavailablebytes", "totalfree", "totalavailable",
    "pageavailbytes", "pageavail", "eventtime", "elapsed",
    # Win32_OperatingSystem
    "FreePhysicalMemory", "FreeVirtualMemory", "FreeSpaceInPagingFiles", "LocalDateTime",
    "LastBootUpTime", "NumberOfProcesses", "SystemUpTime",
    # Win32_Processor
    "CurrentClockSpeed", "LoadPercentage",
    # Win32_Process
    "Handle", "ProcessId", "ParentProcessId", "ProcessID", "ParentProcessID", "CreationDate", "KernelModeTime", "UserModeTime",
    "WorkingSetSize", "PeakWorkingSetSize", "PageFileUsage", "PeakPageFileUsage", "VirtualSize",
    "PeakVirtualSize", "PrivatePageCount", "HandleCount", "ThreadCount", "ReadOperationCount",
    "WriteOperationCount", "OtherOperationCount", "ReadTransferCount", "WriteTransferCount",
    "OtherTransferCount", "QuotaPagedPoolUsage", "QuotaPeakPagedPoolUsage",
    "QuotaNonPagedPoolUsage", "QuotaPeakNonPagedPoolUsage", "PageFaults",
]
VOLATILE_ATTRIBUTE = re.compile(rb'(?<=[ <])(%s)="[^"]*"' % "|".join(VOLATILE).encode())

# The block fixtures: the maker's keys and uninstall entries, as a .reg file.
REGISTRY_FIXTURE = r'''Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\KORVEL-AB]
@="C:\\VitascanCompare\\Default"
"Big"="%(big)s"
"Blob"=hex:01,02
"Empty"=""
"Expand"=hex(2):43,00,3a,00,5c,00,25,00,54,00,45,00,4d,00,50,00,25,00,00,00
"File"="C:\\VitascanCompare\\Named.log"
"Folder"="C:\\VitascanCompare\\Shared"
"List"=hex(7):61,00,00,00,00,00
"Nothing"=hex(0):01
"odd<&\">"="A&B <c> \"q\" 'a' é😀"
"Qword"=hex(b):07,07,07,07,07,07,07,07
"Short"=hex(1):61,00,62,00,63,00
"Zero"=hex(4):
"Level"=dword:000000ff

[HKEY_CURRENT_USER\Software\KORVEL-AB\Settings\Deep]
"Mode"="fast"

[HKEY_CURRENT_USER\Software\KORVEL-AB\Odd & <Key>]
@="default only"

[HKEY_LOCAL_MACHINE\Software\Wow6432Node\KORVEL-AB\Pallanto]
"ProductLabel"="Pallanto 32"
"ProductCode"="{P-32}"
"Version"="10.2"
"BuildLabel"="b15 & <rc>"
"InstallFolder"="C:\\VitascanCompare\\Ignored\\"
"InstallLocation"="C:\\VitascanCompare\\Shared\\"

[HKEY_LOCAL_MACHINE\Software\Wow6432Node\KORVEL-AB\Pallanto\Plugins\Viewer]
"ProductLabel"="Viewer"
"InstallFolder"=""

[HKEY_LOCAL_MACHINE\Software\Wow6432Node\KORVEL-AB\Tools]
"ShellExInstallLocation"="C:\\VitascanCompare\\Shell\\"
"ProductLabel"="Shell extension"

[HKEY_LOCAL_MACHINE\Software\KORVEL-AB\Pallanto]
"ProductLabel"="Pallanto 64"
"InstallLocation"="C:\\VitascanCompare\\Shared\\"

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall\{VITASCAN-COMPARE-1}]
"HelpLink"="https://www.korvel-ab.example/support"
"InstallLocation"="C:\\VitascanCompare\\Shared\\"
"DisplayName"="Pallanto <Suite> & \"Co\""
"DisplayVersion"="10.2.0.15"
"Comments"="café 😀"

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall\{VITASCAN-COMPARE-2}]
"HelpLink"="https://KORVEL-AB.example"
"InstallLocation"="C:\\VitascanCompare\\Shell\\"
''' % {"big": "x" * 3000}
FIXTURE_KEYS = [(r"HKCU\Software\KORVEL-AB", "64"), (r"HKLM\Software\KORVEL-AB", "32"),
                (r"HKLM\Software\KORVEL-AB", "64")] + [
    (r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\{VITASCAN-COMPARE-%d}" % i, "64")
    for i in (1, 2)]

# A server session: events, groups, every block, a save, then the web service.
SESSION = '''TrackEvent file.open
TrackStringValueEvent session.init "user; & co <x>"
TrackUnsignedValueEvent mesh.cells 7
TrackUnsignedValueEvent mesh.none 4294967295
TrackTimedEventStart mesh.generate
TrackTimedEventEnd 4
TrackTimedEventStart never.ended
%(pii)sStartGroup client
SetDataPoint build "a<b & ""c"" '\u00e9'"
StartGroup inner
EndGroup
AddStandardGroup 268435456
SetDataPoint late 2
EndGroup
EndGroup
AddStandardGroup 268435455
SaveTo "C:\\%(folder)s\\out\\server.vitascan"
ProcessStart
''' + "GetNextStepDesc\nGetProgressPct\nProcessNext\n" * 8


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("old")
    parser.add_argument("new")
    parser.add_argument("--prefix", default="/tmp/vitascan-compare/wine")
    parser.add_argument("--keep", help="folder for the masked texts")
    args = parser.parse_args()

    env = dict(os.environ, WINEPREFIX=os.path.abspath(args.prefix), WINEDEBUG="-all",
               VITASCAN_BUILD_DIR=os.path.dirname(os.path.abspath(args.prefix)))
    os.makedirs(env["VITASCAN_BUILD_DIR"], exist_ok=True)
    server = [os.path.join(TOP, "cmake", "wine-server.sh")]
    subprocess.run(server + ["start"], env=env, check=True)
    try:
        drive_c = os.path.join(env["WINEPREFIX"], "drive_c")
        outputs = {"old": {}, "new": {}}
        remove_fixtures(env, drive_c)
        for name, build in (("old", args.old), ("new", args.new)):
            outputs[name].update(run_build(env, drive_c, build, "machine"))
        install_fixtures(env, drive_c)
        try:
            for name, build in (("old", args.old), ("new", args.new)):
                outputs[name].update(run_build(env, drive_c, build, "fixtures"))
                outputs[name].update(run_sessions(env, drive_c, build))
        finally:
            remove_fixtures(env, drive_c)
    finally:
        subprocess.run(server + ["stop"], env=env)

    different = 0
    for artifact in outputs["old"]:
        old, new = mask(outputs["old"][artifact]), mask(outputs["new"][artifact])
        if args.keep:
            os.makedirs(args.keep, exist_ok=True)
            for name, text in (("old", old), ("new", new)):
                with open(os.path.join(args.keep, "%s.%s" % (artifact, name)), "wb") as f:
                    f.write(text)
        same = old == new
        different += not same
        print("%-10s %-28s %d bytes" % ("identical" if same else "DIFFERENT", artifact, len(old)))
        if not same:
            lines = difflib.unified_diff(old.decode("latin-1").splitlines(True),
                                         new.decode("latin-1").splitlines(True), "old", "new", n=1)
            sys.stdout.writelines(list(lines)[:40])
    print("all identical" if not different else "%d of %d differ" % (different, len(outputs["old"])))
    return 1 if different else 0


def wine(env, *command, stdin=b""):
    return subprocess.run([os.path.join(TOP, "cmake", "wine-run.sh"), *command], input=stdin,
                          capture_output=True, env=env, timeout=600)


def install_programs(drive_c, build):
    """Copies the build's programs to the one folder every build runs from."""
    folder = os.path.join(drive_c, FOLDER)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(os.path.join(folder, "out"))
    for program in PROGRAMS:
        shutil.copy2(os.path.join(build, program), folder)
    return folder


def read(path):
    with open(path, "rb") as f:
        return f.read()


def run_build(env, drive_c, build, name):
    folder = install_programs(drive_c, build)
    result = wine(env, os.path.join(folder, "VitascanCmd.exe"), "/out:C:\\%s\\out\\%s.vitascan" % (FOLDER, name))
    report = read(os.path.join(folder, "out", name + ".vitascan"))
    outputs = {name: report, name + "-console": result.stdout + result.stderr}
    if name == "fixtures":
        for match in re.finditer(rb"^<(\w+)>\r\n.*?^</\1>\r\n", report, re.MULTILINE | re.DOTALL):
            outputs["fixtures:" + match[1].decode()] = match[0]
    return outputs


class Tracker(http.server.BaseHTTPRequestHandler):
    """The web service: keeps each body it is sent."""
    bodies = []

    def do_POST(self):
        Tracker.bodies.append(self.rfile.read(int(self.headers.get("Content-Length", 0))))
        self.send_response(200)
        self.end_headers()

    def log_message(self, *args):
        pass


def run_sessions(env, drive_c, build):
    folder = install_programs(drive_c, build)
    tracker = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Tracker)
    threading.Thread(target=tracker.serve_forever, daemon=True).start()
    outputs = {}
    try:
        for name, pii in (("server", ""), ("server-pii", "SetExcludePII true\n")):
            Tracker.bodies = []
            script = SESSION % {"pii": pii, "folder": FOLDER}
            if not pii:
                script += 'SaveTo "web service"\nProcessNext\n'
            journal = os.path.join(folder, "out", name + ".journal")
            session_env = dict(env, RUISDK_JOURNAL="C:\\%s\\out\\%s.journal" % (FOLDER, name),
                               KES_TRACK_URL="http://127.0.0.1:%d/upload" % tracker.server_address[1])
            result = wine(session_env, os.path.join(folder, "VitascanDriver.exe"), "--show-output",
                          "--pipe", PIPE, "-", stdin=script.encode("utf-8"))
            outputs[name] = read(os.path.join(folder, "out", "server.vitascan"))
            outputs[name + "-replies"] = result.stdout + result.stderr
            outputs[name + "-journal"] = read(journal)
            if not pii:
                outputs[name + "-web"] = b"".join(Tracker.bodies)
    finally:
        tracker.shutdown()
        tracker.server_close()
    return outputs


def mask(text):
    return VOLATILE_ATTRIBUTE.sub(rb'\1="*"', text)


def write_file(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    os.utime(path, (WRITTEN, WRITTEN))


def install_fixtures(env, drive_c):
    with tempfile.TemporaryDirectory(dir=drive_c) as tmp:
        path = os.path.join(tmp, "fixture.reg")
        with open(path, "wb") as f:
            f.write(b"\xff\xfe" + REGISTRY_FIXTURE.replace("\n", "\r\n").encode("utf-16-le"))
        imported = wine(env, "reg", "import", "C:\\" + os.path.basename(tmp) + "\\fixture.reg")
        if imported.returncode != 0:
            raise SystemExit("reg import failed: %r" % imported.stderr)
    pallanto = os.path.join(drive_c, "ProgramData", "Pallanto")
    program = read(os.path.join(drive_c, FOLDER, "VitascanCmd.exe"))
    files = {
        os.path.join(pallanto, "logs", "exact.log"): b"B" * 511999 + b"\n",
        os.path.join(pallanto, "logs", "over.log"): b"A" * 256000 + b"M" + b"Z" * 256000,
        os.path.join(pallanto, "app.DLL"): program,
        os.path.join(pallanto, "tool.exe"): program,
        os.path.join(pallanto, "empty.log"): b"",
        os.path.join(pallanto, "NOTES.TXT"): b"not embedded",
        os.path.join(pallanto, "readme.txt"): b"line one\r\nline <two> & caf\xc3\xa9\t\x01",
        os.path.join(pallanto, "service.debug"): b"debug\n",
        os.path.join(pallanto, "a&b'c.log"): b"odd",
        os.path.join(pallanto, "data.bin"): b"\0" * 1536,
        os.path.join(drive_c, "VitascanCompare", "Shared", "a.log"): b"a",
        os.path.join(drive_c, "VitascanCompare", "Shared", "sub", "b.txt"): b"b\n",
        os.path.join(drive_c, "VitascanCompare", "Shell", "ext.log"): b"e",
        os.path.join(drive_c, "VitascanCompare", "Named.log"): b"a file, not a folder",
    }
    for path, data in files.items():
        write_file(path, data)
    os.makedirs(os.path.join(drive_c, "VitascanCompare", "Default"), exist_ok=True)
    roaming = wine(env, "cmd", "/c", "echo", "%APPDATA%").stdout.decode().strip()
    write_file(os.path.join(drive_c, *roaming[3:].split("\\"), "Pallanto", "session.log"), b"roaming\n")


def remove_fixtures(env, drive_c):
    for key, view in FIXTURE_KEYS:
        wine(env, "reg", "delete", key, "/f", "/reg:" + view)
    roaming = wine(env, "cmd", "/c", "echo", "%APPDATA%").stdout.decode().strip()
    for folder in (os.path.join(drive_c, "ProgramData", "Pallanto"),
                   os.path.join(drive_c, *roaming[3:].split("\\"), "Pallanto"),
                   os.path.join(drive_c, "VitascanCompare")):
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
