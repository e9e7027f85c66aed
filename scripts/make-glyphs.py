#!/usr/bin/env python3
"""Draws the close glyph's two pictures as 42 x 19, 8-bit BMP files in resources/.

picclose1.bmp: the glyph at rest, a light-blue rounded plate with a white cross.
picclose2.bmp: the glyph highlighted, a red-orange plate with a white cross.
The plate's corners show the title strip behind it (rows 8 to 26 of the strip's gradient),
so the glyph sits on the strip without a seam. Standard library only; the output is the
same on every run.
"""
import os
import struct
import sys

WIDTH, HEIGHT = 42, 19
GLYPH_TOP = 8                  # the glyph's row within the title strip
STRIP_HEIGHT = 31
STRIP_TOP_RGB = (58, 52, 168)      # the strip's darker blue-violet at its top row
STRIP_BOTTOM_RGB = (118, 112, 228)  # its lighter blue-violet at its bottom row
RADIUS = 4.0
SAMPLES = 4                     # per axis, per pixel
CROSS_HALF = 4.0                # half the length of each bar along x and y
CROSS_HALF_THICKNESS = 0.95

PLATES = {
    "picclose1.bmp": {  # at rest
        "border": (72, 118, 196),
        "top": (214, 232, 255),
        "bottom": (140, 186, 242),
    },
    "picclose2.bmp": {  # highlighted
        "border": (150, 38, 16),
        "top": (252, 150, 104),
        "bottom": (222, 72, 30),
    },
}
WHITE = (255, 255, 255)


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def strip_colour(row):
    return mix(STRIP_TOP_RGB, STRIP_BOTTOM_RGB, (GLYPH_TOP + row) / (STRIP_HEIGHT - 1))


def inside_rounded(x, y, inset):
    """Whether (x, y) lies in the plate's rounded rectangle shrunk by `inset`."""
    left, top = inset, inset
    right, bottom = WIDTH - inset, HEIGHT - inset
    r = max(RADIUS - inset, 0.0)
    if not (left <= x <= right and top <= y <= bottom):
        return False
    cx = min(max(x, left + r), right - r)
    cy = min(max(y, top + r), bottom - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def on_cross(x, y):
    cx, cy = WIDTH / 2, HEIGHT / 2
    dx, dy = x - cx, y - cy
    if abs(dx) > CROSS_HALF + 0.5 or abs(dy) > CROSS_HALF + 0.5:
        return False
    # Distance to either diagonal, measured across the bar.
    return min(abs(dx - dy), abs(dx + dy)) / 2 ** 0.5 <= CROSS_HALF_THICKNESS


def sample(plate, x, y, row):
    if not inside_rounded(x, y, 0.0):
        return strip_colour(row)
    if not inside_rounded(x, y, 1.0):
        return plate["border"]
    if on_cross(x, y):
        return WHITE
    return mix(plate["top"], plate["bottom"], y / HEIGHT)


def render(plate):
    pixels = []
    for row in range(HEIGHT):
        line = []
        for col in range(WIDTH):
            acc = [0.0, 0.0, 0.0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    c = sample(plate, col + (sx + 0.5) / SAMPLES, row + (sy + 0.5) / SAMPLES, row)
                    for i in range(3):
                        acc[i] += c[i]
            n = SAMPLES * SAMPLES
            line.append(tuple(int(round(v / n)) for v in acc))
        pixels.append(line)
    return pixels


def quantise(pixels):
    """Palette of at most 256 colours; channels are coarsened only if there are more."""
    step = 1
    while True:
        def snap(c):
            return tuple(min(255, (v // step) * step + (step // 2 if step > 1 else 0)) for v in c)
        snapped = [[snap(c) for c in line] for line in pixels]
        palette = sorted({c for line in snapped for c in line})
        if len(palette) <= 256:
            return snapped, palette
        step *= 2


def bmp_bytes(pixels):
    snapped, palette = quantise(pixels)
    index = {c: i for i, c in enumerate(palette)}
    stride = (WIDTH + 3) & ~3
    rows = b""
    for line in reversed(snapped):  # bottom-up
        data = bytes(index[c] for c in line)
        rows += data + b"\0" * (stride - WIDTH)
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)
    offset = 14 + 40 + len(colours)
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 8, 0, len(rows), 2835, 2835, len(palette), 0)
    head = struct.pack("<2sIHHI", b"BM", offset + len(rows), 0, 0, offset)
    return head + info + colours + rows


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "resources")
    for name, plate in PLATES.items():
        path = os.path.join(out, name)
        with open(path, "wb") as f:
            f.write(bmp_bytes(render(plate)))
        print(path)


if __name__ == "__main__":
    main()
