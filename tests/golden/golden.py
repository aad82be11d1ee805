#!/usr/bin/env python3
# SPDX-License-Identifier: BSD-2-Clause
"""The golden corpus: tsvigil's outputs for generated recordings, kept in
the tree and compared byte for byte.

usage: golden.py [--update] [--emulator RUNNER] [--crlf] TSVIGIL TSVIGIL_MKTS WORKDIR

cases.txt beside this script names each recording and the generator's
options for it (`NAME [+html] OPTION...`). The recordings are written to
WORKDIR, and tsvigil is run there on `NAME.ts`, so that no output holds a
path of the machine. For each: the classic report (NAME.txt, Shift_JIS),
`--summary -u` (NAME.summary.txt), `--json` (NAME.json) and the `--verdict`
line with the exit status (NAME.verdict); with +html also the page
(NAME.html). Standard output only: the banner goes to standard error.
recordings.sha256 holds the recordings' digests and sizes.

Without --update: exit 0 when every output equals expected/NAME.*, else 1
with a short unified diff of the first files that differ. With --update:
rewrite expected/ (and say which files changed).

For a cross build: --emulator runs both programs through RUNNER (the Wine
wrapper), and --crlf takes the text outputs (report, summary, verdict line)
as lines that must each end with CR LF, compared with the CR taken out;
JSON Lines and the page must hold no CR at all.
"""
import concurrent.futures
import difflib
import hashlib
import os
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
EXPECTED = os.path.join(HERE, "expected")
CASES = os.path.join(HERE, "cases.txt")


def read_cases():
    cases = []
    for n, line in enumerate(open(CASES, encoding="utf-8"), 1):
        words = line.split("#", 1)[0].split()
        if not words:
            continue
        name, args = words[0], words[1:]
        html = "+html" in args
        args = [a for a in args if a != "+html"]
        if any(c[0] == name for c in cases):
            sys.exit("cases.txt:%d: %s named twice" % (n, name))
        cases.append((name, html, args))
    return cases


# What the corpus must hold: a name and a test on a recording's options (as
# tsvigil-mkts --print-args gives them). `make golden` refuses a corpus that
# lost one.
COVERAGE = [
    ("188-byte packets", lambda o: "--size 188" in o or "--size" not in o),
    ("192-byte packets", lambda o: "--size 192" in o),
    ("204-byte packets", lambda o: "--size 204" in o),
    ("sync losses", lambda o: "--bad-sync-every" in o or "--lose-bytes-every" in o),
    ("cuts", lambda o: "--cut " in o),
    ("duplicates", lambda o: "--dup-every" in o or "--dup-pid" in o),
    ("losses of 15", lambda o: "--lose-run 15:" in o),
    ("discontinuities", lambda o: "--disc-pid" in o),
    ("scrambling", lambda o: "--scramble-" in o),
    ("transport errors", lambda o: "--tei-every" in o),
    ("clock resets", lambda o: "--pcr-reset" in o),
    ("programmes", lambda o: "--programmes" in o),
    ("bad CRCs", lambda o: "--bad-crc" in o),
]


def check_coverage(mkts, cases):
    drawn = []
    for name, _, args in cases:
        p = subprocess.run(EMULATOR + [mkts, "--print-args"] + args, stdout=subprocess.PIPE, check=True)
        drawn.append(" " + p.stdout.decode() + " ")
    missing = [what for what, holds in COVERAGE if not any(holds(o) for o in drawn)]
    if missing:
        sys.exit("the corpus has no recording with " + ", ".join(missing))


# Some 240 short runs of the sanitized tool: LeakSanitizer's scan at each
# exit costs a third of their time, so it is left to the unit tests and the
# invariants (the same code paths, in three long runs).
ENV = dict(os.environ, ASAN_OPTIONS=":".join(filter(None, [os.environ.get("ASAN_OPTIONS"), "detect_leaks=0"])))


# Set by --emulator and --crlf.
EMULATOR = []
CRLF = False


def run(cmd, cwd, statuses=(0,)):
    p = subprocess.run(EMULATOR + cmd, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=ENV)
    err = p.stderr.decode("utf-8", "replace")
    if p.returncode not in statuses or "Sanitizer" in err or "runtime error" in err:
        raise RuntimeError("%s (in %s) exited %d:\n%s" % (" ".join(cmd), cwd, p.returncode, err[-3000:]))
    return p.stdout, p.returncode


def plain_lines(cmd, data):
    """With --crlf: the text output with each CR LF as LF; an error when a
    line ends with LF alone or a CR stands anywhere else."""
    if not CRLF:
        return data
    if data.count(b"\n") != data.count(b"\r\n") or data.count(b"\r") != data.count(b"\r\n"):
        raise RuntimeError("%s: not every line ends with CR LF" % " ".join(cmd))
    return data.replace(b"\r\n", b"\n")


