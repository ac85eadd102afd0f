#!/usr/bin/env python3
"""Draws the program's 32x32 icon (a phone over a disc) into an .ico file."""
import struct
import sys

W = H = 32


def pixel(x, y):
    cx, cy = x - 15.5, y - 15.5
    if 10 <= x <= 21 and 4 <= y <= 27:          # phone body
        if 12 <= x <= 19 and 7 <= y <= 20:       # screen
            return (0xE0, 0x90, 0x30, 0xFF)
        return (0x30, 0x30, 0x30, 0xFF)
    if cx * cx + cy * cy <= 15.5 * 15.5:          # disc
        return (0xD0, 0xD0, 0xD0, 0xFF)
    return (0, 0, 0, 0)


def main(out):
    rows = []
    for y in range(H - 1, -1, -1):                # bottom-up DIB rows
        rows.append(b"".join(bytes(pixel(x, y)) for x in range(W)))
    xor = b"".join(rows)
    and_mask = bytes(4 * H)                       # alpha carries transparency
    header = struct.pack("<IiiHHIIiiII", 40, W, H * 2, 1, 32, 0, len(xor) + len(and_mask), 0, 0, 0, 0)
    image = header + xor + and_mask
    ico = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", W, H, 0, 0, 1, 32, len(image), 22)
    with open(out, "wb") as f:
        f.write(ico + image)


if __name__ == "__main__":
    main(sys.argv[1])
