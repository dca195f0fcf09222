#!/usr/bin/env python3
"""Writes a firmware file the simulated amplifier accepts: pseudo-random bytes from 0x800 upward,
0xFF above them, and the word at 0x800 chosen so that the big-endian word sum of the whole window
is zero. For the demo and the screenshots; the data means nothing.

  sample-firmware.py OUT [--length BYTES] [--seed N]
"""
import argparse

WINDOW_START = 0x800
WINDOW_SIZE = 0x1FD80 - 0x800


def window(length, seed):
    data = bytearray([0xFF]) * WINDOW_SIZE
    state = (seed * 2654435761 + 12345) & 0xFFFFFFFF
    for i in range(2, length):
        state = (state * 1103515245 + 12345) & 0xFFFFFFFF
        data[i] = (state >> 16) & 0xFF
    if data[length - 1] == 0xFF:
        data[length - 1] = 0x5A
    while True:
        data[0] = data[1] = 0
        total = sum((data[i] << 8) | data[i + 1] for i in range(0, WINDOW_SIZE - 1, 2)) & 0xFFFF
        word = (0x10000 - total) & 0xFFFF
        if word:  # a zero word would mean "not filled in"
            data[0], data[1] = word >> 8, word & 0xFF
            return data
        data[2] = (data[2] + 1) & 0xFF


def record(kind, offset, payload):
    body = bytes([len(payload), offset >> 8, offset & 0xFF, kind]) + bytes(payload)
    return ":" + body.hex().upper() + "%02X" % ((0x100 - sum(body) & 0xFF) & 0xFF)


def intel_hex(data):
    lines, upper = [], 0
    for i in range(0, len(data), 16):
        chunk = data[i:i + 16]
        if all(b == 0xFF for b in chunk):
            continue
        address = WINDOW_START + i
        if address >> 16 != upper:
            upper = address >> 16
            lines.append(record(4, 0, [upper >> 8, upper & 0xFF]))
        lines.append(record(0, address & 0xFFFF, chunk))
    lines.append(":00000001FF")
    return "\r\n".join(lines) + "\r\n"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("out")
    parser.add_argument("--length", type=int, default=WINDOW_SIZE, help="bytes of data (default: the whole window)")
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()
    length = max(3, min(args.length, WINDOW_SIZE))
    with open(args.out, "w", newline="") as out:
        out.write(intel_hex(window(length, args.seed)))


if __name__ == "__main__":
    main()
