#!/usr/bin/env python3
"""Draws the window and program-file icon: two beamed eighth notes in a pink-to-orange
gradient on a transparent ground, written as an .ico with 48, 32 and 16 pixel images
(32-bit BGRA with alpha, plus the 1-bit mask older shells still read).

Shapes are laid out on a 48 x 48 grid and sampled 8 x 8 per pixel at every size, so the
edges get smooth alpha. Alpha is straight (not premultiplied), as icons expect.

Usage: make-app-icon.py [OUT_DIR]   (default: resources/ beside this script's folder)
"""
import math
import os
import struct
import sys

GRID = 48.0
SAMPLES = 8
SIZES = (48, 32, 16)
PINK = (238, 46, 136)
ORANGE = (255, 153, 0)

HEAD_A, HEAD_B, HEAD_TILT = 7.2, 5.0, math.radians(-22)
HEADS = ((13.5, 37.5), (35.5, 33.0))
STEM_WIDTH = 3.6
BEAM_THICKNESS = 7.0
BEAM_TOP = (8.5, 4.5)  # top edge of the beam above the left and the right stem


def stem_span(head_x):
    right = head_x + HEAD_A * math.cos(HEAD_TILT) - 0.4
    return right - STEM_WIDTH, right


def in_head(x, y, cx, cy):
    dx, dy = x - cx, y - cy
    c, s = math.cos(HEAD_TILT), math.sin(HEAD_TILT)
    u, v = dx * c + dy * s, -dx * s + dy * c
    return (u / HEAD_A) ** 2 + (v / HEAD_B) ** 2 <= 1.0


def beam_top_at(x):
    left, right = stem_span(HEADS[0][0])[0], stem_span(HEADS[1][0])[1]
    t = (x - left) / (right - left)
    return BEAM_TOP[0] + (BEAM_TOP[1] - BEAM_TOP[0]) * t, left, right


def in_note(x, y):
    if any(in_head(x, y, cx, cy) for cx, cy in HEADS):
        return True
    top, left, right = beam_top_at(x)
    if left <= x <= right and top <= y <= top + BEAM_THICKNESS:
        return True
    for cx, cy in HEADS:
        x0, x1 = stem_span(cx)
        if x0 <= x <= x1 and top <= y <= cy:
            return True
    return False


def gradient(x, y):
    """Pink at the lower left, orange at the upper right."""
    t = min(max((x - y + GRID) / (2 * GRID), 0.0), 1.0)
    return tuple(round(p + (q - p) * t) for p, q in zip(PINK, ORANGE))


def render(size):
    """Rows of (r, g, b, a), top row first."""
    scale = GRID / size
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            hits = sum(
                in_note((px + (sx + 0.5) / SAMPLES) * scale, (py + (sy + 0.5) / SAMPLES) * scale)
                for sy in range(SAMPLES) for sx in range(SAMPLES))
            alpha = round(255 * hits / (SAMPLES * SAMPLES))
            colour = gradient((px + 0.5) * scale, (py + 0.5) * scale) if alpha else (0, 0, 0)
            row.append(colour + (alpha,))
        rows.append(row)
    return rows


def icon_image(size):
    rows = render(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for r, g, b, a in row)
    mask_stride = (size + 31) // 32 * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + colour + bytes(mask)


def ico_bytes():
    images = [icon_image(s) for s in SIZES]
    offset = 6 + 16 * len(images)
    directory = struct.pack("<HHH", 0, 1, len(images))
    for size, image in zip(SIZES, images):
        directory += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    return directory + b"".join(images)


def main():
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources")
    data = ico_bytes()
    with open(os.path.join(out_dir, "app-icon.ico"), "wb") as f:
        f.write(data)
    print(f"app-icon.ico: {len(data)} bytes, sizes {', '.join(map(str, SIZES))}")


if __name__ == "__main__":
    main()
