#!/usr/bin/env python3
"""Writes the three notice sounds of the download window (run once; the
results are kept under src/queue/sounds/ as resources).

101: a finished web page - one short high blip.
102: the end of the list (or the error stop) - a rising two-note chime.
103: a failed row - a low double buzz.
"""
import math
import struct
import sys
import wave
from pathlib import Path

RATE = 22050


def tone(freq, seconds, volume=0.5, shape="sine"):
    n = int(RATE * seconds)
    out = []
    for i in range(n):
        t = i / RATE
        if shape == "square":
            v = 1.0 if math.sin(2 * math.pi * freq * t) >= 0 else -1.0
            v *= 0.6
        else:
            v = math.sin(2 * math.pi * freq * t)
        # short fade in and out so the sound does not click
        env = min(1.0, i / (RATE * 0.005), (n - i) / (RATE * 0.02))
        out.append(v * volume * env)
    return out


def silence(seconds):
    return [0.0] * int(RATE * seconds)


def write(path, samples):
    with wave.open(str(path), "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(b"".join(struct.pack("<h", int(max(-1, min(1, s)) * 32767)) for s in samples))


def main():
    folder = Path(sys.argv[1] if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent / "src/queue/sounds")
    folder.mkdir(parents=True, exist_ok=True)
    write(folder / "101.wav", tone(1320, 0.12))
    write(folder / "102.wav", tone(660, 0.16) + tone(990, 0.28))
    write(folder / "103.wav", tone(220, 0.12, 0.4, "square") + silence(0.06) + tone(220, 0.12, 0.4, "square"))


if __name__ == "__main__":
    main()
