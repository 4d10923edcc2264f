#!/usr/bin/env bash
# Labels the real speaker's clips (../shared/real-speech/lj/, read in place, never copied into the
# repository) by aligning each transcript with the program's own script alignment and the model
# in the source tree, and writes shapes/training/lj_labels.txt: per clip its id, the alignment's
# agreement (the placed words' mean; right scripts on spoken lines agree at -0.1 to -0.5), the
# words found, and the mouth of every 10 ms window as runs ("B12" is twelve windows of B).
# train.sh reads the committed file, so a retraining does not move its own labels; run this again
# after a retraining to align with the better model, then train again.
# Usage: shapes/training/label_real.sh [WORK_DIR]
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
here="$root/shapes/training"
work="${1:-$root/build/real-labels}"
real="${REAL_SPEECH:-$root/../shared/real-speech}/lj"
[ -f "$real/transcripts.tsv" ] || { echo "no real speech at $real" >&2; exit 1; }
mkdir -p "$work/lj"
# shellcheck source=tool.sh
source "$here/tool.sh"
jobs="$work/align.txt"
: > "$jobs"
tail -n +2 "$real/transcripts.tsv" | while IFS=$'\t' read -r id text; do
    printf '%s\n' "$text" > "$work/lj/$id.txt"
    echo "(sox $real/$id.flac -b 16 $work/lj/$id.wav && $tool align $id $work/lj/$id.wav $work/lj/$id.txt en-us > $work/lj/$id.runs) || rm -f $work/lj/$id.runs" >> "$jobs"
done
# A clip whose script is set aside whole leaves no runs; its message stays in the log.
nice -n 10 xargs -P 2 -I{} bash -c '{} 2>>"$0"' "$jobs.log" < "$jobs" || true
out="$here/lj_labels.txt"
{
    echo "# Mouths of ../shared/real-speech/lj/ (Apache-2.0) by shapes/training/label_real.sh: id agreement found/words runs"
    cat "$work"/lj/*.runs | LC_ALL=C sort
} > "$out.part"
mv "$out.part" "$out"
echo "$(($(wc -l < "$out") - 1)) of $(($(wc -l < "$real/transcripts.tsv") - 1)) clips aligned into $out (messages: $jobs.log)"
