#!/usr/bin/env bash
# Measures shapes from the script against the guess without it, on the real sentences of
# shapes/training/real/ spoken by espeak-ng voice variants absent from training (m7, f5), clean
# and with noise: exact mouth per 10 ms (no tolerance, and within 20 ms), right class, closures
# found; with a quarter of the words of each script replaced by other words, a sentence more than
# the take, a sentence less and a take said twice (each against the guess on the same take); the
# closures exactly; and the report of words not found: precision and recall on the words
# replaced, and the share of a right script's words it names. Rows "all" and "no en" keep English
# apart. A minute or two on one core.
# Usage: shapes/training/eval_script.sh [LANG...]   (default: 15 languages)
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
here="$root/shapes/training"
# shellcheck source=tool.sh
source "$here/tool.sh"
cmake --build "$build" --target script_eval >/dev/null
langs=("$@")
[ ${#langs[@]} -eq 0 ] && langs=(en de fr es it pt pl ru nl sv fi cs tr hi hu)
"$build/shapes/training/script_eval" "$here/real" "${langs[@]}"
