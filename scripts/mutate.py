#!/usr/bin/env python3
"""Mutation testing of the VitascanCmd product sources against its CTest suite.

Usage, from the top of the project (commit first: the copy is made from HEAD):
    MUT_WORK=/tmp/mut-$USER python3 scripts/mutate.py         # run MUT_N sampled mutants
    MUT_FILES=runtime/Diag.cpp python3 scripts/mutate.py list  # print the sample, run nothing
    python3 scripts/mutate.py loc                              # count lines of code only

Environment:
    MUT_REPO      project to test (default: the current folder, the top of a clone; only
                  read, through git archive of its HEAD: commit what you want tested)
    MUT_WORK      work folder (default /tmp/mut); the copy is MUT_WORK/src
    MUT_N         number of mutants to sample (default 60)
    MUT_SEED      seed of the generator (default 20240601)
    MUT_REUSE     1: keep an existing MUT_WORK/src and its build, bringing its sources to the
                  commit first (an incremental build then redoes only what changed)
    MUT_BUDGET_S  stop starting new mutants after this many seconds of mutant runs
                  (default: no limit)
    MUT_TEST_TIMEOUT  seconds allowed for one ctest run (default 300, well above the whole
                      suite's time; a timeout is a kill)
    MUT_FILES     comma-separated product files (or folders ending with "/") to mutate only;
                  the sample is then drawn from these alone
    MUT_GREP      a regular expression: only mutants whose original line matches it
    MUT_PICK      comma-separated ids of the sample (as "list" prints them) to run alone

Left out as equivalent by construction, so that the score counts faults a test could see:
an early return at the top of an empty body or of one that only returns 0, false or {};
the source-location labels (file and function names, line numbers) handed to the diagnostic
log; deleting a flush of stderr (unbuffered).

Each mutant changes one line of one product file (app/, Common/, remote/, analytics/,
vitascan/ with blocks/, runtime/, sdk/; never tests/, tools/, bench/). The file is restored
byte for byte from a pristine copy after each mutant and checked by SHA-256.
"""

import hashlib
import io
import json
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import tarfile
import time

REPO = os.environ.get("MUT_REPO", os.getcwd())
WORK = os.environ.get("MUT_WORK", "/tmp/mut")
SRC = os.path.join(WORK, "src")
PRISTINE = os.path.join(WORK, "pristine")
RESULTS = os.path.join(WORK, "results.json")
SURVIVORS = os.path.join(WORK, "survivors.md")
LOGDIR = os.path.join(WORK, "logs")
N = int(os.environ.get("MUT_N", "60"))
SEED = int(os.environ.get("MUT_SEED", "20240601"))
REUSE = os.environ.get("MUT_REUSE", "") == "1"
BUDGET_S = float(os.environ.get("MUT_BUDGET_S", "0") or 0)
TEST_TIMEOUT = int(os.environ.get("MUT_TEST_TIMEOUT", "300"))
FILES = [f.strip() for f in os.environ.get("MUT_FILES", "").split(",") if f.strip()]
GREP = re.compile(os.environ["MUT_GREP"]) if os.environ.get("MUT_GREP") else None
BUILD_TIMEOUT = 900

PRODUCT_DIRS = ["app", "Common", "remote", "analytics", "vitascan", "runtime", "sdk"]
OTHER_DIRS = ["tools", "bench"]
TEST_DIRS = ["tests"]

ENV = dict(os.environ)
ENV["WINEDEBUG"] = "-all"


def log(msg):
    print(msg, flush=True)


