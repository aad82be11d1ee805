#!/bin/sh
# SPDX-License-Identifier: BSD-2-Clause
# The Windows program under Wine, run as its users run it: the demo
# recording's outputs equal the Linux build's (CR LF aside), a file named in
# Japanese, a path longer than 260 characters, standard input from a pipe,
# --jobs 2 over several files, packets past 4 GiB, wildcards, a file held
# open for writing by another process, a 1 GiB recording (timed, no gate),
# and the recorder's PostRecEnd.bat with a faked path.
# Usage: wine_test.sh RUNNER TSVIGIL.EXE TSVIGIL-MKTS.EXE WORKDIR LINUX_TSVIGIL POSTRECEND.BAT
set -u
run=$1 exe=$2 mkts=$3 work=$4 host=$5 bat=$6
failed=0 passed=0
fail() { echo "FAIL: $*"; failed=$((failed + 1)); }
ok() { passed=$((passed + 1)); }
# Text lines must each end with CR LF; compared with the CR taken out.
crlf() {
    lf=$(tr -cd '\n' <"$1" | wc -c) crs=$(tr -cd '\r' <"$1" | wc -c)
    pairs=$(grep -c "$(printf '\r')\$" "$1")
    [ "$lf" -eq "$pairs" ] && [ "$crs" -eq "$pairs" ] || { fail "$1: not every line ends with CR LF"; return; }
    tr -d '\r' <"$1" >"$1.lf"
}
same() { if cmp -s "$1" "$2"; then ok; else fail "$3"; diff "$1" "$2" | head -5; fi; }

rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1
"$run" "$mkts" --demo demo.ts >/dev/null 2>&1 || { echo "FAIL: tsvigil-mkts --demo"; exit 1; }

