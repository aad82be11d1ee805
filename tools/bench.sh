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

# Cold cache: each round evicts the file's pages before each reader; the
# median ratio of five rounds (a virtual disk may still be cached below the
# machine, which only makes both readers faster).
cold() {  # file label
    local f=$1 ratios=() t_cat t_tool last
    for ((i = 0; i < 5; i++)); do
        evict "$f"; t_cat=$(secs cat "$f")
        evict "$f"; t_tool=$(secs "$tool" "$f")
        ratios+=("$(awk -v a="$t_tool" -v b="$t_cat" 'BEGIN {printf "%.4f", a / b}')")
        last="cat ${t_cat}s, tsvigil ${t_tool}s"
    done
    printf '%-30s cold cache: tsvigil/cat %s over 5 rounds; last: %s\n' "$2" \
        "$(printf '%s\n' "${ratios[@]}" | median_minmax)" "$last"
}

# Growth: the best of three runs on each size, both files in the page cache.
growth() {  # small big label
    local small=$1 big=$2 ts=() tb=()
    cat "$small" >/dev/null; cat "$big" >/dev/null
    for ((i = 0; i < 3; i++)); do
        ts+=("$(secs "$tool" "$small")")
        tb+=("$(secs "$tool" "$big")")
    done
    local bs bb
    bs=$(printf '%s\n' "${ts[@]}" | sort -g | head -n 1)
    bb=$(printf '%s\n' "${tb[@]}" | sort -g | head -n 1)
    printf '%-30s tsvigil %ss for 4 GiB, %ss for 1 GiB (x%s); peak RSS %s KiB for 4 GiB, %s KiB for 1 GiB\n' \
        "$3" "$bb" "$bs" "$(awk -v a="$bb" -v b="$bs" 'BEGIN {printf "%.2f", a / b}')" \
        "$(rss "$tool" "$big")" "$(rss "$tool" "$small")"
}

f188=$(make_stream bench-1g.188.ts 188 $((1 << 30)))
f192=$(make_stream bench-1g.192.ts 192 $((1 << 30)))
# How fast bytes move between the two cores right now: a pipe hands every
# byte from one CPU to the other, as the reader thread does for input that
# is not a regular file; on a virtual machine whose two CPUs do not share a
# cache that hand-over, not the checking, sets the pace.
handover() {  # file
    local t_cat t_pipe
    t_cat=$(secs cat "$1")
    t_pipe=$(secs sh -c "cat '$1' | cat >/dev/null")
    printf '%-30s cat %ss, cat | cat %ss (%s)\n' "core-to-core baseline" "$t_cat" "$t_pipe" \
        "$(awk -v a="$t_pipe" -v b="$t_cat" 'BEGIN {printf "%.2fx", a / b}')"
}

echo "== hot page cache, 1 GiB"
handover "$f188"
paired "$f188" "188-byte packets, 1 GiB"
paired "$f192" "192-byte packets, 1 GiB"
handover "$f188"
# A recording piped in: the reader thread's path. Its report must be the
# file's, byte for byte; its time is set beside that of `cat F | cat`.
piped() {  # file
    local f=$1 t_pipe t_tool same
    cat "$f" >/dev/null
    t_pipe=$(secs sh -c "cat '$f' | cat >/dev/null")
    t_tool=$(secs sh -c "cat '$f' | '$tool' /dev/stdin")
    if cmp -s <("$tool" "$f" 2>/dev/null) <(cat "$f" | "$tool" /dev/stdin 2>/dev/null); then
        same="report identical to tsvigil FILE"
    else
        same="REPORT DIFFERS from tsvigil FILE"
    fi
    printf '%-30s cat F | tsvigil /dev/stdin %ss, cat F | cat %ss; %s\n' "piped, 188-byte, 1 GiB" \
        "$t_tool" "$t_pipe" "$same"
}
piped "$f188"
# What the outputs for programs and people cost: the summary (which also
# follows the PAT, PMTs, CAT and SDT) and JSON Lines against the plain
# report, and, when BENCH_BASELINE names an earlier build of the tool, the
# plain report against that build's. Paired alternating runs, hot cache.
versus() {  # label file "command A" "command B": the median of A/B
    local label=$1 f=$2 a=$3 b=$4 ratios=() ta tb
    cat "$f" >/dev/null
    for ((i = 0; i < runs; i++)); do
        tb=$(secs sh -c "$b '$f'")
        ta=$(secs sh -c "$a '$f'")
        ratios+=("$(awk -v x="$ta" -v y="$tb" 'BEGIN {printf "%.4f", x / y}')")
    done
    printf '%-30s %s over %d paired runs\n' "$label" "$(printf '%s\n' "${ratios[@]}" | median_minmax)" "$runs"
}
echo "== options, 188-byte, 1 GiB"
versus "--summary / plain" "$f188" "'$tool' --summary" "'$tool'"
versus "--json / plain" "$f188" "'$tool' --json" "'$tool'"
if [ -n "${BENCH_BASELINE:-}" ]; then
    versus "plain / baseline plain" "$f188" "'$tool'" "'$BENCH_BASELINE'"
    versus "--json / baseline plain" "$f188" "'$tool' --json" "'$BENCH_BASELINE'"
fi
echo "== cold page cache, 1 GiB"
cold "$f188" "188-byte packets, 1 GiB"
echo "== growth: 1 GiB to 4 GiB"
f4g=$(make_stream bench-4g.188.ts 188 $((4 << 30)))
growth "$f188" "$f4g" "188-byte packets"
