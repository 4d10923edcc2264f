#!/usr/bin/env bash
# Builds one libFuzzer target (fuzz/TARGET_fuzzer.cpp) with clang 14, ASan and UBSan, and runs it.
# Usage: scripts/fuzz.sh TARGET [SECONDS]        e.g. scripts/fuzz.sh wave 600
# Inputs: the seeds written by fuzz/TARGET_seeds.cpp (if there is one) and the kept corpus in
# fuzz/corpus/TARGET/. New inputs grow in build/fuzz/corpus/TARGET/; crashes are written to
# fuzz/crashers/TARGET-*, where the ordinary test suite replays them.
# With VOKRA_FUZZ_KEEP=1 the run ends by merging what it found into fuzz/corpus/TARGET/ (only
# inputs that add coverage, at most 4 KiB each, so the kept corpus stays small).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
target="${1:?usage: scripts/fuzz.sh TARGET [SECONDS]}"
seconds="${2:-60}"
"$root/scripts/deps.sh" build fuzz

build="$root/build/fuzz"
cmake -S "$root/fuzz" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
cmake --build "$build" --target "${target}_fuzzer"

seeds="$build/seeds/$target"
work="$build/corpus/$target"
kept="$root/fuzz/corpus/$target"
mkdir -p "$seeds" "$work" "$kept" "$root/fuzz/crashers"
if [ -f "$root/fuzz/${target}_seeds.cpp" ]; then
    cmake --build "$build" --target "${target}_seeds"
    "$build/${target}_seeds" "$seeds"
fi

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
# Leaks inside system codec libraries are not ours to fix (tests/lsan.supp says which).
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
"$build/${target}_fuzzer" -malloc_limit_mb=64 -rss_limit_mb=512 -timeout=5 \
    -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$root/fuzz/crashers/${target}-" "$work" "$seeds" "$kept"

if [ "${VOKRA_FUZZ_KEEP:-0}" = 1 ]; then
    "$build/${target}_fuzzer" -merge=1 -max_len=4096 "$kept" "$work" "$seeds"
fi
