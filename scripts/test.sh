#!/usr/bin/env bash
# Installs what is missing, builds the test build (AddressSanitizer + UndefinedBehaviorSanitizer)
# and runs the whole suite through CTest on Qt's offscreen platform and SDL's dummy audio driver.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/deps.sh" build test
build="$root/build/test"
# ccache keeps objects between clones of the repository (paths are taken relative to the clone).
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1
fi
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS="-O1 -g" \
      -DVOKRA_SANITIZE=ON -DVOKRA_TESTS=ON "${launcher[@]}" >/dev/null
cmake --build "$build"

export QT_QPA_PLATFORM=offscreen
export SDL_AUDIODRIVER=dummy
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
# The playback tests once more under ThreadSanitizer: the audio callback shares state with the UI.
"$root/scripts/tsan.sh"

# The whole suite last, so its summary closes the output.
ctest --test-dir "$build" --output-on-failure -j2
