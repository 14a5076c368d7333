#!/usr/bin/env python3
"""Writes demo.mid, the keys the README's demo plays on the loop recorder (120 BPM, 4/4):
C held through bar 1 (recorded under the bar position), A held for two beats of bar 2
(overdubbed at the effect's own position, which starts at the loop's start), D held for
beat 3 of bar 3 (erased), then four bars in which the loop plays on."""
import struct

TPQ = 480
BAR = 4 * TPQ


def vlq(n):
    out = [n & 0x7F]
    while n > 127:
        n >>= 7
        out.insert(0, 0x80 | (n & 0x7F))
    return bytes(out)


def track(events):  # (tick, bytes), in time order
    data, now = b"", 0
    for tick, message in events:
        data += vlq(tick - now) + bytes(message)
        now = tick
    return b"MTrk" + struct.pack(">I", len(data)) + data


name = b"Stammerix demo"
conductor = track([(0, [0xFF, 0x03, len(name)] + list(name)),
                   (0, [0xFF, 0x58, 4, 4, 2, 24, 8]),          # 4/4
                   (0, [0xFF, 0x51, 3, 0x07, 0xA1, 0x20]),     # 500000 us a quarter: 120 BPM
                   (7 * BAR, [0xFF, 0x2F, 0])])
C, A, D = 60, 69, 62
keys = track([(0, [0x90, C, 100]), (BAR + TPQ // 4, [0x80, C, 64]),
              (BAR + TPQ, [0x90, A, 100]), (BAR + 3 * TPQ, [0x80, A, 64]),
              (2 * BAR + 2 * TPQ, [0x90, D, 100]), (2 * BAR + 3 * TPQ, [0x80, D, 64]),
              (7 * BAR, [0xFF, 0x2F, 0])])
with open("demo.mid", "wb") as f:
    f.write(b"MThd" + struct.pack(">IHHH", 6, 1, 2, TPQ) + conductor + keys)
