#!/usr/bin/env bash
# The sound tests under ThreadSanitizer: the audio callback runs on SDL's thread and shares the
# playback position and done flag with the user-interface thread. Qt-free build of the sound tests
# alone (tests/sound/tsan) in build/tsan, SDL's dummy driver (the disk-driver test picks its own).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/deps.sh" build test
build="$root/build/tsan"
# A folder configured from another source tree (an older layout of this script) is started afresh.
if [ -f "$build/CMakeCache.txt" ] && ! grep -q "^CMAKE_HOME_DIRECTORY:INTERNAL=$root/tests/sound/tsan\$" "$build/CMakeCache.txt"; then
    rm -rf "$build"
fi
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1
fi
cmake -S "$root/tests/sound/tsan" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
      -DCMAKE_CXX_FLAGS="-O1 -g" -DVOKRA_GUI=OFF "${launcher[@]}" >/dev/null
cmake --build "$build" --target sound_tests

export SDL_AUDIODRIVER=dummy
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"
# Playback only: loading and amplitudes run on one thread and are covered by the main suite.
"$build/sound/sound_tests" --gtest_filter='*Playback*:Playback*' --gtest_brief=1
