#!/usr/bin/env bash
# Installs what is missing, builds a release build of Vokra and starts it (arguments passed on).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/deps.sh" build
cmake -S "$root" -B "$root/build/release" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVOKRA_TESTS=OFF >/dev/null
cmake --build "$root/build/release" --target vokra vokra-cli
exec "$root/build/release/app/vokra" "$@"
