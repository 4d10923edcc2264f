#!/usr/bin/env bash
# Redraws the manual's pictures of the nine mouths (docs/mouth-*.png) from the lip preview's code.
# Usage: scripts/mouth_pictures.sh [BUILD_DIR]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build/release}"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target mouth_pictures
QT_QPA_PLATFORM=offscreen "$build/palettes/mouth_pictures" "$root/docs"