def no_cr(what, data):
    if CRLF and b"\r" in data:
        raise RuntimeError("%s: a CR where lines end with LF" % what)
    return data


def outputs(tsvigil, work, case):
    """The outputs of one recording: {file name: bytes}."""
    name, html, _ = case
    ts = name + ".ts"
    out = {}
    for suffix, opts in ((".txt", []), (".summary.txt", ["--summary", "-u"])):
        cmd = [tsvigil] + opts + [ts]
        out[name + suffix] = plain_lines(cmd, run(cmd, work)[0])
    out[name + ".json"] = no_cr(name + ".json", run([tsvigil, "--json", ts], work)[0])
    page = ["--html", name + ".html"] if html else []
    cmd = [tsvigil, "--verdict"] + page + [ts]
    line, status = run(cmd, work, (0, 3))
    out[name + ".verdict"] = plain_lines(cmd, line) + b"exit %d\n" % status
    if html:
        with open(os.path.join(work, name + ".html"), "rb") as f:
            out[name + ".html"] = no_cr(name + ".html", f.read())
    return out


def text(name, data):
    # The classic report is Shift_JIS; everything else UTF-8.
    plain = name.endswith(".txt") and not name.endswith(".summary.txt")
    return data.decode("cp932" if plain else "utf-8", "replace").splitlines(keepends=True)


def main():
    args = sys.argv[1:]
    global EMULATOR, CRLF
    update = "--update" in args
    CRLF = "--crlf" in args
    args = [a for a in args if a not in ("--update", "--crlf")]
    if "--emulator" in args:
        i = args.index("--emulator")
        EMULATOR = args[i + 1:i + 2]
        del args[i:i + 2]
    if len(args) != 3:
        sys.exit(__doc__)
    tsvigil, mkts, work = (os.path.abspath(a) for a in args)
    cases = read_cases()
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    # One generator process writes the corpus; then two checks at a time.
    batch = "".join(" ".join(c[2] + [c[0] + ".ts"]) + "\n" for c in cases)
    p = subprocess.run(EMULATOR + [mkts, "--batch"], cwd=work, input=batch.encode(), stderr=subprocess.PIPE)
    if p.returncode != 0:
        sys.exit("tsvigil-mkts --batch exited %d:\n%s" % (p.returncode, p.stderr.decode("utf-8", "replace")))
    # The recordings' own digests tell a change of the generator from one of
    # the checker.
    digests = ""
    for name, _, _ in cases:
        data = open(os.path.join(work, name + ".ts"), "rb").read()
        if len(data) >= 2 << 20:
            sys.exit("%s.ts has %d bytes: keep recordings under 2 MiB" % (name, len(data)))
        digests += "%s %8d %s.ts\n" % (hashlib.sha256(data).hexdigest(), len(data), name)
    got = {"recordings.sha256": digests.encode()}
    with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
        for result in pool.map(lambda c: outputs(tsvigil, work, c), cases):
            got.update(result)
    have = set(os.listdir(EXPECTED)) if os.path.isdir(EXPECTED) else set()
    if update:
        check_coverage(mkts, cases)
        os.makedirs(EXPECTED, exist_ok=True)
        changed = []
        for name, data in sorted(got.items()):
            path = os.path.join(EXPECTED, name)
            if not os.path.exists(path) or open(path, "rb").read() != data:
                changed.append(name)
                with open(path, "wb") as f:
                    f.write(data)
        for name in sorted(have - set(got)):
            os.remove(os.path.join(EXPECTED, name))
            changed.append(name + " (removed)")
        print("%d recordings, %d files; %d changed%s" % (len(cases), len(got), len(changed),
                                                          "".join("\n  " + c for c in changed)))
        return 0
    differ = []
    for name, data in sorted(got.items()):
        path = os.path.join(EXPECTED, name)
        want = open(path, "rb").read() if os.path.exists(path) else None
        if want != data:
            differ.append((name, want, data))
    stale = sorted(have - set(got))
    for name, want, data in differ[:3]:
        if want is None:
            print("%s: no expected file" % name)
            continue
        diff = list(difflib.unified_diff(text(name, want), text(name, data), "expected/" + name, "now/" + name, n=1))
        sys.stdout.writelines(diff[:40])
        if len(diff) > 40:
            print("... (%d more diff lines)" % (len(diff) - 40))
    for name in stale:
        print("expected/%s: no such output any more" % name)
    if differ or stale:
        now = os.path.join(work, "now")
        os.makedirs(now, exist_ok=True)
        for name, data in got.items():
            with open(os.path.join(now, name), "wb") as f:
                f.write(data)
        print("golden corpus: %d of %d outputs differ (recordings in %s, outputs in now/ there); "
              "when the change is meant, `make golden` rewrites them" % (len(differ) + len(stale), len(got), work))
        return 1
    print("golden corpus: %d recordings, %d outputs agree" % (len(cases), len(got)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
