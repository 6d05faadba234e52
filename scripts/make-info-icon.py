#!/usr/bin/env python3
"""Draws the 18 x 18 information icon and writes it as a GIF89a file plus a C++ array.

The picture: a light grey-white disc with a thin grey rim and a blue (0, 153, 204) lower-case
"i" in its centre; outside the disc the pixels are transparent. Shapes are sampled 16 x 16 per
pixel, so the rim and the letter get anti-aliased shades. GIF transparency is all or nothing,
so rim pixels that the disc only partly covers are blended against the usual button-face grey.
The colour table has exactly 32 entries and entry 27 is the transparent one.

Usage: make-info-icon.py [OUT_DIR]   (default: resources/ beside this script's folder)
"""
import math
import os
import struct
import sys

SIZE = 18
SAMPLES = 16
CENTRE = SIZE / 2
RADIUS = 8.6
RIM_WIDTH = 1.0

TRANSPARENT_INDEX = 27
TABLE_SIZE = 32
BUTTON_FACE = (240, 240, 240)
RIM = (160, 166, 172)
DISC_TOP = (255, 255, 255)
DISC_BOTTOM = (226, 228, 230)
BLUE = (0, 153, 204)


def in_letter(x, y):
    """The "i": a round dot over a stem with a small flag at its top and a foot."""
    if math.hypot(x - 9.0, y - 5.0) <= 1.3:
        return True
    stem = 8.0 <= x <= 10.0 and 7.0 <= y <= 14.0
    flag = 7.0 <= x <= 8.0 and 7.0 <= y <= 8.0
    foot = 7.0 <= x <= 11.0 and 13.0 <= y <= 14.0
    return stem or flag or foot


def mix(a, b, t):
    return tuple(p + (q - p) * t for p, q in zip(a, b))


def shade_pixel(px, py):
    """Returns (colour, disc coverage) of one pixel from its sub-samples."""
    disc = rim = letter = 0
    for sy in range(SAMPLES):
        for sx in range(SAMPLES):
            x = px + (sx + 0.5) / SAMPLES
            y = py + (sy + 0.5) / SAMPLES
            r = math.hypot(x - CENTRE, y - CENTRE)
            if r > RADIUS:
                continue
            disc += 1
            if r > RADIUS - RIM_WIDTH:
                rim += 1
            elif in_letter(x, y):
                letter += 1
    total = SAMPLES * SAMPLES
    if disc == 0:
        return None, 0.0
    fill = mix(DISC_TOP, DISC_BOTTOM, (py + 0.5) / SIZE)
    inside = disc - rim - letter
    colour = tuple((f * inside + g * rim + b * letter) / disc for f, g, b in zip(fill, RIM, BLUE))
    coverage = disc / total
    return mix(BUTTON_FACE, colour, coverage), coverage


def render():
    pixels = []
    for py in range(SIZE):
        for px in range(SIZE):
            colour, coverage = shade_pixel(px, py)
            pixels.append(None if coverage < 0.3 else tuple(round(c) for c in colour))
    return pixels


def build_palette(pixels, slots):
    """Cuts the set of colours down to `slots` entries (median cut on the widest channel)."""
    colours = sorted({p for p in pixels if p is not None})
    boxes = [colours]
    while len(boxes) < slots:
        splittable = [b for b in boxes if len(b) > 1]
        if not splittable:
            break
        box = max(splittable, key=lambda b: max(max(c[i] for c in b) - min(c[i] for c in b) for i in range(3)))
        channel = max(range(3), key=lambda i: max(c[i] for c in box) - min(c[i] for c in box))
        box.sort(key=lambda c: c[channel])
        half = len(box) // 2
        boxes.remove(box)
        boxes += [box[:half], box[half:]]
    return [tuple(round(sum(c[i] for c in b) / len(b)) for i in range(3)) for b in boxes]


def nearest(palette, colour):
    return min(range(len(palette)), key=lambda i: sum((p - q) ** 2 for p, q in zip(palette[i], colour)))


def index_pixels(pixels):
    # Entry 27 is reserved for transparency; the colours from 27 on move up by one.
    palette = build_palette(pixels, TABLE_SIZE - 1)
    table = palette[:TRANSPARENT_INDEX] + [BUTTON_FACE] + palette[TRANSPARENT_INDEX:]
    slot = [i if i < TRANSPARENT_INDEX else i + 1 for i in range(len(palette))]
    indices = [TRANSPARENT_INDEX if p is None else slot[nearest(palette, p)] for p in pixels]
    table += [(0, 0, 0)] * (TABLE_SIZE - len(table))
    return table, indices


def lzw(indices, min_code_size):
    """GIF's variable-width LZW, codes packed least significant bit first."""
    clear, end = 1 << min_code_size, (1 << min_code_size) + 1
    out = bytearray()
    acc = nbits = 0

    def emit(code, width):
        nonlocal acc, nbits
        acc |= code << nbits
        nbits += width
        while nbits >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            nbits -= 8

    def fresh():
        return {(i,): i for i in range(clear)}, end + 1, min_code_size + 1

    table, next_code, width = fresh()
    emit(clear, width)
    run = ()
    for index in indices:
        grown = run + (index,)
        if grown in table:
            run = grown
            continue
        emit(table[run], width)
        if next_code == 4096:
            emit(clear, width)
            table, next_code, width = fresh()
        else:
            table[grown] = next_code
            next_code += 1
            if next_code > (1 << width) and width < 12:
                width += 1
        run = (index,)
    emit(table[run], width)
    emit(end, width)
    if nbits:
        out.append(acc & 0xFF)
    return bytes(out)


def gif_bytes(table, indices):
    head = b"GIF89a" + struct.pack("<HHBBB", SIZE, SIZE, 0xF4, 0, 0)  # global table of 2^(4+1) entries
    head += b"".join(bytes(c) for c in table)
    control = struct.pack("<BBBBHBB", 0x21, 0xF9, 4, 0x01, 0, TRANSPARENT_INDEX, 0)
    descriptor = struct.pack("<BHHHHB", 0x2C, 0, 0, SIZE, SIZE, 0)
    data = lzw(indices, 5)
    blocks = b"".join(bytes([len(data[i:i + 255])]) + data[i:i + 255] for i in range(0, len(data), 255))
    return head + control + descriptor + bytes([5]) + blocks + b"\x00" + b";"


def cpp_source(data):
    rows = [", ".join(f"0x{b:02X}" for b in data[i:i + 12]) for i in range(0, len(data), 12)]
    body = ",\n    ".join(rows)
    return (
        "// Generated by scripts/make-info-icon.py together with info-icon.gif; remake, don't edit.\n"
        '#include "info_icon_gif.h"\n\n'
        "namespace oz {\n\n"
        f"extern const unsigned char iconGifBytes[] = {{\n    {body}}};\n"
        "extern const std::size_t iconGifSize = sizeof(iconGifBytes);\n\n"
        "}  // namespace oz\n"
    )


def main():
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources")
    table, indices = index_pixels(render())
    data = gif_bytes(table, indices)
    with open(os.path.join(out_dir, "info-icon.gif"), "wb") as f:
        f.write(data)
    with open(os.path.join(out_dir, "info_icon_gif.cpp"), "w", encoding="utf-8", newline="\n") as f:
        f.write(cpp_source(data))
    print(f"info-icon.gif: {len(data)} bytes")


if __name__ == "__main__":
    main()
