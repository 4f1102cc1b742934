#!/usr/bin/env python3
"""Draws the one icon, below, into every form it ships in: velko.ico (16, 32 and 48 pixels as
32-bit bitmaps, 256 as PNG) and, under icons/, the PNG files of the Linux desktop at 16 to 256
pixels and velko.svg, the scalable one. Sizes that are whole multiples of 32 are the drawing's
pixels scaled up; 48 repeats every other one; 16 averages each 2 x 2.

    make_icon.py [OUT_DIR]
"""
import os
import struct
import sys
import zlib

# The 16-colour VGA palette, as the icon's colour table (B, G, R, 0).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
    (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
# A sheet of paper with ruled lines and a red V. '.' is transparent; the letters index the
# palette: K black, G grey, W white, B navy, R red, L light grey.
ART = """
................................
....KKKKKKKKKKKKKKKKKKKK........
....KWWWWWWWWWWWWWWWWWWKK.......
....KWWWWWWWWWWWWWWWWWWKWK......
....KWWWWWWWWWWWWWWWWWWKWWK.....
....KWBBBBBBBBBBBBBBWWWKKKKK....
....KWWWWWWWWWWWWWWWWWWWWWWK....
....KWBBBBBBBBBBBBBBBBBBBBWK....
....KWWWWWWWWWWWWWWWWWWWWWWK....
....KWBBBBBBBBBBBBBBBBBBBBWK....
....KWWWWWWWWWWWWWWWWWWWWWWK....
....KWBWWWWWWWWWWWWWWWWWWBWK....
....KWBWRRWWWWWWWWWWWWRRWBWK....
....KWBWRRWWWWWWWWWWWWRRWBWK....
....KWBWWRRWWWWWWWWWWRRWWBWK....
....KWBWWRRWWWWWWWWWWRRWWBWK....
....KWBWWWRRWWWWWWWWRRWWWBWK....
....KWBWWWRRWWWWWWWWRRWWWBWK....
....KWBWWWWRRWWWWWWRRWWWWBWK....
....KWBWWWWRRWWWWWWRRWWWWBWK....
....KWBWWWWWRRWWWWRRWWWWWBWK....
....KWBWWWWWRRWWWWRRWWWWWBWK....
....KWBWWWWWWRRWWRRWWWWWWBWK....
....KWBWWWWWWRRWWRRWWWWWWBWK....
....KWBWWWWWWWRRRRWWWWWWWBWK....
....KWBWWWWWWWRRRRWWWWWWWBWK....
....KWBWWWWWWWWRRWWWWWWWWBWK....
....KWBBBBBBBBBBBBBBBBBBBBWK....
....KWWWWWWWWWWWWWWWWWWWWWWKG...
....KKKKKKKKKKKKKKKKKKKKKKKKG...
.....GGGGGGGGGGGGGGGGGGGGGGGG...
................................
""".split()
INDEX = {"K": 0, "B": 4, "R": 9, "G": 8, "L": 7, "W": 15, ".": 0}


def pixels(size):
    """The drawing at size x size, rows of (r, g, b, a)."""
    def at(x, y):
        c = ART[y][x]
        return PALETTE[INDEX[c]] + ((0,) if c == "." else (255,))
    if size == 16:
        rows = []
        for y in range(16):
            row = []
            for x in range(16):
                four = [at(2 * x + dx, 2 * y + dy) for dx in (0, 1) for dy in (0, 1)]
                alpha = sum(p[3] for p in four)
                rgb = tuple((sum(p[k] * p[3] for p in four) + alpha // 2) // alpha if alpha else 0
                            for k in range(3))
                row.append(rgb + ((alpha + 2) // 4,))
            rows.append(row)
        return rows
    return [[at(x * 32 // size, y * 32 // size) for x in range(size)] for y in range(size)]


def png(size):
    rows = b"".join(b"\0" + b"".join(bytes(p) for p in row) for row in pixels(size))
    chunk = lambda kind, data: (struct.pack(">I", len(data)) + kind + data +
                                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


def bitmap(size):
    """An icon image of 32 bits a pixel: BGRA rows bottom-up, then the 1-bit mask."""
    rows = pixels(size)
    xor = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    stride = (size + 31) // 32 * 4
    mask = b"".join(
        sum((1 << (stride * 8 - 1 - x)) for x, p in enumerate(row) if p[3] == 0)
        .to_bytes(stride, "big") for row in reversed(rows))
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0, len(xor) + len(mask),
                         0, 0, 0, 0)
    return header + xor + mask


def svg():
    """The drawing as squares of one unit, runs of a colour merged."""
    rects = []
    for y, row in enumerate(ART):
        x = 0
        while x < 32:
            c = row[x]
            end = x
            while end < 32 and row[end] == c:
                end += 1
            if c != ".":
                r, g, b = PALETTE[INDEX[c]]
                rects.append('<rect x="%d" y="%d" width="%d" height="1" fill="#%02x%02x%02x"/>'
                             % (x, y, end - x, r, g, b))
            x = end
    return ('<?xml version="1.0" encoding="UTF-8"?>\n'
            '<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 32 32" '
            'shape-rendering="crispEdges">\n' + "\n".join(rects) + "\n</svg>\n")


def main(out_dir):
    assert len(ART) == 32 and all(len(row) == 32 for row in ART)
    images = [(size, bitmap(size)) for size in (16, 32, 48)] + [(256, png(256))]
    ico = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        ico += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(os.path.join(out_dir, "velko.ico"), "wb") as f:
        f.write(ico + b"".join(data for _, data in images))
    icons = os.path.join(out_dir, "icons")
    os.makedirs(icons, exist_ok=True)
    for size in (16, 32, 48, 64, 128, 256):
        with open(os.path.join(icons, "velko-%d.png" % size), "wb") as f:
            f.write(png(size))
    with open(os.path.join(icons, "velko.svg"), "w") as f:
        f.write(svg())


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__)))
