#!/usr/bin/python3
"""Makes one labelled recording with a Festival voice: every line of TEXT spoken (festival -b with
festival_speak.scm), the lines' waves joined into OUT.wav, and each phone's mouth from Festival's
own segment times into OUT.lab (through shapes_training_tool label, which holds the phone-set
maps). STRETCH slows (>1) or speeds up (<1) the voice's durations.
Usage: make_festival.py TOOL TEXT VOICE PHONE_SET ENCODING STRETCH OUT_PREFIX"""
import os
import subprocess
import sys
import tempfile
import wave

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))


def scheme_string(text, encoding):
    # The voices read their language's 8-bit charset (Czech ISO-8859-2, Finnish, Italian and
    # Catalan ISO-8859-1) or UTF-8 (the Indian voices); what a charset cannot hold is dropped.
    escaped = text.replace("\\", "\\\\").replace('"', '\\"')
    return b'"' + escaped.encode(encoding, errors="ignore") + b'"'


def main():
    tool, text_path, voice, phone_set, encoding, stretch, out = sys.argv[1:8]
    with open(text_path, encoding="utf-8") as f:
        lines = [line.strip() for line in f if line.strip()]
    with tempfile.TemporaryDirectory() as tmp:
        prefix = os.path.join(tmp, "line")
        script = os.path.join(tmp, "speak.scm")
        with open(script, "wb") as f:
            f.write(f'(load "{HERE}/festival_speak.scm")\n({voice})\n(speak-lines (list '.encode())
            f.write(b" ".join(scheme_string(line, encoding) for line in lines))
            f.write(f') "{prefix}" {float(stretch)})\n'.encode())
        subprocess.run(["festival", "-b", script], check=True, timeout=1800, cwd=tmp,
                       stdout=subprocess.DEVNULL)
        ends = {}
        with open(prefix + ".seg") as f:
            for row in f:
                n, end, name = row.split()
                ends.setdefault(int(n), []).append((float(end), name))
        pieces, phones, rate, offset = [], [], None, 0
        for n in range(len(lines)):
            path = f"{prefix}-{n}.wav"
            if not os.path.exists(path) or n not in ends:
                continue
            with wave.open(path) as w:
                rate = rate or w.getframerate()
                if w.getframerate() != rate or w.getnchannels() != 1 or w.getsampwidth() != 2:
                    sys.exit(f"{path}: not 16-bit mono at {rate} Hz")
                samples = np.frombuffer(w.readframes(w.getnframes()), dtype="<i2")
            start_ms = offset * 1000.0 / rate
            begin = 0.0
            for end, name in ends[n]:
                phones.append(f"{start_ms + begin * 1000:.2f} {start_ms + end * 1000:.2f} {name}")
                begin = end
            pieces.append(samples)
            offset += len(samples)
        if not pieces:
            sys.exit(f"{voice} spoke nothing")
        with wave.open(out + ".wav", "wb") as w:
            w.setnchannels(1)
            w.setsampwidth(2)
            w.setframerate(rate)
            w.writeframes(np.concatenate(pieces).astype("<i2").tobytes())
        with open(out + ".phones", "w") as f:
            f.write("\n".join(phones) + "\n")
    subprocess.run([tool, "label", phone_set, out + ".phones", out + ".lab"], check=True)
    os.remove(out + ".phones")


if __name__ == "__main__":
    main()
