#!/usr/bin/env python3
"""Turns a text pixel picture (.pix, as the button bitmaps are drawn) into a Windows icon
file with the picture at 16 x 16 and doubled to 32 x 32, 32 bits per pixel; the colour named
'transparent' in the picture is left out."""
import os
import struct
import sys

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "src", "resources", "bitmaps"))
from make_bmp import read_pix  # noqa: E402


def image(width, height, colours, rows, scale, clear):
    w, h = width * scale, height * scale
    pixels = b""
    for y in reversed(range(h)):
        for x in range(w):
            c = rows[y // scale][x // scale]
            v = colours[c]
            alpha = 0 if c == clear else 255
            pixels += struct.pack("<BBBB", v & 0xFF, (v >> 8) & 0xFF, v >> 16, alpha)
    mask_stride = ((w + 31) // 32) * 4
    mask = b"\0" * (mask_stride * h)  # the alpha channel decides; the AND mask shows all
    header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
    return w, header + pixels + mask


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: make_ico.py PICTURE.pix OUT.ico")
    width, height, _, colours, rows = read_pix(sys.argv[1])
    clear = next((c for c, v in colours.items() if c == "."), None)
    images = [image(width, height, colours, rows, s, clear) for s in (1, 2)]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for _, data in images:
        out += data
    with open(sys.argv[2], "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
