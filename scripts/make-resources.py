#!/usr/bin/env python3
"""Draws the application icon and the title-strip picture into resources/.

resources/appicon/: the icon's ten images, icon resources 30001 to 30010 of group icon 1, in
  the group's order: 48, 32 and 16 pixels at 4 bits, the same at 8 bits, 256 pixels as PNG,
  then 48, 32 and 16 pixels at 32 bits with alpha; group.bin is the group's directory.
resources/title-strip.jpg: 630 x 69, a plain vertical gradient from the strip's darker
  blue-violet at the top to its lighter one at the bottom (the colours of the glyph pictures'
  corners, scripts/make-glyphs.py). ImageMagick only encodes the JPEG; the rows are ours.

The icon: a blue-violet rounded plate with a white film frame and a play triangle, a movie
that has become a program. Standard library plus ImageMagick's convert; every run writes the
same bytes.
Usage: make-resources.py [OUTPUT_DIR]   (default: the repository's resources/)
"""
import os
import struct
import subprocess
import sys
import zlib

STRIP_TOP_RGB = (58, 52, 168)
STRIP_BOTTOM_RGB = (118, 112, 228)
STRIP_WIDTH, STRIP_HEIGHT = 630, 69

# (resource id, size, bits per pixel); 0 bits: PNG.
ICON_IMAGES = [
    (30001, 48, 4), (30002, 32, 4), (30003, 16, 4),
    (30004, 48, 8), (30005, 32, 8), (30006, 16, 8),
    (30007, 256, 0),
    (30008, 48, 32), (30009, 32, 32), (30010, 16, 32),
]

FULL_COLOUR = {"top": (132, 124, 240), "bottom": (52, 44, 160), "edge": (34, 28, 104)}
# No blue-violet among sixteen colours: a blue plate with a navy edge reads best.
SIXTEEN_COLOURS = {"top": (0, 0, 255), "bottom": (0, 0, 255), "edge": (0, 0, 128)}
WHITE = (255, 255, 255)

# The sixteen colours of a 4-bit image, in the system's order.
VGA = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
       (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
       (255, 0, 255), (0, 255, 255), (255, 255, 255)]


def round_even(v):
    return int(round(v))  # Python rounds ties to even


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


# ---- the icon, drawn on a unit square -------------------------------------------------

def in_rounded(x, y, left, top, right, bottom, r):
    if not (left <= x <= right and top <= y <= bottom):
        return False
    cx = min(max(x, left + r), right - r)
    cy = min(max(y, top + r), bottom - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def in_triangle(x, y, small):
    # A play triangle pointing right, centred on the frame; larger when there is no frame.
    ax, ay, bx, by, cx, cy = (0.36, 0.24, 0.36, 0.76, 0.76, 0.50) if small else (0.40, 0.33, 0.40, 0.67, 0.67, 0.50)
    d1 = (x - bx) * (ay - by) - (ax - bx) * (y - by)
    d2 = (x - cx) * (by - cy) - (bx - cx) * (y - cy)
    d3 = (x - ax) * (cy - ay) - (cx - ax) * (y - ay)
    neg = d1 < 0 or d2 < 0 or d3 < 0
    pos = d1 > 0 or d2 > 0 or d3 > 0
    return not (neg and pos)


def icon_sample(x, y, scheme, small):
    """Colour and coverage (0 or 1) of the point (x, y) in [0, 1)."""
    if not in_rounded(x, y, 0.03, 0.03, 0.97, 0.97, 0.20):
        return (0, 0, 0), 0.0
    if not in_rounded(x, y, 0.075, 0.075, 0.925, 0.925, 0.16):
        return scheme["edge"], 1.0
    if in_triangle(x, y, small):
        return WHITE, 1.0
    # The film frame: a white band with perforations above and below the picture; too fine
    # for 16 pixels.
    if not small and 0.17 <= x <= 0.83 and 0.20 <= y <= 0.80:
        inner = 0.23 <= x <= 0.77 and 0.28 <= y <= 0.72
        if not inner:
            if (y < 0.28 or y > 0.72) and 0.22 <= x <= 0.78:
                hole = ((x - 0.22) / 0.08) % 1.0
                if 0.25 <= hole <= 0.75 and (0.225 <= y <= 0.255 or 0.745 <= y <= 0.775):
                    return scheme["edge"], 1.0
            return WHITE, 1.0
    return mix(scheme["top"], scheme["bottom"], y), 1.0


def render_icon(size, bits):
    """Rows of (r, g, b, a), straight alpha."""
    n = 4 if size <= 48 else 3
    scheme = SIXTEEN_COLOURS if bits == 4 else FULL_COLOUR
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0]
            cover = 0.0
            for sy in range(n):
                for sx in range(n):
                    c, a = icon_sample((px + (sx + 0.5) / n) / size, (py + (sy + 0.5) / n) / size, scheme,
                                       size <= 16)
                    cover += a
                    for i in range(3):
                        acc[i] += c[i] * a
            if cover == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append(tuple(round_even(v / cover) for v in acc) + (round_even(255 * cover / (n * n)),))
        rows.append(row)
    return rows


