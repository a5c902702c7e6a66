#!/usr/bin/env python3
"""Writes data/Notify.wav, the short two-note chime Tavlo plays when a whisper arrives.

Synthesised here so the sound is our own: 16-bit mono PCM, 22,050 Hz, about a third of a second.
Run it again only to change the sound; the result is committed."""
import math
import struct
import sys
import wave

RATE = 22050


def tone(freq, seconds, volume=0.45):
    count = int(RATE * seconds)
    for i in range(count):
        t = i / RATE
        envelope = min(1.0, i / (RATE * 0.005)) * math.exp(-6.0 * t)
        value = volume * envelope * (math.sin(2 * math.pi * freq * t) + 0.3 * math.sin(4 * math.pi * freq * t))
        yield int(max(-1.0, min(1.0, value)) * 32767)


def main(path):
    samples = list(tone(880.0, 0.14)) + list(tone(1318.5, 0.22))
    with wave.open(path, "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(RATE)
        out.writeframes(b"".join(struct.pack("<h", s) for s in samples))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "data/Notify.wav")
