#!/usr/bin/env bash
# Measures the shape estimator on speech it never saw: real sentences (shapes/training/real/) and
# new pseudo-sentences in 15 languages, two of them (it, hu) absent from training, spoken by
# voice variants absent from training; then the same sentences under other recording conditions.
# Prints, per language and per condition: frames, % exact shape, % right class, % of closure
# (M, B, P) frames found, all with 20 ms of tolerance either side.
# Usage: shapes/training/eval.sh [WORK_DIR]
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
here="$root/shapes/training"
work="${1:-$root/build/shapes-eval}"
mkdir -p "$work"
# shellcheck source=tool.sh
source "$here/tool.sh"

jobs="$work/jobs.txt"
: > "$jobs"
: > "$work/languages.list"
: > "$work/conditions.list"
for lang in en de fr es it pt pl ru nl sv fi cs tr hi hu; do
    out="$work/$lang-real"
    echo "$here/make_speech.sh $tool $here/real/$lang.txt $lang+m7 165 45 44100 reverb $out" >> "$jobs"
    echo "$lang $out.wav $out.lab" >> "$work/languages.list"
    out="$work/$lang-pseudo"
    "$python" "$here/make_text.py" "$lang" 100 8 > "$out.txt"
    echo "$here/make_speech.sh $tool $out.txt $lang+f5 150 65 48000 noise $out" >> "$jobs"
    echo "$lang $out.wav $out.lab" >> "$work/languages.list"
done
# condition: variant wpm pitch rate effect
conditions=(
    "clean:+m7 165 45 22050 none"
    "noise:+m7 165 45 44100 noise"
    "reverb:+m7 165 45 48000 reverb"
    "phone:+m7 165 45 8000 phone"
    "fast:+m7 240 45 44100 none"
    "slow:+m7 110 45 44100 none"
    "high-pitch:+f5 165 95 44100 none"
    "low-pitch:+m1 165 5 44100 none"
    "klatt-voice:+klatt4 165 50 44100 none"
    "noisy-room:+m7 165 45 44100 room"
)
for lang in en de es ru hi; do
    for c in "${conditions[@]}"; do
        read -r name wpm pitch rate effect <<< "$c"
        tag="${name%%:*}"; variant="${name#*:}"
        out="$work/$lang-$tag"
        echo "$here/make_speech.sh $tool $here/real/$lang.txt $lang$variant $wpm $pitch $rate $effect $out" >> "$jobs"
        echo "$tag $out.wav $out.lab" >> "$work/conditions.list"
    done
done
xargs -P 2 -I{} bash -c '{} 2>/dev/null' < "$jobs"
echo "== per language (it, hu unseen in training)"
"$tool" eval "$work/languages.list"
echo "== per condition (en, de, es, ru, hi real sentences)"
"$tool" eval "$work/conditions.list"
