#!/usr/bin/python3
"""Writes one simulated working day for the soak run: a stereo WAV and its line timeline.

Each slot of 8 s holds one call per line: line 1 is seized from 0.5 s to 6.5 s and carries a
tone meanwhile (line-state control); line 2 carries a tone from 0.5 s to 5.5 s (sound-level
control). Usage: soak_day.py SLOTS OUT.wav OUT.timeline
"""
import array
import math
import struct
import sys

RATE = 8000
SLOT_S = 8


def main():
    slots, wav_path, timeline_path = int(sys.argv[1]), sys.argv[2], sys.argv[3]
    period = [int(8000 * math.sin(2 * math.pi * i / 20)) for i in range(20)]
    slot = array.array("h", bytes(RATE * SLOT_S * 4))
    for frame in range(RATE * SLOT_S):
        t = frame / RATE
        tone = period[frame % 20]
        slot[2 * frame] = tone if 0.5 <= t < 6.5 else 0
        slot[2 * frame + 1] = tone if 0.5 <= t < 5.5 else 0
    if sys.byteorder != "little":
        slot.byteswap()
    data = slot.tobytes()
    size = len(data) * slots
    with open(wav_path, "wb") as wav:
        wav.write(b"RIFF" + struct.pack("<I", 36 + size) + b"WAVEfmt ")
        wav.write(struct.pack("<IHHIIHH", 16, 1, 2, RATE, RATE * 4, 4, 16))
        wav.write(b"data" + struct.pack("<I", size))
        for _ in range(slots):
            wav.write(data)
    with open(timeline_path, "w") as timeline:
        for i in range(slots):
            start = i * SLOT_S
            timeline.write(f"{start + 0.5} 1 active\n{start + 6.5} 1 idle\n")


if __name__ == "__main__":
    main()
