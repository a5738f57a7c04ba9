#!/usr/bin/env python3
"""Writes corvantis.ico: one 32 x 32 image with a 256-colour palette.

The picture is a component chip on a blue tile with a green tick: a server
file that has been registered. Run it again after changing the drawing:
    python3 main_window/make_icon.py main_window/corvantis.ico
"""
import struct
import sys

SIZE = 32


def tile_colour(y):
    # A vertical gradient from light to deep blue.
    top, bottom = (74, 144, 226), (22, 74, 150)
    t = y / (SIZE - 1)
    return tuple(round(a + (b - a) * t) for a, b in zip(top, bottom))


def inside_rounded(x, y, radius=6):
    cx = min(max(x, radius), SIZE - 1 - radius)
    cy = min(max(y, radius), SIZE - 1 - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def pixel(x, y):
    """The colour at (x, y) counted from the top left, or None for transparent."""
    if not inside_rounded(x, y):
        return None
    chip, pin, mark = (245, 245, 240), (250, 196, 60), (46, 170, 80)
    # The tick, drawn three pixels wide, over the chip's lower right corner.
    for (x0, y0, x1, y1) in ((17, 22, 21, 26), (21, 26, 28, 17)):
        steps = max(abs(x1 - x0), abs(y1 - y0))
        for i in range(steps + 1):
            px = x0 + (x1 - x0) * i / steps
            py = y0 + (y1 - y0) * i / steps
            if abs(px - x) <= 1.2 and abs(py - y) <= 1.2:
                return mark
    if 9 <= x <= 22 and 8 <= y <= 23:
        return (60, 60, 70) if x in (9, 22) or y in (8, 23) else chip
    if (5 <= x <= 8 or 23 <= x <= 26) and y in (10, 11, 14, 15, 18, 19):
        return pin
    return tile_colour(y)


def main(path):
    rows = [[pixel(x, y) for x in range(SIZE)] for y in range(SIZE)]
    palette = sorted({c for row in rows for c in row if c is not None})
    palette = [(0, 0, 0)] + palette
    assert len(palette) <= 256
    index = {c: i for i, c in enumerate(palette)}
    palette += [(0, 0, 0)] * (256 - len(palette))

    # Bitmap rows run bottom-up; the AND mask marks transparent pixels with 1.
    xor = b"".join(bytes(index.get(c, 0) for c in row) for row in reversed(rows))
    mask = b""
    for row in reversed(rows):
        bits = 0
        for c in row:
            bits = (bits << 1) | (c is None)
        mask += struct.pack(">I", bits)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 8, 0, len(xor) + len(mask), 0, 0, 256, 0)
    colours = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    image = header + colours + xor + mask

    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 8, len(image), 6 + 16)
    with open(path, "wb") as out:
        out.write(directory + entry + image)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "corvantis.ico")
