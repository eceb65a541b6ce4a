#!/usr/bin/python3
"""Synthesises the game's sounds into data/.

Run from anywhere:  /usr/bin/python3 scripts/make-sounds.py  (or make artwork)

Writes, as 16-bit mono WAV at 22050 Hz (the game's mixer converts them):
  data/countdown.wav       0.12 s  880 Hz beep as each of [5] .. [1] appears
  data/start.wav           0.45 s  1320 Hz start signal at "GO!"
  data/step.wav            0.03 s  soft tick of a counted step
  data/finish.wav          0.86 s  rising C major chord for the winning screen
  data/sounds.LICENSE.txt  where they come from and their licence

Every sound is a sum of sine waves (and, for the tick, seeded noise) under a
short fade in and out, so two runs give byte-identical files. Each of the three
loud sounds leads with a pitch of its own (880, 1320 and 523 Hz), which is how
the end-to-end test tells them apart in what the game plays; the tick has none
of them.
"""

import math
import os
import random
import struct
import wave

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DATA = os.path.join(ROOT, "data")
RATE = 22050

LICENSE = """\
countdown.wav, start.wav, step.wav and finish.wav are synthesised by
scripts/make-sounds.py from sine waves and seeded noise: our own work, with no
recorded or third-party material. They are dedicated to the public domain
under CC0 1.0 (https://creativecommons.org/publicdomain/zero/1.0/).
"""


def tone(seconds, partials, level, fade_in=0.004, fade_out=0.03):
    """Sine partials [(hertz, weight)] scaled to a peak of level (0..1), with
    linear fades so the sound starts and ends without a click."""
    count = int(seconds * RATE)
    total = sum(weight for _, weight in partials)
    samples = []
    for i in range(count):
        t = i / RATE
        value = sum(weight * math.sin(2 * math.pi * hertz * t) for hertz, weight in partials) / total
        samples.append(level * value * envelope(i, count, fade_in, fade_out))
    return samples


def envelope(i, count, fade_in, fade_out):
    rising = i / (fade_in * RATE)
    falling = (count - 1 - i) / (fade_out * RATE)
    return max(0.0, min(1.0, rising, falling))


def tick():
    """A short, soft knock: a 1800 Hz ping and a little noise, decaying in 6 ms."""
    noise = random.Random(14)
    count = int(0.03 * RATE)
    samples = []
    for i in range(count):
        t = i / RATE
        decay = math.exp(-t / 0.006)
        ping = math.sin(2 * math.pi * 1800 * t)
        samples.append(0.18 * decay * (0.7 * ping + 0.3 * noise.uniform(-1, 1)) * envelope(i, count, 0.001, 0.005))
    return samples


def fanfare():
    """C5, then E5, G5 and C6 joining it every 0.11 s: one rising chord that
    never falls quiet between its notes, fading out together. C5 leads, as loud
    as the other signals; the rest are softer so the sum never clips."""
    notes = [(523.25, 0.45), (659.25, 0.2), (783.99, 0.15), (1046.5, 0.15)]
    count = int(0.86 * RATE)
    samples = [0.0] * count
    for n, (hertz, level) in enumerate(notes):
        start = int(n * 0.11 * RATE)
        for i in range(start, count):
            t = (i - start) / RATE
            fade = envelope(i - start, count - start, 0.004, 0.3)
            samples[i] += level * math.sin(2 * math.pi * hertz * t) * fade
    return samples


def write_wav(name, samples):
    frames = b"".join(struct.pack("<h", round(max(-1.0, min(1.0, s)) * 32767)) for s in samples)
    with wave.open(os.path.join(DATA, name), "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(RATE)
        out.writeframes(frames)


def main():
    os.makedirs(DATA, exist_ok=True)
    write_wav("countdown.wav", tone(0.12, [(880, 1.0), (1760, 0.2)], 0.45))
    write_wav("start.wav", tone(0.45, [(1320, 1.0), (2640, 0.15)], 0.55, fade_out=0.08))
    write_wav("step.wav", tick())
    write_wav("finish.wav", fanfare())
    with open(os.path.join(DATA, "sounds.LICENSE.txt"), "w", encoding="utf-8") as f:
        f.write(LICENSE)


if __name__ == "__main__":
    main()