def sh(cmd, cwd, timeout=None, logfile=None):
    """Runs cmd in its own process group; returns (rc, output, timed_out)."""
    p = subprocess.Popen(cmd, cwd=cwd, env=ENV, stdout=subprocess.PIPE,
                         stderr=subprocess.STDOUT, start_new_session=True)
    try:
        out, _ = p.communicate(timeout=timeout)
        timed_out = False
    except subprocess.TimeoutExpired:
        try:
            os.killpg(p.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        out, _ = p.communicate()
        timed_out = True
    text = out.decode("utf-8", "replace")
    if logfile:
        with open(logfile, "w") as f:
            f.write(text)
    return (124 if timed_out else p.returncode), text, timed_out


def stop_wine():
    """Ends the Wine server of the copy's own prefix (and so the Wine processes in it)."""
    prefix = os.path.join(SRC, "build", "mingw", "wine")
    if os.path.isdir(prefix):
        env = dict(ENV, WINEPREFIX=prefix)
        subprocess.run(["wineserver", "-k"], env=env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)


def sha256(data):
    return hashlib.sha256(data).hexdigest()


# ---------------------------------------------------------------------------------------
# The copy and its build


def head_commit():
    return subprocess.check_output(["git", "-C", REPO, "rev-parse", "HEAD"], text=True).strip()


def archive_files():
    """{path: bytes} of HEAD of the project, from git archive (the project is not touched)."""
    data = subprocess.check_output(["git", "-C", REPO, "archive", "--format=tar", "HEAD"])
    files = {}
    with tarfile.open(fileobj=io.BytesIO(data)) as tar:
        for m in tar.getmembers():
            if m.isfile():
                files[m.name] = tar.extractfile(m).read()
    return data, files


def setup(commit):
    data, files = archive_files()
    stamp = os.path.join(SRC, ".mut-stamp")
    reuse = (REUSE and os.path.isfile(stamp)
             and os.path.isfile(os.path.join(SRC, "build", "mingw", "CMakeCache.txt")))
    if reuse:
        # The copy's sources are brought to the commit's: the incremental build then
        # redoes only what changed (a copy of an older commit is updated in place).
        updated = 0
        for path, content in files.items():
            full = os.path.join(SRC, path)
            if not os.path.isfile(full) or open(full, "rb").read() != content:
                os.makedirs(os.path.dirname(full) or ".", exist_ok=True)
                with open(full, "wb") as f:
                    f.write(content)
                updated += 1
        with open(stamp, "w") as f:
            f.write(commit + "\n")
        log(f"setup: {updated} files of the copy updated to the commit")
    if reuse:
        log(f"setup: reusing {SRC} (commit {commit[:12]}), rebuilding incrementally")
    else:
        stop_wine()
        shutil.rmtree(SRC, ignore_errors=True)
        os.makedirs(SRC)
        with tarfile.open(fileobj=io.BytesIO(data)) as tar:
            tar.extractall(SRC)
        with open(stamp, "w") as f:
            f.write(commit + "\n")
        log(f"setup: copied commit {commit[:12]} to {SRC}; configuring")
        rc, out, _ = sh(["cmake", "--preset", "mingw"], SRC, logfile=os.path.join(LOGDIR, "configure.log"))
        if rc != 0:
            sys.exit("setup: configure failed, see " + os.path.join(LOGDIR, "configure.log"))
    # The viewer's tests import the npm packages, which git archive leaves out.
    modules = os.path.join(SRC, "node_modules")
    if os.path.isdir(os.path.join(REPO, "node_modules")) and not os.path.lexists(modules):
        os.symlink(os.path.join(REPO, "node_modules"), modules)
    t0 = time.time()
    rc, out, _ = sh(["cmake", "--build", "--preset", "mingw", "-j2"], SRC,
                    logfile=os.path.join(LOGDIR, "build-pristine.log"))
    if rc != 0:
        sys.exit("setup: build of the unmodified copy failed")
    log(f"setup: build done in {time.time() - t0:.0f} s")
    return files


# ---------------------------------------------------------------------------------------
# Reading C++ lines: comments and literal contents masked out

STR_RE = re.compile(r'(?<![\w\'])((?:u8|[LuU])?)"((?:[^"\\]|\\.)*)"')
CHR_RE = re.compile(r"(?<![\w])((?:u8|[LuU])?)'((?:[^'\\]|\\.)+)'")


def mask_lines(text):
    """Per line: (masked, in_comment_only). Masked keeps the code with comment text and the
    contents of string and character literals replaced by blanks (quotes kept)."""
    out = []
    in_block = False
    for line in text.split("\n"):
        m = []
        i = 0
        n = len(line)
        had_code = False
        while i < n:
            c = line[i]
            if in_block:
                if line.startswith("*/", i):
                    in_block = False
                    m.append("  ")
                    i += 2
                else:
                    m.append(" ")
                    i += 1
                continue
            if line.startswith("//", i):
                m.append(" " * (n - i))
                break
            if line.startswith("/*", i):
                in_block = True
                m.append("  ")
                i += 2
                continue
            if c == '"' or (c == "'" and not (i > 0 and (line[i - 1].isalnum()))):
                # a literal: keep the quotes, blank the inside
                if c == '"' and i > 0 and line[i - 1] == "R":
                    # raw string: give up on the rest of the line
                    m.append(c + " " * (n - i - 1))
                    had_code = True
                    break
                q = c
                j = i + 1
                while j < n and line[j] != q:
                    j += 2 if line[j] == "\\" else 1
                j = min(j, n - 1)
                m.append(q + " " * (j - i - 1) + q)
                i = j + 1
                had_code = True
                continue
            if not c.isspace():
                had_code = True
            m.append(c)
            i += 1
        out.append("".join(m)[:n])
    return out


# ---------------------------------------------------------------------------------------
# Mutation operators. Each yields (operator, mutated_line).

REL_SWAP = {"<": "<=", "<=": "<", ">": ">=", ">=": ">", "==": "!=", "!=": "=="}
REL_RE = re.compile(r"(?<=\s)(<=|>=|==|!=|<|>)(?=\s)")
ARITH_SWAP = {"+": "-", "-": "+", "*": "/", "/": "*"}
ARITH_RE = re.compile(r"(?<=\s)([+\-*/])(?=\s)")
COMPOUND_RE = re.compile(r"(?<=\s)(\+=|-=)(?=\s*\d+\s*;)")
LOGIC_RE = re.compile(r"(?<=\s)(&&|\|\|)(?=\s)")
BOOL_RE = re.compile(r"\b(true|false)\b")
NOT_RE = re.compile(r"(?<![!=<>&|])!(?!=)")
INT_RE = re.compile(r"(?<![\w.'])(0[xX][0-9a-fA-F]+|\d+)([uUlLzZ]*)(?![\w.'])")
COND_RE = re.compile(r"\b(if|while)\s*\(")
EXPR_STMT_RE = re.compile(
    r"^(\+\+|--|\*)?[A-Za-z_][\w:.\[\]]*(?:->[\w:.\[\]]+)*\s*(\(|\+=|-=|\|=|&=|\^=|<<=|>>=|=(?!=)|\+\+|--)")
FUNC_DEF_RE = re.compile(
    r"^\s*((?:static|inline|constexpr|virtual|friend|explicit)\s+)*"
    r"(?P<ret>(?:const\s+)?[A-Za-z_][\w:]*(?:<[\w:, ]*>)?)\s+(?P<name>[~\w:]+)\s*\(")
NOT_TYPES = {"return", "else", "new", "delete", "case", "using", "namespace", "class",
             "struct", "template", "if", "while", "for", "switch", "catch", "throw", "do",
             "auto", "typedef", "goto", "enum", "union", "operator", "co_return", "explicit"}
SKIP_LINE_RE = re.compile(r"^\s*(#|template\b|static_assert\b|extern\s+\"C\"|using\b|namespace\b|case\b|default\s*:|public:|private:|protected:)")


def find_close(s, open_idx):
    depth = 0
    for k in range(open_idx, len(s)):
        if s[k] == "(":
            depth += 1
        elif s[k] == ")":
            depth -= 1
            if depth == 0:
                return k
    return -1


def replace_at(line, start, end, new):
    return line[:start] + new + line[end:]


def line_mutants(line, masked, prev_code):
    """Mutants of one line: list of (operator, mutated line)."""
    res = []
    if not masked.strip():
        return res
    if SKIP_LINE_RE.match(masked) or "operator" in masked:
        return res
    has_str = '"' in masked or "'" in masked

    # relational
    for m in REL_RE.finditer(masked):
        res.append(("relational", replace_at(line, m.start(), m.end(), REL_SWAP[m.group(1)])))
    # arithmetic (not next to string literals: that is concatenation)
    if not has_str:
        for m in ARITH_RE.finditer(masked):
            # "*" after "(" or "," or "=" is a dereference
            before = masked[:m.start()].rstrip()
            if not before or before[-1] in "(,=?:!&|<>+-*/":
                continue
            res.append(("arithmetic", replace_at(line, m.start(), m.end(), ARITH_SWAP[m.group(1)])))
        for m in COMPOUND_RE.finditer(masked):
            res.append(("arithmetic", replace_at(line, m.start(), m.end(),
                                                 "-=" if m.group(1) == "+=" else "+=")))
    # boolean
    for m in LOGIC_RE.finditer(masked):
        res.append(("logical", replace_at(line, m.start(), m.end(),
                                          "||" if m.group(1) == "&&" else "&&")))
    for m in BOOL_RE.finditer(masked):
        res.append(("boolean-constant", replace_at(line, m.start(), m.end(),
                                                   "false" if m.group(1) == "true" else "true")))
    for m in COND_RE.finditer(masked):
        o = m.end() - 1
        c = find_close(masked, o)
        if c > o + 1:
            inner = line[o + 1:c]
            if ";" in masked[o + 1:c] or "constexpr" in masked[m.start():o]:
                continue
            res.append(("negate-condition", line[:o + 1] + "!(" + inner + ")" + line[c:]))
    for m in NOT_RE.finditer(masked):
        res.append(("negate-condition", replace_at(line, m.start(), m.end(), "")))
    # integer constants (not template arguments, not array sizes of declarations)
    for m in INT_RE.finditer(masked):
        before = masked[:m.start()].rstrip()
        after = masked[m.end():].lstrip()
        if before.endswith("<") or after.startswith(">"):
            continue
        lit, suf = m.group(1), m.group(2)
        if lit.lower().startswith("0x"):
            v = int(lit, 16)
            new = hex(v + 1) if v else "0x1"
            if lit[1] == "X":
                new = "0X" + new[2:]
            new = "0x" + new[2:].upper().zfill(len(lit) - 2) if lit[2:].isupper() or lit[2:].isdigit() else new
        else:
            if len(lit) > 1 and lit.startswith("0"):
                continue  # octal
            v = int(lit)
            new = str(v + 1)
        res.append(("constant", replace_at(line, m.start(1), m.end(1), new)))
    # string and character literals
    if has_str and not re.search(r"\b(extern|static_assert|asm|deprecated|__attribute__)\b", masked):
        for m in STR_RE.finditer(line):
            if masked[m.start():m.end()].strip('"LuU8 ') != "":
                continue  # not a literal in the masked view (inside a comment)
            if m.start() > 0 and line[m.start() - 1] == "R":
                continue
            prefix, body = m.group(1), m.group(2)
            if body:
                res.append(("string-empty", replace_at(line, m.start(), m.end(), prefix + '""')))
                ch = changed_char(body)
                if ch is not None:
                    res.append(("string-char", replace_at(line, m.start(2), m.end(2), ch)))
        for m in CHR_RE.finditer(line):
            if masked[m.start():m.end()].strip("'LuU8 ") != "":
                continue
            body = m.group(2)
            if len(body) == 1 and body.isalnum():
                res.append(("char-constant", replace_at(line, m.start(2), m.end(2), bump(body))))
    # statement deletion: a whole call / assignment / append statement on one line
    s = masked.strip()
    if (s.endswith(";") and EXPR_STMT_RE.match(s) and s.count("(") == s.count(")")
            and "{" not in s and "}" not in s and s.count(";") == 1
            and prev_code is not None
            and (prev_code.endswith((";", "{", "}", ")", ":")) or prev_code in ("else", "do"))
            and not prev_code.endswith("::")):
        indent = line[:len(line) - len(line.lstrip())]
        res.append(("delete-statement", indent + "(void)0; // deleted"))
    return res


def bump(ch):
    if ch.isdigit():
        return str((int(ch) + 1) % 10)
    if ch == "z":
        return "a"
    if ch == "Z":
        return "A"
    return chr(ord(ch) + 1)


def changed_char(body):
    """The literal body with one plain alphanumeric character changed (not in an escape)."""
    i = 0
    while i < len(body):
        if body[i] == "\\":
            i += 2
            continue
        if body[i].isalnum() and body[i].isascii():
            return body[:i] + bump(body[i]) + body[i + 1:]
        i += 1
    return None


def early_returns(lines, masked):
    """Mutants that return at the top of a function body: [(line index, op, mutated line)]."""
    res = []
    for i, mline in enumerate(masked):
        m = FUNC_DEF_RE.match(mline)
        if not m or m.group("ret") in NOT_TYPES or m.group("name") in NOT_TYPES:
            continue
        if SKIP_LINE_RE.match(mline):
            continue
        # the signature up to its "{", at most 5 lines on
        open_paren = m.end() - 1
        joined = ""
        for k in range(i, min(i + 6, len(masked))):
            seg = masked[k] if k > i else mline
            joined += seg + "\n"
            if ";" in seg and "{" not in seg:
                break
            close = find_close(joined, open_paren)
            if close >= 0:
                rest = joined[close + 1:]
                brace = rest.find("{")
                semi = rest.find(";")
                if brace < 0 or (0 <= semi < brace) or "=" in rest[:brace] or ":" in rest[:brace] \
                        or "->" in rest[:brace]:
                    if k == i + 5 or (semi >= 0 and (brace < 0 or semi < brace)):
                        break
                    continue
                # position of "{" on line k
                line_start = len(joined) - len(seg) - 1
                pos = close + 1 + brace - line_start
                if pos < 0 or masked[k][pos:pos + 1] != "{":
                    break
                # An empty body: returning at once changes nothing.
                after = masked[k][pos + 1:].strip()
                nxt = next((x.strip() for x in masked[k + 1:] if x.strip()), "")
                if after.startswith("}") or (not after and nxt.startswith("}")):
                    break
                # A body that only returns the value a default return gives.
                if re.match(r"return\s+(0|false|nullptr|\{\})\s*;\s*\}", after):
                    break
                ret = m.group("ret").replace("const ", "")
                if ret == "void":
                    stmts = ["return;"]
                elif ret == "bool":
                    stmts = ["return false;", "return true;"]
                else:
                    stmts = ["return {};"]
                for st in stmts:
                    res.append((k, "early-return", lines[k][:pos + 1] + " " + st + lines[k][pos + 1:]))
                break
    return res


def code_scopes(masked):
    """For each line, whether it starts inside a block of statements (a function body, a
    lambda, a compound statement) rather than a namespace, class or enum body."""
    stack = []
    pending = ""
    res = []
    for mline in masked:
        res.append(bool(stack) and stack[-1] == "code")
        if mline.lstrip().startswith("#"):
            continue
        for ch in mline:
            if ch == "{":
                decl = re.search(r"\b(class|struct|namespace|enum|union)\b", pending) and \
                    not re.search(r"\)\s*(const\s*)?(override\s*)?(noexcept\s*)?$", pending.strip())
                extern = re.search(r'\bextern\s*"', pending)
                stack.append("decl" if (decl or extern) else "code")
                pending = ""
            elif ch == "}":
                if stack:
                    stack.pop()
                pending = ""
            elif ch == ";":
                pending = ""
            else:
                pending += ch
        pending += " "
    return res


def file_mutants(path, text):
    lines = text.split("\n")
    masked = mask_lines(text)
    in_code = code_scopes(masked)
    muts = []
    prev_code = None
    in_log_call = False
    for i, (line, mline) in enumerate(zip(lines, masked)):
        # A location handed to the log is only a label; the level and category are names, which
        # no mutant changes.
        in_log_call = in_log_call or "LogMacroHandler(" in mline or "KES_LOG(" in mline
        for op, new in line_mutants(line, mline, prev_code):
            if op == "delete-statement" and not in_code[i]:
                continue
            if op == "constant" and in_log_call:
                continue
            # The location's file and function are narrow literals; the logged text is wide.
            if op.startswith("string-") and in_log_call and re.search(r'(?<![\w"])"', new) and \
                    re.sub(r'L"(?:[^"\\]|\\.)*"', "", new) != re.sub(r'L"(?:[^"\\]|\\.)*"', "", line):
                continue
            if op == "delete-statement" and re.search(r"\bfflush\s*\(\s*stderr\s*\)", mline):
                continue
            if GREP and not GREP.search(line):
                continue
            if new != line:
                muts.append({"file": path, "line": i + 1, "op": op, "original": line, "mutated": new})
        if mline.strip():
            prev_code = mline.strip()
        if in_log_call and ";" in mline:
            in_log_call = False
    for k, op, new in early_returns(lines, masked):
        if GREP and not GREP.search(lines[k]):
            continue
        muts.append({"file": path, "line": k + 1, "op": op, "original": lines[k], "mutated": new})
    # unique by (line, mutated text), in a fixed order
    seen = set()
    uniq = []
    for mu in sorted(muts, key=lambda x: (x["line"], x["op"], x["mutated"])):
        key = (mu["line"], mu["mutated"])
        if key not in seen:
            seen.add(key)
            uniq.append(mu)
    return uniq


def product_files(files):
    """Product source files to mutate: every .cpp, and the headers with function bodies."""
    out = []
    for path in sorted(files):
        if path.split("/")[0] not in PRODUCT_DIRS:
            continue
        if FILES and not any(path == f or (f.endswith("/") and path.startswith(f)) for f in FILES):
            continue
        if path.endswith((".cpp", ".cc")):
            out.append(path)
        elif path.endswith(".h"):
            text = files[path].decode("utf-8", "replace")
            if re.search(r"\)\s*(const\s*)?(override\s*)?(noexcept\s*)?\{", text):
                out.append(path)
    return out


def sample(all_muts, n, rng):
    """n mutants spread evenly over the files; within a file the operator kind is drawn first
    (so that no one kind dominates), then a mutant of that kind."""
    by_file = {}
    for mu in all_muts:
        by_file.setdefault(mu["file"], []).append(mu)
    files = sorted(by_file)
    rng.shuffle(files)
    pools = {f: {} for f in files}
    for f in files:
        for mu in by_file[f]:
            pools[f].setdefault(mu["op"], []).append(mu)
    chosen = []
    used_lines = {}
    # round robin over the shuffled files until n are chosen or all pools are empty
    while len(chosen) < n and any(pools[f] for f in files):
        for f in files:
            if len(chosen) >= n:
                break
            if not pools[f]:
                continue
            used = used_lines.setdefault(f, set())
            fresh_ops = sorted(op for op, pool in pools[f].items()
                               if any(m["line"] not in used for m in pool))
            op = rng.choice(fresh_ops or sorted(pools[f]))
            pool = pools[f][op]
            fresh = [k for k, m in enumerate(pool) if m["line"] not in used] or list(range(len(pool)))
            mu = pool.pop(fresh[rng.randrange(len(fresh))])
            if not pool:
                del pools[f][op]
            used.add(mu["line"])
            chosen.append(mu)
    for i, mu in enumerate(chosen):
        mu["id"] = i + 1
    return chosen


# ---------------------------------------------------------------------------------------
# Lines of code


def count_loc(path, data):
    text = data.decode("utf-8", "replace")
    ext = os.path.splitext(path)[1].lower()
    name = os.path.basename(path)
    n = 0
    if ext in (".cpp", ".cc", ".h", ".hpp", ".c", ".rc"):
        for m in mask_lines(text):
            if m.strip():
                n += 1
    elif ext in (".py", ".sh", ".cmake") or name == "CMakeLists.txt":
        in_doc = False
        for line in text.split("\n"):
            s = line.strip()
            if ext == ".py" and (s.startswith('"""') or s.startswith("'''")):
                # docstring lines count as comments
                q = s[:3]
                if in_doc:
                    in_doc = False
                    continue
                if not (len(s) >= 6 and s.endswith(q)):
                    in_doc = True
                continue
            if in_doc:
                if s.endswith('"""') or s.endswith("'''"):
                    in_doc = False
                continue
            if s and not s.startswith("#"):
                n += 1
    else:
        for line in text.split("\n"):
            if line.strip():
                n += 1
    return n


def loc_report(files):
    groups = {"product": PRODUCT_DIRS, "tools+bench": OTHER_DIRS, "tests": TEST_DIRS,
              "platform (declarations, not in product)": ["platform"]}
    result = {}
    for g, dirs in groups.items():
        per = {}
        for path, data in files.items():
            if path.split("/")[0] in dirs:
                ext = "CMakeLists.txt" if path.endswith("CMakeLists.txt") else (os.path.splitext(path)[1] or "other")
                per[ext] = per.get(ext, 0) + count_loc(path, data)
        result[g] = {"total": sum(per.values()), "by_kind": dict(sorted(per.items()))}
    p = result["product"]["total"]
    t = result["tests"]["total"]
    result["ratio_tests_to_product"] = round(t / p, 3) if p else None
    code = lambda g: sum(v for k, v in result[g]["by_kind"].items() if k in (".cpp", ".h", ".py"))
    result["ratio_tests_to_product_code_only"] = round(code("tests") / code("product"), 3)
    return result


# ---------------------------------------------------------------------------------------
# Running


FAILED_RE = re.compile(r"^\s*\d+ - (\S+) \((Failed|Timeout|SEGFAULT|Subprocess aborted|Exception|[^)]*)\)", re.M)


def run_mutant(mu, pristine, idx, total):
    path = os.path.join(SRC, mu["file"])
    orig = pristine[mu["file"]]
    lines = orig.decode("utf-8").split("\n")
    assert lines[mu["line"] - 1] == mu["original"], "pristine line mismatch"
    lines[mu["line"] - 1] = mu["mutated"]
    t0 = time.time()
    with open(path, "wb") as f:
        f.write("\n".join(lines).encode("utf-8"))
    try:
        blog = os.path.join(LOGDIR, f"m{mu['id']:03d}-build.log")
        rc, out, to = sh(["cmake", "--build", "--preset", "mingw", "-j2"], SRC,
                         timeout=BUILD_TIMEOUT, logfile=blog)
        mu["build_s"] = round(time.time() - t0, 1)
        if rc != 0:
            mu["status"] = "did not build"
            errs = [l for l in out.splitlines() if "error" in l][:3]
            mu["detail"] = " | ".join(errs)[:400]
        else:
            t1 = time.time()
            tlog = os.path.join(LOGDIR, f"m{mu['id']:03d}-ctest.log")
            # The first failing test decides: the rest of the suite would not change the verdict.
            rc, out, to = sh(["ctest", "--preset", "mingw", "--stop-on-failure", "--timeout",
                              str(TEST_TIMEOUT)], SRC, timeout=TEST_TIMEOUT, logfile=tlog)
            stop_wine()
            mu["test_s"] = round(time.time() - t1, 1)
            if to:
                # A killed run leaves its fixtures behind (registry keys, files): the next
                # mutant starts from a fresh prefix, so that they cannot fail its tests.
                shutil.rmtree(os.path.join(SRC, "build", "mingw", "wine"), ignore_errors=True)
                mu["status"] = "killed"
                mu["detail"] = f"timeout after {TEST_TIMEOUT} s"
            elif rc != 0:
                mu["status"] = "killed"
                mu["detail"] = "failed: " + ", ".join(f"{a} ({b})" for a, b in FAILED_RE.findall(out))
            else:
                mu["status"] = "survived"
                mu["detail"] = ""
    finally:
        with open(path, "wb") as f:
            f.write(orig)
        with open(path, "rb") as f:
            back = f.read()
        if sha256(back) != sha256(orig):
            sys.exit(f"restore of {mu['file']} failed: checksum differs")
        pcopy = os.path.join(PRISTINE, mu["file"])
        if sha256(open(pcopy, "rb").read()) != sha256(back):
            sys.exit(f"restore of {mu['file']} differs from the pristine copy")
        now = time.time()
        os.utime(path, (now, now))  # newer than the mutant's objects: the next build redoes them
    mu["total_s"] = round(time.time() - t0, 1)
    log(f"[{idx}/{total}] #{mu['id']} {mu['file']}:{mu['line']} {mu['op']}: {mu['status']}"
        f" ({mu['total_s']} s) {mu.get('detail', '')[:120]}")


def write_results(meta, muts):
    done = [m for m in muts if "status" in m]
    k = sum(1 for m in done if m["status"] == "killed")
    s = sum(1 for m in done if m["status"] == "survived")
    d = sum(1 for m in done if m["status"] == "did not build")
    b = k + s
    summary = {"killed": k, "survived": s, "built": b, "did_not_build": d, "mutants": len(done),
               "planned": len(muts), "score_percent": round(100.0 * k / b, 1) if b else None}
    with open(RESULTS, "w") as f:
        json.dump({"meta": meta, "summary": summary, "mutants": muts}, f, indent=1)
    with open(SURVIVORS, "w") as f:
        f.write(f"# Surviving mutants\n\nCommit {meta['commit']}, seed {meta['seed']}: "
                f"{k} killed of {b} built, {d} did not build, {len(done)} mutants run "
                f"(of {len(muts)} sampled).\n")
        by_file = {}
        for m in done:
            if m["status"] == "survived":
                by_file.setdefault(m["file"], []).append(m)
        for file in sorted(by_file):
            f.write(f"\n## {file}\n")
            for m in sorted(by_file[file], key=lambda x: x["line"]):
                f.write(f"\n- `{m['file']}:{m['line']}` ({m['op']}, mutant #{m['id']})\n")
                f.write(f"  - original: `{m['original'].strip()}`\n")
                f.write(f"  - mutated:  `{m['mutated'].strip()}`\n")
    return summary


def main():
    mode = sys.argv[1] if len(sys.argv) > 1 else "run"
    os.makedirs(LOGDIR, exist_ok=True)
    commit = head_commit()
    _, files = archive_files()

    loc = loc_report(files)
    log("loc: " + json.dumps(loc))
    if mode == "loc":
        return

    rng = random.Random(SEED)
    log(f"seed: {SEED}")
    targets = product_files(files)
    all_muts = []
    for path in targets:
        all_muts.extend(file_mutants(path, files[path].decode("utf-8")))
    muts = sample(all_muts, N, rng)
    if os.environ.get("MUT_PICK"):
        picked = {int(i) for i in os.environ["MUT_PICK"].split(",")}
        muts = [mu for mu in muts if mu["id"] in picked]
    log(f"mutants: {len(all_muts)} candidates in {len(set(m['file'] for m in all_muts))} files "
        f"(of {len(targets)} mutable files); sampled {len(muts)}")
    if mode == "list":
        for mu in muts:
            log(f"#{mu['id']} {mu['file']}:{mu['line']} {mu['op']}\n    - {mu['original'].strip()}\n    + {mu['mutated'].strip()}")
        return

    pristine_files = setup(commit)
    # pristine copies of every file that is mutated
    pristine = {}
    for mu in muts:
        p = mu["file"]
        if p not in pristine:
            pristine[p] = pristine_files[p]
            os.makedirs(os.path.dirname(os.path.join(PRISTINE, p)), exist_ok=True)
            with open(os.path.join(PRISTINE, p), "wb") as f:
                f.write(pristine[p])

    # the unmodified suite must pass
    t0 = time.time()
    rc, out, to = sh(["ctest", "--preset", "mingw", "--timeout", str(TEST_TIMEOUT)], SRC,
                     timeout=TEST_TIMEOUT, logfile=os.path.join(LOGDIR, "ctest-pristine.log"))
    stop_wine()
    if rc != 0:
        sys.exit("the unmodified test suite does not pass; see logs/ctest-pristine.log")
    log(f"baseline: test suite passes on the unmodified copy ({time.time() - t0:.0f} s)")

    meta = {"commit": commit, "seed": SEED, "n": N, "test_timeout_s": TEST_TIMEOUT,
            "candidates": len(all_muts), "files": targets, "loc": loc,
            "started": time.strftime("%Y-%m-%d %H:%M:%S")}
    start = time.time()
    for i, mu in enumerate(muts):
        if BUDGET_S and time.time() - start > BUDGET_S:
            log(f"budget of {BUDGET_S:.0f} s spent: stopping after {i} mutants")
            break
        run_mutant(mu, pristine, i + 1, len(muts))
        write_results(meta, muts)
    meta["elapsed_s"] = round(time.time() - start)
    # leave the copy built from pristine sources
    sh(["cmake", "--build", "--preset", "mingw", "-j2"], SRC, logfile=os.path.join(LOGDIR, "build-final.log"))
    stop_wine()
    s = write_results(meta, muts)
    pct = f"{s['score_percent']:.1f}" if s["score_percent"] is not None else "n/a"
    print(f"mutation: {s['killed']} killed of {s['built']} built ({pct}%), "
          f"{s['did_not_build']} did not build, {s['mutants']} mutants", flush=True)


if __name__ == "__main__":
    main()
