#!/bin/sh
# SPDX-License-Identifier: BSD-2-Clause
# Builds the libFuzzer targets in build-fuzz/ and runs each in turn for
# FUZZ_SECONDS seconds (default 60), one process at a time. New inputs go to
# build-fuzz/corpus/NAME; the checked-in seeds in fuzz/corpus/NAME and the
# seeds the generator writes at each run (build-fuzz/seeds/NAME, among them
# recordings of a few hundred packets for the whole-check targets) are only
# read. Inputs that once crashed (fuzz/regressions/NAME/) are replayed first.
# A crash leaves its input in build-fuzz/artifacts/ and fails the run.
# Exit status 3: clang or its fuzzer runtime is missing and cannot be
# installed (the caller may treat that as "not run").
set -eu
cd "$(dirname "$0")/.."

FUZZ_SECONDS=${FUZZ_SECONDS:-60}
JOBS=${JOBS:-2}

# clang and its sanitizer and libFuzzer runtimes (Debian packages).
need=""
command -v clang++ >/dev/null 2>&1 || need="clang"
dpkg -s libclang-rt-14-dev >/dev/null 2>&1 || need="$need libclang-rt-14-dev"
if [ -n "$need" ]; then
    echo "== installing$need"
    if ! { apt-get install -y $need || { apt-get update && apt-get install -y $need; }; }; then
        echo "== cannot install$need: no fuzzing here" >&2
        exit 3
    fi
fi

cmake -S fuzz -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build-fuzz -j "$JOBS"
mkdir -p build-fuzz/artifacts
build-fuzz/tsvigil-fuzz-seeds build-fuzz/seeds

# name, binary, largest input. The whole-check targets take recordings of
# a few hundred packets and room to grow them.
for t in whole:WholeCheckFuzzer:131072 check:CheckStreamFuzzer:131072 \
         section:SectionFuzzer:8192 descriptor:DescriptorFuzzer:1024 \
         decoder:StringDecoderFuzzer:4096; do
    name=${t%%:*}; rest=${t#*:}; bin=${rest%%:*}; maxlen=${rest#*:}
    mkdir -p "build-fuzz/corpus/$name"
    seeds="build-fuzz/seeds/$name"
    [ -d "fuzz/corpus/$name" ] && seeds="fuzz/corpus/$name $seeds"
    if [ -n "$(ls -A "fuzz/regressions/$name" 2>/dev/null)" ]; then
        echo "== $bin: replaying fuzz/regressions/$name"
        "build-fuzz/$bin" fuzz/regressions/"$name"/*
    fi
    echo "== $bin: ${FUZZ_SECONDS}s"
    "build-fuzz/$bin" -max_total_time="$FUZZ_SECONDS" -max_len="$maxlen" -timeout=10 \
        -print_final_stats=1 -artifact_prefix="build-fuzz/artifacts/$name-" \
        "build-fuzz/corpus/$name" $seeds
done
