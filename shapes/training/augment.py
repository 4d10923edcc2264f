#!/usr/bin/python3
"""Passes one labelled recording through what real recordings carry, so the shape model learns
voices, not one engine's clean output: a change of pitch or of the vocal tract's length, a room,
a microphone's or telephone's colour, lossy coding, a sample rate, a level with now and then
clipping, a noise floor (white, pink, brown or mains hum) at a level or a signal-to-noise ratio,
a DC offset and dither. Each stage is drawn at random from SEED, or a named CONDITION applies one
fixed chain (for the evaluation's per-condition table). The labels follow any change of tempo.
Prints the chain it applied.
Usage: augment.py IN.wav IN.lab OUT.wav OUT.lab (SEED | CONDITION)"""
import os
import random
import subprocess
import sys
import tempfile
import wave

import numpy as np

# The fixed chains of the evaluation, in the random chain's terms.
CONDITIONS = {
    "clean": {},
    "mic": {"peak": -6, "noise": ("pink", "dbfs", -70)},
    "hiss-70dBFS": {"noise": ("white", "dbfs", -70)},
    "pink-snr20": {"noise": ("pink", "snr", 20)},
    "hum-snr30": {"noise": ("hum50", "snr", 30)},
    "room-reverb": {"reverb": (60, 70), "noise": ("brown", "snr", 25)},
    "telephone": {"band": "phone", "rate": 8000, "noise": ("white", "snr", 30)},
    "mp3-32k": {"codec": ("mp3", 32), "noise": ("pink", "dbfs", -65)},
    "opus-16k": {"codec": ("opus", 16), "noise": ("white", "dbfs", -70)},
    "quiet-40dBFS": {"peak": -40, "noise": ("white", "dbfs", -85)},
    "clipped": {"peak": 6, "noise": ("pink", "dbfs", -60)},
    "high-voice": {"pitch": 500, "noise": ("white", "dbfs", -75)},
    "long-tract": {"speed": 0.87, "noise": ("pink", "dbfs", -70)},
}


def draw(rng):
    """A random chain: each stage present with its own chance."""
    c = {}
    r = rng.random()
    if r < 0.25:
        c["speed"] = rng.uniform(0.85, 1.18)  # vocal tract and tempo together
    elif r < 0.55:
        c["pitch"] = rng.uniform(-400, 600)  # cents, tempo kept
    r = rng.random()
    if r < 0.2:
        c["reverb"] = (rng.uniform(15, 45), rng.uniform(15, 40))
    elif r < 0.35:
        c["reverb"] = (rng.uniform(60, 95), rng.uniform(60, 100))
    if rng.random() < 0.5:
        c["tilt"] = (rng.uniform(-8, 8), rng.uniform(-10, 6))
    r = rng.random()
    if r < 0.12:
        c["band"] = "phone"
        c["rate"] = 8000
    elif r < 0.2:
        c["band"] = "4k"
    if "rate" not in c:
        c["rate"] = rng.choice([8000, 11025, 16000, 16000, 22050, 22050, 32000, 44100, 44100, 48000])
    if rng.random() < 0.2:
        c["codec"] = (rng.choice(["mp3", "opus"]), rng.choice([16, 24, 32, 48]))
    c["peak"] = rng.uniform(-40, 0) if rng.random() < 0.93 else rng.uniform(2, 10)
    r = rng.random()
    if r < 0.88:
        kind = rng.choice(["white", "pink", "pink", "brown", "hum50", "hum60"])
        if rng.random() < 0.5:
            c["noise"] = (kind, "dbfs", rng.uniform(-90, -30))
        else:
            c["noise"] = (kind, "snr", rng.uniform(10, 40))
    if rng.random() < 0.15:
        c["dc"] = rng.choice([-1, 1]) * rng.uniform(0.001, 0.04)
    if rng.random() < 0.3:
        c["dither"] = True
    return c


def read(path):
    with wave.open(path) as w:
        return np.frombuffer(w.readframes(w.getnframes()), "<i2").astype(np.float64) / 32768, \
            w.getframerate()


def write(path, x, rate):
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(np.clip(np.round(x * 32768), -32768, 32767).astype("<i2").tobytes())


def noise(kind, n, rate, rng):
    g = np.random.default_rng(rng.randrange(1 << 30))
    if kind.startswith("hum"):
        t = np.arange(n) / rate
        f0 = 50.0 if kind == "hum50" else 60.0
        x = sum(g.uniform(0.1, 1.0) / k * np.sin(2 * np.pi * f0 * k * t + g.uniform(0, 6.3))
                for k in range(1, 8) if f0 * k < rate / 2)
        return x + 0.05 * g.standard_normal(n)
    if kind == "white":
        return g.standard_normal(n)
    # Shaped in a power-of-two length: the transform of an awkward length is slow.
    size = 1 << int(np.ceil(np.log2(max(n, 2))))
    spectrum = np.fft.rfft(g.standard_normal(size))
    f = np.maximum(np.fft.rfftfreq(size, 1.0 / rate), 20.0)
    spectrum /= np.sqrt(f) if kind == "pink" else f
    return np.fft.irfft(spectrum, size)[:n]


