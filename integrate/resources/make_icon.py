#!/usr/bin/env python3
"""Draws ZoleHead.ico: one 32x32 image, 32-bit BGRA with its AND mask.

An eighth note on a rounded square, the page of a score behind it. Pure
standard library and fixed arithmetic, so the bytes are the same on every run.

    python3 make_icon.py [OUTPUT]     (default: ZoleHead.ico beside this script)
"""
import math
import os
import struct
import sys

SIZE = 32
SAMPLES = 4  # per axis: 16 samples per pixel smooth the edges

BACKGROUND_TOP = (0x2B, 0x4C, 0x9A)     # RGB, a deep blue
BACKGROUND_BOTTOM = (0x17, 0x27, 0x5C)
STAFF = (0x7F, 0x9C, 0xD8)
NOTE = (0xFF, 0xFF, 0xFF)


def rounded_square(x, y):
    """Inside the 30x30 square with corners of radius 6, one pixel in."""
    lo, hi, r = 1.0, 31.0, 6.0
    if not (lo <= x <= hi and lo <= y <= hi):
        return False
    cx = min(max(x, lo + r), hi - r)
    cy = min(max(y, lo + r), hi - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def staff_line(x, y):
    """Three thin lines across the square, like a stave."""
    return 4.0 <= x <= 28.0 and any(abs(y - line) <= 0.5 for line in (9.5, 15.5, 21.5))


def note(x, y):
    """A tilted oval head, its stem and a flag."""
    # Head: an ellipse around (12, 23), turned by -20 degrees.
    dx, dy = x - 12.0, y - 23.0
    angle = math.radians(-20.0)
    u = dx * math.cos(angle) - dy * math.sin(angle)
    v = dx * math.sin(angle) + dy * math.cos(angle)
    if (u / 5.0) ** 2 + (v / 3.5) ** 2 <= 1.0:
        return True
    # Stem: up from the head's right edge.
    if 15.5 <= x <= 17.5 and 6.0 <= y <= 22.0:
        return True
    # Flag: a band curving down and right from the top of the stem.
    t = (y - 6.0) / 10.0
    if 0.0 <= t <= 1.0:
        centre = 17.0 + 7.0 * math.sin(t * math.pi * 0.75)
        half_width = 2.0 * (1.0 - t) + 0.6
        if abs(x - centre) <= half_width and x >= 16.5:
            return True
    return False


def coverage(shape, px, py):
    """The share of the pixel (px, py) that the shape covers, 0..SAMPLES**2."""
    hits = 0
    for sy in range(SAMPLES):
        for sx in range(SAMPLES):
            if shape(px + (sx + 0.5) / SAMPLES, py + (sy + 0.5) / SAMPLES):
                hits += 1
    return hits


def mix(a, b, weight, total):
    """a blended towards b by weight/total, per channel, rounded."""
    return tuple((x * (total - weight) + y * weight + total // 2) // total for x, y in zip(a, b))


def pixel(px, py):
    """(r, g, b, a) of the pixel in row py (0 = top), column px."""
    total = SAMPLES * SAMPLES
    area = coverage(rounded_square, px, py)
    if area == 0:
        return (0, 0, 0, 0)
    colour = mix(BACKGROUND_TOP, BACKGROUND_BOTTOM, py, SIZE - 1)
    colour = mix(colour, STAFF, coverage(staff_line, px, py), total)
    colour = mix(colour, NOTE, coverage(note, px, py), total)
    alpha = (255 * area + total // 2) // total
    return colour + (alpha,)


def icon_bytes():
    rows = [[pixel(x, y) for x in range(SIZE)] for y in range(SIZE)]
    # Bitmaps run bottom-up; the colour rows are BGRA.
    xor = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    # The AND mask: 1 where the pixel is fully transparent, rows padded to 32 bits.
    mask_row_bytes = ((SIZE + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_row_bytes)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    # BITMAPINFOHEADER: the height counts the colour bitmap and the mask.
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    image = header + xor + bytes(mask)
    # ICONDIR, then one ICONDIRENTRY pointing just past itself.
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(image), 6 + 16)
    return directory + entry + image


def main(argv):
    output = argv[1] if len(argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "ZoleHead.ico")
    with open(output, "wb") as f:
        f.write(icon_bytes())
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
