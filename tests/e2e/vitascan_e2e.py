"""Shared helpers of the end-to-end tests: run Windows programs of the build under Wine."""
import os
import subprocess
import tempfile

BUILD_DIR = os.environ["VITASCAN_BUILD_DIR"]
BIN_DIR = os.environ["VITASCAN_BIN_DIR"]
WINE_RUN = os.environ["VITASCAN_WINE_RUN"]
VITASCAN_EXE = os.path.join(BIN_DIR, "VitascanCmd.exe")
PREFIX = os.path.join(BUILD_DIR, "wine")
REPORT_SCHEMA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "docs", "vitascan.rng")


def run(program, *args, env=None, timeout=600, stdin=None):
    """Runs a Windows program; returns the CompletedProcess with raw bytes."""
    full_env = dict(os.environ)
    full_env.update(env or {})
    return subprocess.run([WINE_RUN, program, *args], stdin=stdin if stdin is not None else subprocess.DEVNULL,
                          capture_output=True, env=full_env, timeout=timeout)


def run_vitascan(*args, **kwargs):
    return run(VITASCAN_EXE, *args, **kwargs)


def windows_path(linux_path):
    """The path as a Windows program under Wine sees it (Z: is the Linux root)."""
    return "Z:" + os.path.abspath(linux_path).replace("/", "\\")


def scratch_dir():
    """A temporary folder inside the build tree, removed by the caller's context manager."""
    os.makedirs(os.path.join(BUILD_DIR, "tmp"), exist_ok=True)
    return tempfile.TemporaryDirectory(dir=os.path.join(BUILD_DIR, "tmp"))


def lines(output):
    """Console output as text lines; asserts the Windows line ends."""
    text = output.decode("utf-8")
    assert text == "" or text.endswith("\r\n"), repr(text[-20:])
    assert "\n" not in text.replace("\r\n", ""), "bare LF in console output"
    return text.split("\r\n")[:-1]


VITASCAN_DRIVER = os.path.join(BIN_DIR, "VitascanDriver.exe")


def run_driver(script, *options, env=None, timeout=600):
    """Runs VitascanDriver.exe with the script text (fed on standard input); returns
    (exit code, reply lines, standard error text)."""
    full_env = dict(os.environ)
    full_env.update(env or {})
    result = subprocess.run([WINE_RUN, VITASCAN_DRIVER, *options, "-"], input=script.encode("utf-8"),
                            capture_output=True, env=full_env, timeout=timeout)
    return result.returncode, lines(result.stdout), result.stderr.decode("utf-8", "replace")


def assert_report_matches_schema(path):
    """Fails with xmllint's message unless the saved report at path is well-formed and valid
    against docs/vitascan.rng."""
    check = subprocess.run(["xmllint", "--noout", "--relaxng", REPORT_SCHEMA, path], capture_output=True)
    if check.returncode != 0:
        raise AssertionError("%s does not match %s:\n%s" % (
            path, os.path.normpath(REPORT_SCHEMA), check.stderr.decode("utf-8", "replace")))
