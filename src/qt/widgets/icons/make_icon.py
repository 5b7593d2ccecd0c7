#!/usr/bin/env python3
"""Draws the Telvane program icon and writes it as telvane.png and telvane.ico.

The icon is a 32 x 32 picture in the 16 standard VGA colours: a red desk
telephone with its handset on top and a small display showing a number.
Fuchsia marks the transparent background, as in classic 16-colour icons, so
the picture itself never uses that colour.

Only the standard library is used: PNG chunks are written with zlib, and the
ICO file (one 4-bit image with its AND mask) is assembled by hand.

Run it from anywhere; the two files are written next to this script:
    python3 make_icon.py
"""

import os
import struct
import zlib

SIZE = 32

# The 16 standard colours, in their usual index order.
PALETTE = [
    (0x00, 0x00, 0x00),  # 0 black
    (0x80, 0x00, 0x00),  # 1 maroon
    (0x00, 0x80, 0x00),  # 2 green
    (0x80, 0x80, 0x00),  # 3 olive
    (0x00, 0x00, 0x80),  # 4 navy
    (0x80, 0x00, 0x80),  # 5 purple
    (0x00, 0x80, 0x80),  # 6 teal
    (0xC0, 0xC0, 0xC0),  # 7 silver
    (0x80, 0x80, 0x80),  # 8 gray
    (0xFF, 0x00, 0x00),  # 9 red
    (0x00, 0xFF, 0x00),  # 10 lime
    (0xFF, 0xFF, 0x00),  # 11 yellow
    (0x00, 0x00, 0xFF),  # 12 blue
    (0xFF, 0x00, 0xFF),  # 13 fuchsia: transparent
    (0x00, 0xFF, 0xFF),  # 14 aqua
    (0xFF, 0xFF, 0xFF),  # 15 white
]
TRANSPARENT = 13

# One letter per pixel.
LETTERS = {
    ".": TRANSPARENT,
    "K": 0,  # outline
    "M": 1,  # shade of the body
    "G": 8,  # display frame, key shadows
    "R": 9,  # body
    "L": 10,  # digits
    "W": 15,  # highlights and keys
}

# Handset resting on the base; the display is drawn black here and gets its
# digits below.
DRAWING = """
................................
................................
......KKKKKKKKKKKKKKKKKKKK......
....KKRRRRRRRRRRRRRRRRRRRRKK....
...KRRWWWWWRRRRRRRRRRRRRRRRRK...
..KRRWRRRRRRRRRRRRRRRRRRRRRRRK..
..KRRRRRRRKKKKKKKKKKKKRRRRRRRK..
..KRRRRRRK............KRRRRRRK..
..KRRRRRRK............KRRRRRRK..
..KMMMMMMK............KMMMMMMK..
...KKKKKK..............KKKKKK...
................................
.....KKKKKKKKKKKKKKKKKKKKKK.....
....KRWWRRRRRRRRRRRRRRRRRRRK....
...KRRGGGGGGGGGGGGGGGGGGGGRRK...
...KRRGKKKKKKKKKKKKKKKKKKGRRK...
...KRRGKKKKKKKKKKKKKKKKKKGRRK...
...KRRGKKKKKKKKKKKKKKKKKKGRRK...
...KRRGKKKKKKKKKKKKKKKKKKGRRK...
...KRRGKKKKKKKKKKKKKKKKKKGRRK...
...KRRGKKKKKKKKKKKKKKKKKKGRRK...
...KRRGKKKKKKKKKKKKKKKKKKGRRK...
...KRRGGGGGGGGGGGGGGGGGGGGRRK...
...KRRRRRRRRRRRRRRRRRRRRRRRRK...
...KRRRWWRRWWRRWWRRWWRRWWRRRK...
...KRRRGGRRGGRRGGRRGGRRGGRRRK...
...KRRRRRRRRRRRRRRRRRRRRRRRRK...
...KRRRWWRRWWRRWWRRWWRRWWRRRK...
...KRRRGGRRGGRRGGRRGGRRGGRRRK...
...KMMMMMMMMMMMMMMMMMMMMMMMMK...
....KKKKKKKKKKKKKKKKKKKKKKKK....
................................
"""

