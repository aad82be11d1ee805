#!/usr/bin/env bash
# Speed and memory of tsvigil against `cat FILE >/dev/null` on the same
# file, measured in the same run (these machines are noisy, so only ratios
# of paired runs mean anything).
#   tools/bench.sh BUILD_DIR [RUNS]
set -euo pipefail
build=${1:-build}
runs=${2:-7}
tool=$build/tsvigil
mkts=$build/tsvigil-mkts
data=$build/bench
mkdir -p "$data"

TIMEFORMAT=%R
secs() { { time "$@" >/dev/null 2>&1; } 2>&1; }
rss() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -n 1; }

make_stream() {  # name size bytes
    local f=$data/$1
    if [ ! -s "$f" ]; then
        echo "generating $f ($3 bytes, $2-byte packets, with TOT and EIT)" >&2
        "$mkts" --si --size "$2" --bytes "$3" --drop-every 3000000 "$f"
    fi
    echo "$f"
}

median_minmax() { sort -g | awk '{v[NR]=$1} END {m=(NR%2)?v[(NR+1)/2]:(v[NR/2]+v[NR/2+1])/2; printf "%.2fx (min %.2fx, max %.2fx)", m, v[1], v[NR]}'; }

paired() {  # file label
    local f=$1 label=$2 ratios=() t_cat t_tool
    cat "$f" >/dev/null; cat "$f" >/dev/null   # into the page cache
    "$tool" "$f" >/dev/null 2>&1
    for ((i = 0; i < runs; i++)); do
        t_cat=$(secs cat "$f")
        t_tool=$(secs "$tool" "$f")
        ratios+=("$(awk -v a="$t_tool" -v b="$t_cat" 'BEGIN {printf "%.4f", a / b}')")
        last="cat ${t_cat}s, tsvigil ${t_tool}s"
    done
    printf '%-30s tsvigil/cat %s over %d paired runs; last pair: %s; peak RSS tsvigil %s KiB, cat %s KiB\n' \
        "$label" "$(printf '%s\n' "${ratios[@]}" | median_minmax)" "$runs" "$last" \
        "$(rss "$tool" "$f")" "$(rss cat "$f")"
}

evict() { dd if="$1" iflag=nocache count=0 status=none; }

cold() {  # file label
    local f=$1 t_cat t_tool
    evict "$f"; t_cat=$(secs cat "$f")
    evict "$f"; t_tool=$(secs "$tool" "$f")
    printf '%-30s cold cache: cat %ss, tsvigil %ss, tsvigil/cat %s\n' "$2" "$t_cat" "$t_tool" \
        "$(awk -v a="$t_tool" -v b="$t_cat" 'BEGIN {printf "%.2fx", a / b}')"
}

f188=$(make_stream bench-1g.188.ts 188 $((1 << 30)))
f192=$(make_stream bench-1g.192.ts 192 $((1 << 30)))
echo "== hot page cache, 1 GiB"
paired "$f188" "188-byte packets, 1 GiB"
paired "$f192" "192-byte packets, 1 GiB"
echo "== cold page cache, 1 GiB"
cold "$f188" "188-byte packets, 1 GiB"
echo "== growth: 4 GiB once"
f4g=$(make_stream bench-4g.188.ts 188 $((4 << 30)))
cat "$f4g" >/dev/null
printf '%-30s tsvigil %ss (1 GiB: %ss), peak RSS %s KiB (1 GiB: %s KiB)\n' "188-byte packets, 4 GiB" \
    "$(secs "$tool" "$f4g")" "$(secs "$tool" "$f188")" "$(rss "$tool" "$f4g")" "$(rss "$tool" "$f188")"
