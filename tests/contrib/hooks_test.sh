#!/bin/sh
# SPDX-License-Identifier: BSD-2-Clause
# Runs each script of contrib/ as its recording server would (no shell
# around it, a bare environment, output thrown away) on the demo
# recording, and checks what it wrote against the tool's own outputs.
# Usage: hooks_test.sh TSVIGIL TSVIGIL-MKTS WORKDIR
set -u
bin=$1 mkts=$2 work=$3
contrib=$(cd "$(dirname -- "$0")/../../contrib" && pwd)
failed=0
fail() { echo "FAIL: $*"; failed=$((failed + 1)); }
same() { cmp -s "$1" "$2" || { fail "$3"; diff "$1" "$2" | head -5; }; }

rm -rf "$work" && mkdir -p "$work/rec" "$work/out" || exit 1
"$mkts" --demo "$work/rec/demo.ts" || exit 1
rec=$work/rec/demo.ts
"$bin" --json "$rec" >"$work/want.json" 2>/dev/null
"$bin" --verdict "$rec" >"$work/want.verdict" 2>/dev/null
cat "$work/want.verdict" "$work/want.verdict" >"$work/want.verdict2"

# EPGStation: RECPATH, beside the recording, run twice (the log grows).
for i in 1 2; do
    env -i PATH=/usr/bin:/bin RECPATH="$rec" TSVIGIL="$bin" "$contrib/epgstation-finish.sh" >/dev/null 2>&1 </dev/null
done
same "$work/want.json" "$rec.tsvigil.json" "epgstation: JSON beside the recording"
same "$work/want.verdict2" "$work/rec/tsvigil.log" "epgstation: two verdict lines in tsvigil.log"
grep -q '<div id="verdict"' "$rec.tsvigil.html" || fail "epgstation: HTML page beside the recording"
# Into a folder given as the first argument, made when missing.
env -i PATH=/usr/bin:/bin RECPATH="$rec" TSVIGIL="$bin" "$contrib/epgstation-finish.sh" "$work/out/e" >/dev/null 2>&1 </dev/null
same "$work/want.json" "$work/out/e/demo.ts.tsvigil.json" "epgstation: JSON in the folder"
same "$work/want.verdict" "$work/out/e/tsvigil.log" "epgstation: verdict line in the folder's log"
[ -s "$work/out/e/demo.ts.tsvigil.html" ] || fail "epgstation: HTML page in the folder"

# EDCB: FilePath, into a folder.
env -i PATH=/usr/bin:/bin FilePath="$rec" TSVIGIL="$bin" "$contrib/edcb-postrec.sh" "" "$work/out/d" >/dev/null 2>&1 </dev/null
same "$work/want.json" "$work/out/d/demo.ts.tsvigil.json" "edcb: JSON in the folder"
same "$work/want.verdict" "$work/out/d/tsvigil.log" "edcb: verdict line in the folder's log"
[ -s "$work/out/d/demo.ts.tsvigil.html" ] || fail "edcb: HTML page in the folder"

# The pipe: a stand-in curl serves the demo; the JSON names the input "-".
printf '#!/bin/sh\nexec cat "%s"\n' "$rec" >"$work/curl" && chmod +x "$work/curl"
env -i PATH=/usr/bin:/bin CURL="$work/curl" TSVIGIL="$bin" "$contrib/tuner-pipe.sh" http://localhost/stream 5 "$work/out/pipe.json" >/dev/null 2>&1 </dev/null
sed "s|\"file\":\"$rec\"|\"file\":\"-\"|" "$work/want.json" >"$work/want-pipe.json"
same "$work/want-pipe.json" "$work/out/pipe.json" "pipe: JSON of standard input"

[ "$failed" -eq 0 ] && echo "hooks: 0 failed" && exit 0
echo "hooks: $failed failed"
exit 1
