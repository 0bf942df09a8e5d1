#!/usr/bin/env python3
"""Writes the two sounds of the test e-mail button as 16-bit mono WAV files.

"Mail Sent.wav": two bright bell notes going up (E6 then A6), each a sine
with a soft attack, a quieter octave partial and an exponential decay.
"Mail Not Sent.wav": two dull notes going down (A3 then F3), a sine with odd
partials (a rounded square) that ends quickly.

Run it from this folder to remake the files: python3 make_sounds.py
"""
import math
import struct
import wave

RATE = 22050


def note(freq, seconds, partials, decay, volume):
    samples = []
    for i in range(int(RATE * seconds)):
        t = i / RATE
        attack = min(1.0, t / 0.006)
        envelope = attack * math.exp(-t * decay)
        value = sum(weight * math.sin(2 * math.pi * freq * ratio * t)
                    for ratio, weight in partials)
        samples.append(volume * envelope * value)
    return samples


def write(name, samples):
    with wave.open(name, "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(RATE)
        frames = b"".join(struct.pack("<h", int(max(-1.0, min(1.0, s)) * 32767)) for s in samples)
        out.writeframes(frames)


def overlay(first, second, offset_seconds):
    offset = int(RATE * offset_seconds)
    mixed = first + [0.0] * max(0, offset + len(second) - len(first))
    for i, value in enumerate(second):
        mixed[offset + i] += value
    return mixed


BELL = [(1.0, 0.7), (2.0, 0.2), (3.0, 0.08)]
DULL = [(1.0, 0.6), (3.0, 0.2), (5.0, 0.1)]

write("Mail Sent.wav", overlay(note(1318.5, 0.35, BELL, 9, 0.5), note(1760.0, 0.5, BELL, 7, 0.5), 0.12))
write("Mail Not Sent.wav", overlay(note(220.0, 0.22, DULL, 10, 0.6), note(174.6, 0.35, DULL, 9, 0.6), 0.2))
