#!/usr/bin/env python3
"""Turns a text pixel picture (.pix) into a Windows BMP file.

A .pix file holds, after optional '#' comment lines:
    size W H
    bpp 24 | 4
    color CHAR RRGGBB      (one line per character used in the picture)
    then H rows of W characters each, top row first.
At 4 bits per pixel the palette is the 16 VGA colours, so every colour must be one of them.
"""
import struct
import sys

VGA = [0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
       0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF]


def read_pix(path):
    width = height = bpp = None
    colours, rows = {}, []
    for raw in open(path, encoding="utf-8"):
        line = raw.rstrip("\n")
        if line.startswith("#") or not line.strip():
            continue
        words = line.split()
        if words[0] == "size" and len(words) == 3:
            width, height = int(words[1]), int(words[2])
        elif words[0] == "bpp":
            bpp = int(words[1])
        elif words[0] == "color":
            colours[words[1]] = int(words[2], 16)
        else:
            rows.append(line)
    if len(rows) != height or any(len(r) != width for r in rows):
        sys.exit(f"{path}: the picture must be {width} x {height} characters")
    return width, height, bpp, colours, rows


def write_bmp(path, width, height, bpp, colours, rows):
    if bpp == 24:
        palette = b""
        stride = (width * 3 + 3) & ~3
        def row_bytes(row):
            data = b"".join(struct.pack("<BBB", colours[c] & 0xFF, (colours[c] >> 8) & 0xFF,
                                        colours[c] >> 16) for c in row)
            return data + b"\0" * (stride - len(data))
    elif bpp == 4:
        palette = b"".join(struct.pack("<BBBB", v & 0xFF, (v >> 8) & 0xFF, v >> 16, 0) for v in VGA)
        index = {}
        for char, value in colours.items():
            if value not in VGA:
                sys.exit(f"{path}: colour {value:06X} is not one of the 16 VGA colours")
            index[char] = VGA.index(value)
        stride = ((width + 1) // 2 + 3) & ~3
        def row_bytes(row):
            nibbles = [index[c] for c in row] + [0]
            data = bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, width, 2))
            return data + b"\0" * (stride - len(data))
    else:
        sys.exit(f"{path}: bpp must be 24 or 4")
    pixels = b"".join(row_bytes(r) for r in reversed(rows))  # bottom-up
    colours_used = 16 if bpp == 4 else 0
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bpp, 0, len(pixels), 2835, 2835,
                       colours_used, 0)
    offset = 14 + len(info) + len(palette)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    with open(path, "wb") as out:
        out.write(header + info + palette + pixels)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit("usage: make_bmp.py PICTURE.pix OUT.bmp")
    write_bmp(sys.argv[2], *read_pix(sys.argv[1]))