# ---- icon image formats -----------------------------------------------------------------

def nearest(palette, c):
    return min(range(len(palette)), key=lambda i: sum((palette[i][k] - c[k]) ** 2 for k in range(3)))


def adaptive_palette(rows):
    """At most 256 colours of the opaque pixels; channels coarsened only when there are more."""
    step = 1
    while True:
        colours = sorted({tuple((v // step) * step for v in p[:3]) for row in rows for p in row if p[3] >= 128})
        if len(colours) <= 256:
            return colours
        step *= 2


def and_mask(rows):
    size = len(rows)
    stride = ((size + 31) // 32) * 4
    out = b""
    for row in reversed(rows):
        bits = bytearray(stride)
        for x, p in enumerate(row):
            if p[3] < 128:
                bits[x // 8] |= 0x80 >> (x % 8)
        out += bytes(bits)
    return out


def dib(rows, bits):
    size = len(rows)
    if bits == 32:
        xor = b"".join(bytes((p[2], p[1], p[0], p[3])) for row in reversed(rows) for p in row)
        palette = b""
    else:
        colours = VGA if bits == 4 else adaptive_palette(rows)
        colours = colours + [(0, 0, 0)] * ((1 << bits) - len(colours))
        palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in colours)
        stride = ((size * bits + 31) // 32) * 4
        xor = b""
        for row in reversed(rows):
            line = bytearray(stride)
            for x, p in enumerate(row):
                index = 0 if p[3] < 128 else nearest(colours, p)
                if bits == 8:
                    line[x] = index
                else:
                    line[x // 2] |= index << (4 if x % 2 == 0 else 0)
            xor += bytes(line)
    mask = and_mask(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, bits, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return header + palette + xor + mask


def png(rows):
    size = len(rows)
    raw = b"".join(b"\0" + b"".join(bytes(p) for p in row) for row in rows)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def group_directory(entries):
    out = struct.pack("<HHH", 0, 1, len(entries))
    for rid, size, bits, length in entries:
        dim = 0 if size >= 256 else size
        colours = 16 if bits == 4 else 0
        out += struct.pack("<BBBBHHIH", dim, dim, colours, 0, 1, 32 if bits == 0 else bits, length, rid)
    return out


# ---- the title strip ----------------------------------------------------------------------

def strip_ppm():
    rows = []
    for y in range(STRIP_HEIGHT):
        c = tuple(round_even(v) for v in mix(STRIP_TOP_RGB, STRIP_BOTTOM_RGB, y / (STRIP_HEIGHT - 1)))
        rows.append(bytes(c) * STRIP_WIDTH)
    return b"P6\n%d %d\n255\n" % (STRIP_WIDTH, STRIP_HEIGHT) + b"".join(rows)


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)
    print(path)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..",
                                                            "resources")
    icon_dir = os.path.join(out, "appicon")
    os.makedirs(icon_dir, exist_ok=True)
    drawn = {}
    entries = []
    for rid, size, bits in ICON_IMAGES:
        key = (size, bits == 4)
        if key not in drawn:
            drawn[key] = render_icon(size, bits)
        data = png(drawn[key]) if bits == 0 else dib(drawn[key], bits)
        write(os.path.join(icon_dir, "%d.%s" % (rid, "png" if bits == 0 else "dib")), data)
        entries.append((rid, size, bits, len(data)))
    write(os.path.join(icon_dir, "group.bin"), group_directory(entries))

    jpeg = subprocess.run(["convert", "ppm:-", "-strip", "-sampling-factor", "1x1", "-quality", "95", "jpeg:-"],
                          input=strip_ppm(), stdout=subprocess.PIPE, check=True).stdout
    write(os.path.join(out, "title-strip.jpg"), jpeg)


if __name__ == "__main__":
    main()
