#!/usr/bin/env bash
# Makes one labelled recording: espeak-ng speaks TEXT with VOICE, then sox brings it to RATE
# with an EFFECT (none, noise, reverb, room, phone), as a recording of a real voice might be.
# Usage: make_speech.sh TOOL TEXT VOICE WPM PITCH RATE EFFECT OUT_PREFIX
set -euo pipefail
tool=$1 text=$2 voice=$3 wpm=$4 pitch=$5 rate=$6 effect=$7 out=$8
"$tool" speak "$voice" "$wpm" "$pitch" "$text" "$out.raw.wav" "$out.lab"
case "$effect" in
    none) sox -q "$out.raw.wav" "$out.wav" rate "$rate" ;;
    noise)
        sox -q "$out.raw.wav" "$out.noise.wav" synth pinknoise vol 0.03
        sox -q -m "$out.raw.wav" "$out.noise.wav" "$out.wav" rate "$rate"
        rm -f "$out.noise.wav" ;;
    reverb) sox -q "$out.raw.wav" "$out.wav" reverb 30 50 40 rate "$rate" ;;
    room)
        # Reverb and noise about 15 dB below the voice, as a phone or laptop in a room records.
        sox -q "$out.raw.wav" "$out.noise.wav" synth pinknoise vol 0.12
        sox -q -m "$out.raw.wav" "$out.noise.wav" "$out.wav" reverb 40 50 60 rate "$rate"
        rm -f "$out.noise.wav" ;;
    phone) sox -q "$out.raw.wav" "$out.wav" sinc 300-3400 gain -n -1 rate "$rate" ;;
    *) echo "unknown effect $effect" >&2; exit 2 ;;
esac
rm -f "$out.raw.wav"
