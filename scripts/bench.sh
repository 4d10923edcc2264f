#!/usr/bin/env bash
# Installs what is missing, builds the benchmarks (release) and runs them; each prints its ratios.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/deps.sh" build bench
build="$root/build/bench"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVOKRA_BENCH=ON -DVOKRA_TESTS=OFF >/dev/null
cmake --build "$build"
status=0
for exe in "$build"/bench/*/*_bench; do
    [ -x "$exe" ] || continue
    echo "== $(basename "$exe")"
    QT_QPA_PLATFORM=offscreen "$exe" "$@" || status=1
done
exit $status
