#!/usr/bin/env python3
"""Draws the option dialog's picture (bitmap resource 203) and writes it as an 8-bit Windows bitmap.

The picture shows what the effect does: an edge that starts as hard stair steps on the left, is smoothed,
and softens into a blur towards the right, with four soft key-colour spots. Run it again after a change:

    python3 resources/make-option-picture.py resources/OptionPicture.bmp
"""
import math
import struct
import sys

WIDTH, HEIGHT = 300, 60
FRAME = 2  # a border in the background colour: the dialog fills the rest of the control with it
LEVELS = 64

# Four colour families of 64 levels each, from the dark background to a light tint.
BACKGROUND = (20, 33, 61)
FAMILIES = [
    ((46, 196, 182), (224, 251, 252)),  # teal: the edge
    ((244, 162, 97), (255, 236, 210)),  # amber
    ((231, 111, 161), (255, 222, 236)),  # rose
    ((138, 201, 38), (236, 250, 210)),  # lime
]


def mix(a, b, t):
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


def palette():
    entries = []
    for middle, light in FAMILIES:
        for i in range(LEVELS):
            t = i / (LEVELS - 1)
            entries.append(mix(BACKGROUND, middle, t / 0.8) if t <= 0.8 else mix(middle, light, (t - 0.8) / 0.2))
    return entries


def edge_y(x):
    return 34 + 11 * math.sin(x / 37.0)


def edge_level(x, y):
    """How far into the lit side of the edge (x, y) lies, 0 to 1: steps, then smooth, then blurred."""
    if x < 96:
        step_x = (x // 8) * 8
        return 1.0 if y >= round(edge_y(step_x) / 5) * 5 else 0.0
    softness = 0.6 + (x - 96) / (WIDTH - 96) * 9.0
    return 0.5 * (1 + math.tanh((y - edge_y(x)) / softness))


SPOTS = [(150, 16, 6.0, 1), (196, 40, 8.0, 2), (238, 14, 10.0, 3), (272, 44, 12.0, 1)]


def pixel(x, y):
    if x < FRAME or y < FRAME or x >= WIDTH - FRAME or y >= HEIGHT - FRAME:
        return 0
    best_family, best = 0, edge_level(x, y) * 0.85
    for sx, sy, radius, family in SPOTS:
        d2 = (x - sx) ** 2 + (y - sy) ** 2
        level = math.exp(-d2 / (2 * radius * radius))
        if level > best:
            best_family, best = family, level
    return best_family * LEVELS + min(LEVELS - 1, round(best * (LEVELS - 1)))


def bitmap():
    colours = palette()
    stride = (WIDTH + 3) // 4 * 4
    rows = []
    for y in range(HEIGHT - 1, -1, -1):  # bottom-up
        row = bytes(pixel(x, y) for x in range(WIDTH))
        rows.append(row + bytes(stride - WIDTH))
    pixels = b"".join(rows)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in colours)
    offset = 14 + 40 + len(table)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 8, 0, len(pixels), 3780, 3780, len(colours), 0)
    return header + info + table + pixels


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: make-option-picture.py OUTPUT.bmp")
    with open(sys.argv[1], "wb") as f:
        f.write(bitmap())
