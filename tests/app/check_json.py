#!/usr/bin/env python3
# SPDX-License-Identifier: BSD-2-Clause
"""Checks tsvigil's JSON Lines against its text report of the same file.

usage: check_json.py JSON_FILE TEXT_FILE
Every line must be a JSON object (RFC 8259, UTF-8); the findings must be
those of the text report (Shift_JIS), in the same order; the last line is
the summary and its per-PID counts agree with the findings. Exit 0 when all holds,
else 1 with the first difference on standard error.
"""
import json
import re
import sys


def fail(msg):
    sys.stderr.write(msg + "\n")
    sys.exit(1)


def main():
    raw = open(sys.argv[1], "rb").read()
    text = open(sys.argv[2], "rb").read().decode("cp932", errors="replace")
    try:
        lines = raw.decode("utf-8").splitlines()
        objs = [json.loads(line) for line in lines]
    except (UnicodeDecodeError, json.JSONDecodeError) as e:
        fail("not JSON Lines: %s" % e)
    if not objs or objs[-1].get("type") != "summary":
        fail("the last line is not the summary")
    summary = objs[-1]
    found = []
    for o in objs[:-1]:
        t = o.get("type")
        if t == "packet_size":
            found.append(("size", o["size"]))
        elif t == "sync_error":
            found.append(("sync",))
        elif t == "continuity_error":
            found.append(("cc", o["pid"], o["last"], o["counter"]))
        elif t == "scrambled":
            found.append(("scrambled", o["pid"], o["packets"]))
        elif t == "transport_errors":
            found.append(("tei", o["packets"]))
        elif t == "event":
            found.append(("event", o["service_id"], o["event_id"]))
        elif t not in ("tot", "gap", "damage", "programme", "scrambled_range", "transport_error_range", "indicator"):
            fail("unknown type %r" % t)
        if t in ("gap", "damage", "programme", "scrambled_range", "transport_error_range", "indicator"):
            continue
        if "at" not in o or "elapsed" not in o:
            fail("no at or elapsed in %r" % o)
        if t != "packet_size" and t != "tot" and "time" not in o:
            fail("no time in %r" % o)
    expected = []
    for line in text.splitlines():
        m = re.fullmatch(r" packet size:(\d+)\.", line)
        if m:
            expected.append(("size", int(m.group(1))))
        elif line == " sync byte error.":
            expected.append(("sync",))
        elif (m := re.fullmatch(r" continuity counter error \(pid:0x([0-9a-f]{4}), *(\d+)-> *(\d+)\)\.", line)):
            expected.append(("cc", int(m.group(1), 16), int(m.group(2)), int(m.group(3))))
        elif (m := re.fullmatch(r" transport scrambling countrol \(pid:0x([0-9a-f]{4}), *(\d+)packets\)\.", line)):
            expected.append(("scrambled", int(m.group(1), 16), int(m.group(2))))
        elif (m := re.fullmatch(r" transport error indicator \( *(\d+)packets\)\.", line)):
            expected.append(("tei", int(m.group(1))))
        elif (m := re.fullmatch(r" eit:.*\(service_id:(\d{5}), event_id:(\d{5})\)\.", line)):
            expected.append(("event", int(m.group(1)), int(m.group(2))))
    if found != expected:
        for i, (a, b) in enumerate(zip(found, expected)):
            if a != b:
                fail("finding %d: JSON %r, text %r" % (i, a, b))
        fail("JSON has %d findings, the text %d" % (len(found), len(expected)))
    pids = summary["pids"]
    checks = [
        (summary["sync_errors"], sum(1 for f in found if f[0] == "sync"), "sync_errors"),
        (sum(p["continuity_errors"] for p in pids), sum(1 for f in found if f[0] == "cc"), "continuity_errors"),
        (sum(p["scrambled"] for p in pids), sum(f[2] for f in found if f[0] == "scrambled"), "scrambled"),
        (sum(p["transport_errors"] for p in pids), sum(f[1] for f in found if f[0] == "tei"), "transport_errors"),
    ]
    # Every scrambled or flagged packet lies in exactly one range.
    for kind, key in (("scrambled_range", "scrambled"), ("transport_error_range", "transport_errors")):
        per_pid = {}
        for o in objs[:-1]:
            if o["type"] != kind:
                continue
            if o["packets"] != sum(p["packets"] for p in o["pids"]):
                fail("%s packets %r, its pids' %r" % (kind, o["packets"], o["pids"]))
            for p in o["pids"]:
                per_pid[p["pid"]] = per_pid.get(p["pid"], 0) + p["packets"]
        checks.append(({p["pid"]: p[key] for p in pids if p[key]}, per_pid, kind))
    for got, want, what in checks:
        if got != want:
            fail("summary %s: %r, findings %r" % (what, got, want))
    print("%d findings agree" % len(found))


main()