# Digits of the display, 3 x 5 pixels each.
DIGITS = {
    "0": ["###", "#.#", "#.#", "#.#", "###"],
    "1": [".#.", "##.", ".#.", ".#.", "###"],
    "2": ["###", "..#", "###", "#..", "###"],
}
DISPLAY_TEXT = "0120"
DISPLAY_LEFT = 8
DISPLAY_TOP = 16


def draw():
    """Returns the picture as 32 rows of 32 palette indices, top row first."""
    rows = [line for line in DRAWING.strip().splitlines()]
    assert len(rows) == SIZE, len(rows)
    pixels = []
    for number, line in enumerate(rows):
        assert len(line) == SIZE, (number, len(line))
        pixels.append([LETTERS[c] for c in line])
    x = DISPLAY_LEFT
    for digit in DISPLAY_TEXT:
        for dy, line in enumerate(DIGITS[digit]):
            for dx, c in enumerate(line):
                if c == "#":
                    pixels[DISPLAY_TOP + dy][x + dx] = LETTERS["L"]
        x += 4
    return pixels


def png_chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))


def make_png(pixels):
    """An indexed PNG, 4 bits per pixel, the transparent index marked by tRNS."""
    header = struct.pack(">IIBBBBB", SIZE, SIZE, 4, 3, 0, 0, 0)
    plte = b"".join(bytes(colour) for colour in PALETTE)
    trns = bytes(0 if i == TRANSPARENT else 255 for i in range(TRANSPARENT + 1))
    raw = bytearray()
    for row in pixels:
        raw.append(0)  # filter: none
        for i in range(0, SIZE, 2):
            raw.append(row[i] << 4 | row[i + 1])
    return (
        b"\x89PNG\r\n\x1a\n"
        + png_chunk(b"IHDR", header)
        + png_chunk(b"PLTE", plte)
        + png_chunk(b"tRNS", trns)
        + png_chunk(b"IDAT", zlib.compress(bytes(raw), 9))
        + png_chunk(b"IEND", b"")
    )


def make_ico(pixels):
    """An ICO file with one 32 x 32, 4-bit image and its AND mask.

    Both bitmaps are stored bottom row first. Transparent pixels have their
    mask bit set and colour index 0, so they leave the screen untouched.
    """
    colour_rows = []
    mask_rows = []
    for row in reversed(pixels):
        line = bytearray()
        for i in range(0, SIZE, 2):
            left = 0 if row[i] == TRANSPARENT else row[i]
            right = 0 if row[i + 1] == TRANSPARENT else row[i + 1]
            line.append(left << 4 | right)
        colour_rows.append(bytes(line))  # 16 bytes: already a multiple of 4
        bits = 0
        for i, index in enumerate(row):
            if index == TRANSPARENT:
                bits |= 1 << (SIZE - 1 - i)
        mask_rows.append(struct.pack(">I", bits))  # 4 bytes, leftmost pixel in the top bit
    colour = b"".join(colour_rows)
    mask = b"".join(mask_rows)
    info = struct.pack(
        "<IiiHHIIiiII",
        40,  # size of this header
        SIZE,  # width
        SIZE * 2,  # height of colour bitmap and mask together
        1,  # planes
        4,  # bits per pixel
        0,  # no compression
        len(colour) + len(mask),
        0,
        0,
        16,  # colours used
        0,
    )
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    image = info + table + colour + mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


def main():
    folder = os.path.dirname(os.path.abspath(__file__))
    pixels = draw()
    with open(os.path.join(folder, "telvane.png"), "wb") as out:
        out.write(make_png(pixels))
    with open(os.path.join(folder, "telvane.ico"), "wb") as out:
        out.write(make_ico(pixels))


if __name__ == "__main__":
    main()
