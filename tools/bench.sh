#!/usr/bin/env bash
# SPDX-License-Identifier: BSD-2-Clause
# Speed and memory of tsvigil against `cat FILE >/dev/null` and against the
# floor (a bare read-and-count loop) on the same file, measured in the same
# run (these machines are noisy, so only ratios of paired runs mean
# anything), and the instruction gate: instructions per packet under
# callgrind against the figure kept in tools/bench-baseline.txt.
#   tools/bench.sh BUILD_DIR [RUNS]         everything; exit 1 when the gate fails
#   tools/bench.sh --instructions BUILD_DIR the instruction gate alone
set -euo pipefail
only_gate=0
if [ "${1:-}" = --instructions ]; then
    only_gate=1
    shift
fi
build=${1:-build}
runs=${2:-7}
tool=$build/tsvigil
mkts=$build/tsvigil-mkts
data=$build/bench
root=$(cd "$(dirname "$0")/.." && pwd)
baseline_file=$root/tools/bench-baseline.txt
mkdir -p "$data"

export LC_ALL=C  # a decimal point in every figure
TIMEFORMAT=%R
secs() { { time "$@" >/dev/null 2>&1; } 2>&1; }
rss() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -n 1; }

make_stream() {  # name size bytes [drop-every]
    local f=$data/$1
    if [ ! -s "$f" ]; then
        echo "generating $f ($3 bytes, $2-byte packets, with TOT and EIT)" >&2
        "$mkts" --si --size "$2" --bytes "$3" --drop-every "${4:-3000000}" "$f"
    fi
    echo "$f"
}

median() { sort -g | awk '{v[NR]=$1} END {printf "%.3f", (NR%2)?v[(NR+1)/2]:(v[NR/2]+v[NR/2+1])/2}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.4f", a / b}'; }

# The floor: ../shared/bench/readcc.c beside the project, a read(2) loop
# that tests each packet's sync byte and its PID's continuity_counter and
# nothing else, built with cc -O2. What tsvigil costs above it is the price
# of everything else it checks.
floor_src=$root/../shared/bench/readcc.c
floor=$build/readcc
floor_ready() {
    if [ ! -f "$floor_src" ]; then
        echo "floor not measured: $(dirname "$floor_src") (the folder shared/bench beside the project) is absent"
        return 1
    fi
    if [ ! -x "$floor" ] || [ "$floor_src" -nt "$floor" ]; then
        if ! cc -O2 -o "$floor" "$floor_src"; then
            echo "floor not measured: cc -O2 $floor_src failed"
            return 1
        fi
    fi
}