# The demo: the report, the summary in UTF-8, the verdict line and the
# JSON Lines equal the Linux build's byte for byte, CR LF aside.
[ -x "$host" ] || { echo "FAIL: no Linux build of tsvigil to compare with ($host)"; exit 1; }
for o in report:"" summary:"--summary -u" verdict:"--verdict" json:"--json"; do
    name=${o%%:*} opts=${o#*:}
    # shellcheck disable=SC2086
    "$run" "$exe" $opts demo.ts >"win.$name" 2>/dev/null
    # shellcheck disable=SC2086
    "$host" $opts demo.ts >"linux.$name" 2>/dev/null
    if [ "$name" = json ]; then
        same linux.json win.json "demo: JSON Lines (LF only) differ from Linux's"
    else
        crlf "win.$name" && same "linux.$name" "win.$name.lf" "demo: $name differs from Linux's"
    fi
done

# A file named in Japanese: the JSON names it in UTF-8, --utf8's verdict
# line too, and the exit status is the verdict's.
jp=録画テスト.ts
cp demo.ts "$jp"
"$run" "$exe" --json "$jp" 2>/dev/null | head -n 1 | grep -q "\"file\":\"$jp\"" && ok || fail "Japanese name: JSON \"file\""
"$run" "$exe" --utf8 --verdict "$jp" >jp.verdict 2>/dev/null
[ $? -eq 3 ] && ok || fail "Japanese name: exit status of a damaged recording"
grep -q "^$jp: " jp.verdict && ok || fail "Japanese name: --utf8 verdict line"
# Without --utf8 a pipe gets the ANSI code page (Wine's for LANG=C.UTF-8
# has no kana): a character it has not is '?'.
"$run" "$exe" --verdict "$jp" 2>/dev/null | grep -q '^?????[.]ts: ' && ok || fail "Japanese name: '?' in the ANSI code page"
# Outside the code page (an emoji): it opens, and JSON carries it whole.
emoji=rec-😀.ts
cp demo.ts "$emoji"
"$run" "$exe" --json "$emoji" 2>/dev/null | head -n 1 | grep -q "\"file\":\"$emoji\"" && ok || fail "emoji name: JSON \"file\""

# A path longer than 260 characters.
long=$(printf 'd%.0s' $(seq 1 120))
mkdir -p "$long/$long/$long"
cp demo.ts "$long/$long/$long/demo.ts"
"$run" "$exe" --verdict "$long/$long/$long/demo.ts" >long.verdict 2>long.err
[ $? -eq 3 ] && ok || { fail "long path: exit status"; cat long.err; }
sed "s|^$long/$long/$long/||" long.verdict >long.stripped
crlf long.stripped && same linux.verdict long.stripped.lf "long path: verdict line"

# Standard input from a pipe: the same verdict as the file's.
cat demo.ts | "$run" "$exe" --verdict - >pipe.verdict 2>/dev/null
crlf pipe.verdict && sed 's/^demo.ts: /-: /' linux.verdict >want.pipe && same want.pipe pipe.verdict.lf "pipe: verdict line"

# --jobs 2 over several files: the lines in argument order, as one at a time.
"$run" "$mkts" --seed 7 a.ts >/dev/null 2>&1 && "$run" "$mkts" --seed 8 b.ts >/dev/null 2>&1
"$host" --utf8 --verdict a.ts demo.ts b.ts "$jp" >linux.jobs 2>/dev/null
"$run" "$exe" --utf8 --jobs 2 --verdict a.ts demo.ts b.ts "$jp" >win.jobs 2>/dev/null
crlf win.jobs && same linux.jobs win.jobs.lf "--jobs 2: verdict lines"

# Packets past 4 GiB: a recording, a sparse hole, the recording again; the
# JSON's offsets and byte count are Linux's.
cp demo.ts big.ts
dd if=demo.ts of=big.ts bs=1M seek=4500 conv=notrunc status=none
"$host" --json big.ts >linux.big 2>/dev/null
"$run" "$exe" --json big.ts >win.big 2>/dev/null
grep -q '"offset_from":[0-9]\{10\}' linux.big && ok || fail "4 GiB: no finding past 4 GiB in Linux's JSON"
same linux.big win.big "4 GiB: JSON differs from Linux's"
rm -f big.ts

# Wildcards: a Windows shell leaves them to the program, which checks the
# files they match in name order; one that matches nothing is unreadable.
mkdir -p wild && cp demo.ts wild/b.ts && cp demo.ts wild/a.ts
"$run" "$exe" -q --verdict 'wild\*.ts' 'wild/none*.ts' >wild.verdict 2>/dev/null
tr -d '\r' <wild.verdict | sed 's/: .*//' >wild.names
printf 'wild\\a.ts\nwild\\b.ts\nwild/none*.ts\n' >want.wild
same want.wild wild.names "wildcards: the files matched, in name order"

# A recording its recorder still holds open for writing is unreadable: the
# check opens it sharing read access only. (Wine tells the sharing violation
# as a missing file; Windows as EACCES.)
"$run" cmd /c "ping -n 6 127.0.0.1 >held.ts" >/dev/null 2>&1 &
holder=$!
tries=0
while [ ! -e held.ts ] && [ $tries -lt 50 ]; do sleep 0.1; tries=$((tries + 1)); done
sleep 1
"$run" "$exe" -q --verdict held.ts >held.verdict 2>/dev/null
[ $? -eq 3 ] && grep -q '^held[.]ts: unreadable' held.verdict && ok || fail "a file held open for writing: unreadable"
wait $holder

# A 1 GiB recording is checked at all; how long it took is printed (Wine's
# speed is not Windows', so it is no gate).
gen=$(dirname "$host")/tsvigil-mkts
if [ -x "$gen" ] && "$gen" --si --size 188 --bytes 1G big1g.ts >/dev/null 2>&1; then
    start=$(date +%s%N)
    "$run" "$exe" -q --verdict big1g.ts >big1g.verdict 2>/dev/null
    end=$(date +%s%N)
    grep -q '^big1g[.]ts: ok' big1g.verdict && ok || fail "1 GiB: not checked whole"
    echo "1 GiB under Wine: $(( (end - start) / 1000000 )) ms"
    rm -f big1g.ts
else
    fail "1 GiB: no recording made ($gen)"
fi

# PostRecEnd.bat as a recorder runs it, with the recording's path in
# FilePath: JSON and page beside it, the verdict line in tsvigil.log, and
# the verdict's exit status.
mkdir -p rec && cp demo.ts rec/rec.ts
winrec=$("$run" winepath -w "$work/rec/rec.ts" 2>/dev/null)
winexe=$("$run" winepath -w "$exe" 2>/dev/null)
FilePath=$winrec TSVIGIL=$winexe "$run" cmd /c "$("$run" winepath -w "$bat" 2>/dev/null)" >/dev/null 2>&1
[ $? -eq 3 ] && ok || fail "PostRecEnd.bat: exit status 3 for a damaged recording"
# The JSON names the recording by the path it was given: left out here.
unnamed() { sed 's/"file":"\([^"\\]\|\\.\)*"/"file":""/g' "$1"; }
unnamed linux.json >want.rec.json
unnamed rec/rec.ts.tsvigil.json >got.rec.json 2>/dev/null
same want.rec.json got.rec.json "PostRecEnd.bat: JSON beside the recording"
grep -q '<div id="verdict"' rec/rec.ts.tsvigil.html && ok || fail "PostRecEnd.bat: page beside the recording"
[ -f rec/tsvigil.log ] && tr -d '\r' <rec/tsvigil.log | sed 's/^.*rec[.]ts: //' >log.tail &&
    sed 's/^demo.ts: //' linux.verdict >want.tail && same want.tail log.tail "PostRecEnd.bat: verdict line in tsvigil.log" ||
    fail "PostRecEnd.bat: no tsvigil.log"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
