#!/usr/bin/env bash
# Measures the shape estimator on speech it never trained or tuned on: espeak-ng's voice variants
# absent from training (m7, f5, m1, klatt4) reading real sentences (real/) and new
# pseudo-sentences in 15 languages (Hungarian in none of the training), and the Festival voices
# held out as a test set in voices.sh (Telugu in none of the training), each recording as a
# decent microphone takes it (pink floor at -70 dBFS); then the same lines under fixed recording
# conditions. Prints per voice, per language and per condition: exact shape per 10 ms (the
# headline, no tolerance) and with 20 ms of tolerance, the class, closures (M, B, P) found, and
# beside them the trivial "X where the labels pause, else B"; then per shape precision, recall and
# the mean onset error in frames at 24 fps.
# The real speaker's held-out clips (a seventh of ../shared/real-speech/lj/, labels aligned from
# their transcripts, lj_labels.txt) as recorded and under two conditions, and English alone.
# ENGINES=1 also trains an espeak-ng-only and a Festival-and-flite-only model (fewer epochs) and
# prints the voice table for each: leave-one-engine-out.
# HEADER=path measures the model of another weights header (a tool is built for it in WORK_DIR).
# Usage: shapes/training/eval.sh [WORK_DIR [TRAIN_WORK_DIR]]
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
here="$root/shapes/training"
work="${1:-$root/build/shapes-eval}"
trainwork="${2:-$root/build/shapes-training}"
real="${REAL_SPEECH:-$root/../shared/real-speech}/lj"
mkdir -p "$work/raw"
# shellcheck source=tool.sh
source "$here/tool.sh"
# shellcheck source=voices.sh
source "$here/voices.sh"
[ -n "${HEADER:-}" ] && build_tools "$work/tool" "$(realpath "$HEADER")"

speak="$work/speak.txt" augment="$work/augment.txt"
: > "$speak"
: > "$augment"
for l in voices languages conditions real english; do : > "$work/$l.list"; done
# Speaks into raw/NAME once and queues its copy through chain HOW into NAME-HOW, listed as TAG.
queue() {
    local cmd=$1 name=$2 how=$3 list=$4 tag=$5
    [ -s "$work/raw/$name.wav" ] || echo "$cmd" >> "$speak"
    local seed=$how
    [ "$how" = random ] && seed=$(printf '%s' "$name" | cksum | cut -d' ' -f1)
    # Kept from an earlier run: the chains are deterministic (remove WORK_DIR after changing them).
    [ -s "$work/$name-$how.wav" ] ||
        echo "$python $here/augment.py $work/raw/$name.wav $work/raw/$name.lab $work/$name-$how.wav $work/$name-$how.lab $seed > /dev/null" >> "$augment"
    echo "$tag $work/$name-$how.wav $work/$name-$how.lab" >> "$work/$list.list"
    case "$list:$name" in voices:es-en-*|real:lj-*) echo "$tag $work/$name-$how.wav $work/$name-$how.lab" >> "$work/english.list" ;; esac
}
conditions="clean mic hiss-70dBFS pink-snr20 hum-snr30 room-reverb telephone mp3-32k opus-16k quiet-40dBFS clipped high-voice long-tract"
for lang in en de fr es it pt pl ru nl sv fi cs tr hi hu; do
    queue "$tool speak $lang+m7 165 45 $here/real/$lang.txt $work/raw/es-$lang-real.wav $work/raw/es-$lang-real.lab" \
        "es-$lang-real" mic languages "$lang"
    "$python" "$here/make_text.py" "$lang" 100 12 > "$work/raw/es-$lang-pseudo.txt"
    queue "$tool speak $lang+f5 150 65 $work/raw/es-$lang-pseudo.txt $work/raw/es-$lang-pseudo.wav $work/raw/es-$lang-pseudo.lab" \
        "es-$lang-pseudo" mic languages "$lang"
done
for lang in en; do
    for c in $conditions; do
        queue "" "es-$lang-real" "$c" conditions "$c"
    done
done
"$python" "$here/make_text.py" en 101 12 > "$work/raw/es-en-other.txt"
for v in "m7 165 45" "f5 150 65" "m1 140 5" "klatt4 170 50"; do
    read -r variant wpm pitch <<< "$v"
    queue "$tool speak en+$variant $wpm $pitch $work/raw/es-en-other.txt $work/raw/es-en-$variant.wav $work/raw/es-en-$variant.lab" \
        "es-en-$variant" mic voices "espeak-$variant"
done
for v in "${festival_test[@]}"; do
    read -r voice set lang charset <<< "$v"
    text="$here/real/$lang.txt"
    if [ ! -f "$text" ]; then
        text="$work/raw/fe-$lang.txt"
        "$python" "$here/make_text.py" "$lang" 100 15 > "$text"
    fi
    cmd="$python $here/make_festival.py $tool $text $voice $set $charset 1.0 $work/raw/fe-$voice"
    queue "$cmd" "fe-$voice" mic voices "${voice#voice_}"
    queue "$cmd" "fe-$voice" mic languages "$lang"
    for c in $conditions; do
        queue "$cmd" "fe-$voice" "$c" conditions "$c"
    done
done
if [ -z "${NO_REAL:-}" ]; then
    while read -r id runs; do
        name="lj-$id"
        real_lab "$runs" > "$work/raw/$name.lab"
        queue "sox $real/$id.flac -b 16 $work/raw/$name.wav" "$name" clean real lj-as-recorded
        queue "" "$name" pink-snr20 real lj-pink-snr20
        queue "" "$name" telephone real lj-telephone
    done < <(real_clips test)
fi
sed -i '/^$/d' "$speak"
sort -u "$speak" -o "$speak"
sort -u "$augment" -o "$augment"
run_all "$speak"
run_all "$augment"
[ -n "${DATA_ONLY:-}" ] && exit 0

tables() {
    echo "== per voice (held out of training and tuning)"
    "$tool" eval "$work/voices.list"
    echo "== per language (hu, te in no training)"
    "$tool" eval "$work/languages.list"
    echo "== per recording condition (espeak-ng m7 in English; the held-out Festival voices)"
    "$tool" eval "$work/conditions.list"
    if [ -s "$work/real.list" ]; then
        echo "== the real speaker's held-out clips ($(grep -c as-recorded "$work/real.list") clips; labels aligned from the transcripts)"
        "$tool" eval "$work/real.list"
    fi
    echo "== English alone (espeak-ng voices held out, per voice; the real speaker as recorded and under noise)"
    "$tool" eval "$work/english.list"
}
tables
[ -z "${ENGINES:-}" ] && exit 0
# Each engine's model goes to a header of its own (train.sh builds a tool for it); the source
# tree's model is left alone.
for engines in espeak festival; do
    HEADER="$work/weights-$engines.h" ENGINES=$engines EPOCHS="${ENGINE_EPOCHS:-4}" REUSE=all \
        "$here/train.sh" "$trainwork" > "$work/train-$engines.log"
    build_tools "$work/tool-$engines" "$work/weights-$engines.h"
    echo "== leave-one-engine-out: trained on $engines only"
    "$tool" eval "$work/voices.list"
done