# The instruction gate: callgrind counts every instruction of one run of
# `tsvigil FILE` (the same on every run, however busy the machine), divided
# by the packets of the file, against the baseline kept in the repository.
# Returns 0 (PASS), 1 (FAIL: more than 5% over the baseline, or the run
# failed) or 2 (not run).
gate() {  # file
    local f=$1 out=$data/callgrind.tsvigil.out log=$data/callgrind.tsvigil.log
    local base packets ir ipp change floor_ipp
    if ! command -v valgrind >/dev/null && [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null; then
        echo "installing valgrind for the instruction gate" >&2
        { apt-get update -qq && apt-get install -y -qq valgrind; } >"$data/valgrind-install.log" 2>&1 || true
    fi
    if ! command -v valgrind >/dev/null; then
        echo "instruction gate not run: valgrind is missing"
        return 2
    fi
    base=$(awk '$1 == "instructions_per_packet" {print $2}' "$baseline_file" 2>/dev/null || true)
    if [ -z "$base" ]; then
        echo "instruction gate not run: no instructions_per_packet line in $baseline_file"
        return 2
    fi
    packets=$(( $(stat -L -c %s "$f") / 188 ))
    if ! valgrind --tool=callgrind --callgrind-out-file="$out" "$tool" "$f" >/dev/null 2>"$log"; then
        echo "instruction gate: FAIL (the run under callgrind failed; see $log)"
        return 1
    fi
    ir=$(awk '$1 == "summary:" || $1 == "totals:" {print $2; exit}' "$out")
    ipp=$(awk -v ir="$ir" -v n="$packets" 'BEGIN {printf "%.2f", ir / n}')
    change=$(awk -v a="$ipp" -v b="$base" 'BEGIN {printf "%+.1f%%", (a / b - 1) * 100}')
    printf '%-30s %s instructions per packet (%s Ir, %s packets; %s)\n' "tsvigil FILE" "$ipp" "$ir" "$packets" "$out"
    if floor_ready >/dev/null 2>&1; then
        if valgrind --tool=callgrind --callgrind-out-file="$data/callgrind.readcc.out" "$floor" "$f" >/dev/null 2>&1; then
            floor_ipp=$(awk -v n="$packets" '$1 == "summary:" || $1 == "totals:" {printf "%.2f", $2 / n; exit}' \
                "$data/callgrind.readcc.out")
            printf '%-30s %s instructions per packet; tsvigil is %s above it\n' "floor (readcc)" "$floor_ipp" \
                "$(awk -v a="$ipp" -v b="$floor_ipp" 'BEGIN {printf "%.2f", a - b}')"
        fi
    fi
    if awk -v a="$ipp" -v b="$base" 'BEGIN {exit !(a <= b * 1.05)}'; then
        printf 'instruction gate: PASS (%s against the baseline %s, %s; the limit is +5%%)\n' "$ipp" "$base" "$change"
        if awk -v a="$ipp" -v b="$base" 'BEGIN {exit !(a < b * 0.95)}'; then
            echo "  more than 5% below the baseline: lower it in tools/bench-baseline.txt"
        fi
        return 0
    fi
    printf 'instruction gate: FAIL (%s against the baseline %s, %s; the limit is +5%%)\n' "$ipp" "$base" "$change"
    return 1
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
echo "== instructions, 188-byte, 1 GiB (callgrind)"
gate_status=0
gate "$f188" || gate_status=$?
if [ $only_gate = 1 ]; then
    exit $gate_status
fi
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
# Against the floor: cat, the floor and tsvigil in turn, each round.
floor_paired() {  # file label
    local f=$1 over=() under=() t_cat t_floor t_tool last
    floor_ready || return 0
    cat "$f" >/dev/null; cat "$f" >/dev/null
    "$floor" "$f" >/dev/null; "$tool" "$f" >/dev/null 2>&1
    for ((i = 0; i < runs; i++)); do
        t_cat=$(secs cat "$f")
        t_floor=$(secs "$floor" "$f")
        t_tool=$(secs "$tool" "$f")
        over+=("$(ratio "$t_tool" "$t_floor")")
        under+=("$(ratio "$t_floor" "$t_cat")")
        last="cat ${t_cat}s, floor ${t_floor}s, tsvigil ${t_tool}s"
    done
    printf '%-30s tsvigil/floor %s, floor/cat %s over %d rounds; last: %s; peak RSS floor %s KiB\n' \
        "$2" "$(printf '%s\n' "${over[@]}" | median_minmax)" "$(printf '%s\n' "${under[@]}" | median_minmax)" \
        "$runs" "$last" "$(rss "$floor" "$f")"
}
floor_paired "$f188" "floor, 188-byte, 1 GiB"
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

# Many files: eight 128 MiB recordings checked by one run, one file at a
# time against two at once, all in the page cache. Only for a tool that
# has --jobs (and --verdict, to keep the reports out of the timing).
many() {
    local help files=() t1 t2 r=() a=() b=()
    help=$("$tool" --help 2>&1 || true)
    if ! grep -q -- '--jobs' <<<"$help"; then
        echo "many files: skipped, tsvigil --help does not mention --jobs"
        return 0
    fi
    if ! grep -q -- '--verdict' <<<"$help"; then
        echo "many files: skipped, tsvigil --help does not mention --verdict"
        return 0
    fi
    for ((k = 1; k <= 8; k++)); do
        files+=("$(make_stream "bench-128m-$k.188.ts" 188 $((128 << 20)) $((200000 + 1000 * k)))")
    done
    cat "${files[@]}" >/dev/null; cat "${files[@]}" >/dev/null
    "$tool" --verdict --jobs 2 "${files[@]}" >/dev/null 2>&1 || true
    for ((i = 0; i < runs; i++)); do
        t1=$(secs "$tool" --verdict --jobs 1 "${files[@]}")
        t2=$(secs "$tool" --verdict --jobs 2 "${files[@]}")
        a+=("$t1"); b+=("$t2")
        r+=("$(ratio "$t2" "$t1")")
    done
    printf '%-30s --jobs 1 %ss, --jobs 2 %ss (medians); --jobs 2 / --jobs 1 %s over %d paired runs\n' \
        "8 x 128 MiB, 188-byte" "$(printf '%s\n' "${a[@]}" | median)" "$(printf '%s\n' "${b[@]}" | median)" \
        "$(printf '%s\n' "${r[@]}" | median_minmax)" "$runs"
}
echo "== many files: --jobs 1 against --jobs 2"
many

case $gate_status in
    1) echo "instruction gate: FAIL (above)"; exit 1 ;;
    2) echo "instruction gate: not run (above)" ;;
esac