def align(y, ref):
    """The decoder's delay (the MP3 decoder keeps the encoder's padding) taken out, found by
    cross-correlation, so the labels still fit."""
    m = min(len(y), len(ref), 1 << 19)
    n = 1 << int(np.ceil(np.log2(2 * m)))
    c = np.fft.irfft(np.fft.rfft(ref[:m], n) * np.conj(np.fft.rfft(y[:m], n)), n)
    lag = int(np.argmax(c))
    lag = lag if lag < n // 2 else lag - n
    y = y[-lag:] if lag < 0 else np.concatenate([np.zeros(lag), y])
    return np.concatenate([y, np.zeros(max(0, len(ref) - len(y)))])[:len(ref)]


def active_rms(x, rate):
    """The voice's level: the mean square of the loudest half of its 10 ms windows."""
    step = max(rate // 100, 1)
    ms = np.array([np.mean(x[i:i + step] ** 2) for i in range(0, len(x) - step + 1, step)])
    if len(ms) == 0:
        return 1e-9
    loud = np.sort(ms)[len(ms) // 2:]
    return float(np.sqrt(np.mean(loud)) + 1e-9)


def main():
    src, lab_in, out, lab_out, how = sys.argv[1:6]
    if how in CONDITIONS:
        c = dict(CONDITIONS[how])
        rng = random.Random(sum(map(ord, how)))
    else:
        rng = random.Random(int(how))
        c = draw(rng)
    x, rate = read(src)
    with tempfile.TemporaryDirectory() as tmp:
        a, b = os.path.join(tmp, "a.wav"), os.path.join(tmp, "b.wav")
        write(a, x / max(1.0, np.abs(x).max()), rate)
        fx = []
        if "speed" in c:
            fx += ["speed", f"{c['speed']:.4f}"]
        if "pitch" in c:
            fx += ["pitch", f"{c['pitch']:.0f}"]
        if "reverb" in c:
            fx += ["reverb", f"{c['reverb'][0]:.0f}", "50", f"{c['reverb'][1]:.0f}"]
        if "tilt" in c:
            fx += ["bass", f"{c['tilt'][0]:.1f}", "treble", f"{c['tilt'][1]:.1f}"]
        if c.get("band") == "phone":
            fx += ["sinc", "300-3400"]
        elif c.get("band") == "4k":
            fx += ["sinc", "-4000"]
        new_rate = c.get("rate", rate)
        fx += ["gain", "-n", "-1", "rate", str(new_rate)]
        subprocess.run(["sox", "-q", "-R", a, b] + fx, check=True)
        if "codec" in c:
            kind, kbps = c["codec"]
            coded = os.path.join(tmp, "c")
            if kind == "mp3":
                subprocess.run(["lame", "--quiet", "-b", str(kbps), b, coded], check=True)
                subprocess.run(["lame", "--quiet", "--decode", coded, a], check=True)
            else:
                subprocess.run(["opusenc", "--quiet", "--bitrate", str(kbps), b, coded], check=True)
                subprocess.run(["opusdec", "--quiet", "--rate", "48000", coded, a], check=True)
            before, _ = read(b)
            subprocess.run(["sox", "-q", "-R", a, b, "rate", str(new_rate)], check=True)
            y, rate = read(b)
            y = align(y, before)
        else:
            y, rate = read(b)
    peak = c.get("peak", -6.0)
    y *= 10 ** (peak / 20) / max(np.abs(y).max(), 1e-9)
    if "noise" in c:
        kind, mode, level = c["noise"]
        n = noise(kind, len(y), rate, rng)
        n /= np.sqrt(np.mean(n ** 2)) + 1e-12
        voice = active_rms(y, rate)
        rms = 10 ** (level / 20) if mode == "dbfs" else voice * 10 ** (-level / 20)
        # A floor given in dBFS stays at least 10 dB under the voice: louder is no recording
        # anyone would hand an animator.
        rms = min(rms, voice * 10 ** (-10 / 20))
        y += rms * n
    if "dc" in c:
        y += c["dc"]
    if c.get("dither"):
        g = np.random.default_rng(rng.randrange(1 << 30))
        y += (g.random(len(y)) - g.random(len(y))) / 32768
    write(out, y, rate)
    scale = 1.0 / c.get("speed", 1.0)
    with open(lab_in) as f, open(lab_out, "w") as o:
        for row in f:
            start, end, rest = row.split(maxsplit=2)
            o.write(f"{float(start) * scale:.2f} {float(end) * scale:.2f} {rest}")
    print(" ".join(f"{k}={v}" for k, v in c.items()))


if __name__ == "__main__":
    main()
