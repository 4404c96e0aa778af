# Shared helpers of the end-to-end tests: run Windows programs of the build under Wine.
import os
import subprocess
import tempfile

BUILD_DIR = os.environ["VITASCAN_BUILD_DIR"]
BIN_DIR = os.environ["VITASCAN_BIN_DIR"]
WINE_RUN = os.environ["VITASCAN_WINE_RUN"]
PREFIX = os.path.join(BUILD_DIR, "wine")
TOP = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
REPORT_SCHEMA = os.path.join(TOP, "docs", "vitascan.rng")


# Runs a Windows program with `input` on its standard input; returns the CompletedProcess
# with raw bytes.
def run(program, *args, env=None, timeout=600, input=b""):
    return subprocess.run([WINE_RUN, program, *args], input=input, capture_output=True,
                          env={**os.environ, **(env or {})}, timeout=timeout)


def run_vitascan(*args, **kwargs):
    return run(os.path.join(BIN_DIR, "VitascanCmd.exe"), *args, **kwargs)


# Runs VitascanDriver.exe on the script text; returns (exit code, reply lines, standard error
# text).
def run_driver(script, *options, env=None):
    result = run(os.path.join(BIN_DIR, "VitascanDriver.exe"), *options, "-", env=env, input=script.encode())
    return result.returncode, lines(result.stdout), result.stderr.decode("utf-8", "replace")


# The path as a Windows program under Wine sees it (Z: is the Linux root).
def windows_path(linux_path):
    return "Z:" + os.path.abspath(linux_path).replace("/", "\\")


# A temporary folder inside the build tree, removed by the caller's context manager.
def scratch_dir():
    os.makedirs(os.path.join(BUILD_DIR, "tmp"), exist_ok=True)
    return tempfile.TemporaryDirectory(dir=os.path.join(BUILD_DIR, "tmp"))


# Console output as text lines; asserts the Windows line ends.
def lines(output):
    text = output.decode("utf-8")
    assert text == "" or text.endswith("\r\n"), repr(text[-20:])
    assert "\n" not in text.replace("\r\n", ""), "bare LF in console output"
    return text.split("\r\n")[:-1]


# Fails with xmllint's message unless the saved report at path is well-formed and valid
# against docs/vitascan.rng.
def assert_report_matches_schema(path):
    check = subprocess.run(["xmllint", "--noout", "--relaxng", REPORT_SCHEMA, path], capture_output=True)
    if check.returncode != 0:
        raise AssertionError("%s does not match %s:\n%s" % (
            path, os.path.normpath(REPORT_SCHEMA), check.stderr.decode("utf-8", "replace")))
