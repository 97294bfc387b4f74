"""Default.wav, played when a preset is stored: two soft bell notes a fourth
apart, rising, under half a second, since the window waits for it to end."""

import io
import math
import struct
import wave

RATE = 22050
# (start in seconds, frequency in Hz, loudness 0..1)
NOTES = ((0.0, 1046.5, 0.42), (0.11, 1396.9, 0.38))  # C6 then F6
LENGTH = 0.42
ATTACK = 0.006
DECAY = 0.09          # seconds for the bell to fall to 1/e
FADE_OUT = 0.04       # the last stretch goes smoothly to silence
OVERTONE = (2.0, 0.18)  # a faint octave gives the bell its shimmer


def samples():
    count = round(LENGTH * RATE)
    values = []
    for n in range(count):
        t = n / RATE
        level = 0.0
        for start, frequency, loudness in NOTES:
            age = t - start
            if age < 0:
                continue
            envelope = min(1.0, age / ATTACK) * math.exp(-age / DECAY)
            tone = math.sin(2 * math.pi * frequency * age)
            tone += OVERTONE[1] * math.sin(2 * math.pi * frequency * OVERTONE[0] * age)
            level += loudness * envelope * tone
        remaining = LENGTH - t
        if remaining < FADE_OUT:
            level *= remaining / FADE_OUT
        values.append(max(-32767, min(32767, round(level * 32767))))
    return values


def wav_bytes():
    """16-bit mono PCM; the wave module writes no time stamp or other
    changing field, so the bytes are the same on every run."""
    buffer = io.BytesIO()
    with wave.open(buffer, "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(RATE)
        out.writeframes(struct.pack(f"<{len(samples())}h", *samples()))
    return buffer.getvalue()
