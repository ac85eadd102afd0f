#!/usr/bin/env python3
"""Writes Progress.avi: a row of dots lit one after the other, from the phone
towards the PC, for the installer window's animation control.

The control plays only 8-bit video, uncompressed or RLE8, without a codec:
so the clip is RLE8 (every frame a key frame), one video stream, no audio.
Without ACS_CENTER the control takes the clip's size at (160, 93), which
puts a 110 pixels wide clip on the window's centre line, above the status
text; its background (palette index 0) is the big panel's flat colour there.

usage: make_progress_avi.py OUTPUT_FILE
"""
import os
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_skin import PANEL_FILL, Canvas, circle  # noqa: E402

W, H = 110, 16
DOTS = 8
PITCH = 13
FRAMES = DOTS + 2  # the tail leaves the row before the head starts again
FPS = 10

# Distance behind the head -> (radius, colour); the rest rest dim.
LIT = {0: (3.4, (206, 246, 248)), 1: (3.0, (104, 194, 202)), 2: (2.7, (60, 134, 150))}
RESTING = (2.4, (34, 80, 98))


def frame(f):
    c = Canvas(W, H, PANEL_FILL)
    for k in range(DOTS):
        cx, cy = W / 2 + (k - (DOTS - 1) / 2) * PITCH, H / 2
        radius, colour = LIT.get(f - k, RESTING)
        if f == k:
            c.glow(cx, cy, 7.5, (80, 190, 200), 0.45)
        c.fill(circle(cx, cy, radius), colour, (cx - 8, cy - 8, cx + 8, cy + 8))
    return [[c.rgb(x, y) for x in range(W)] for y in range(H)]


def palette(frames):
    colours = {PANEL_FILL}
    for f in frames:
        for row in f:
            colours.update(row)
    ordered = [PANEL_FILL] + sorted(colours - {PANEL_FILL})
    if len(ordered) > 256:
        raise SystemExit("too many colours for an 8-bit clip: %d" % len(ordered))
    return ordered + [(0, 0, 0)] * (256 - len(ordered))


def rle8_row(indices):
    """Runs of equal bytes as (count, value); stretches of differing bytes
    in absolute mode (0, n, bytes, padded to a word) when that is shorter."""
    out = bytearray()
    literal = []

    def flush():
        while literal:
            chunk = literal[:255]
            del literal[:255]
            if len(chunk) < 3:  # absolute mode needs at least 3 bytes
                for v in chunk:
                    out.extend((1, v))
            else:
                out.extend((0, len(chunk)))
                out.extend(chunk)
                if len(chunk) % 2:
                    out.append(0)
    i = 0
    while i < len(indices):
        j = i
        while j < len(indices) and j - i < 255 and indices[j] == indices[i]:
            j += 1
        if j - i >= 3:
            flush()
            out.extend((j - i, indices[i]))
        else:
            literal.extend(indices[i:j])
        i = j
    flush()
    return bytes(out)


def rle8(rows, index):
    out = bytearray()
    for y in range(len(rows) - 1, -1, -1):  # bottom-up
        out += rle8_row([index[p] for p in rows[y]])
        out += b"\0\0"  # end of line
    return bytes(out + b"\0\1")  # end of bitmap


def chunk(fourcc, data):
    return fourcc + struct.pack("<I", len(data)) + data + (b"\0" if len(data) % 2 else b"")


def riff_list(kind, fourcc, data):
    return kind + struct.pack("<I", len(data) + 4) + fourcc + data


def avi(frames):
    colours = palette(frames)
    index = {c: i for i, c in enumerate(colours)}
    encoded = [rle8(f, index) for f in frames]
    biggest = max(len(e) for e in encoded)

    avih = struct.pack("<IIIIIIIIII4I", 1000000 // FPS, biggest * FPS, 0, 0x10,  # AVIF_HASINDEX
                       len(frames), 0, 1, biggest, W, H, 0, 0, 0, 0)
    strh = struct.pack("<4s4sIHHIIIIIIIIhhhh", b"vids", b"RLE ", 0, 0, 0, 0, 1, FPS, 0, len(frames),
                       biggest, 0xFFFFFFFF, 0, 0, 0, W, H)
    bih = struct.pack("<IiiHHIIiiII", 40, W, H, 1, 8, 1, biggest, 0, 0, 256, 0)  # BI_RLE8
    rgbquads = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in colours)
    strl = riff_list(b"LIST", b"strl", chunk(b"strh", strh) + chunk(b"strf", bih + rgbquads))
    hdrl = riff_list(b"LIST", b"hdrl", chunk(b"avih", avih) + strl)

    movi = bytearray()
    idx1 = bytearray()
    for e in encoded:
        # Offsets count from the 'movi' type word.
        idx1 += struct.pack("<4sIII", b"00dc", 0x10, len(movi) + 4, len(e))  # AVIIF_KEYFRAME
        movi += chunk(b"00dc", e)
    body = hdrl + riff_list(b"LIST", b"movi", bytes(movi)) + chunk(b"idx1", bytes(idx1))
    return riff_list(b"RIFF", b"AVI ", body)


def main(out):
    data = avi([frame(f) for f in range(FRAMES)])
    with open(out, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    main(sys.argv[1])
