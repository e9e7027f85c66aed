#!/usr/bin/env python3
"""Writes a small looping SWF: a red square crossing a blue stage above a still green bar.

Its colours are plain so a screenshot of a player showing it can be checked for them, and the
square moves every frame so two screenshots apart in time differ while it plays.
Usage: make-test-movie.py OUT.swf
"""
import struct
import sys

WIDTH, HEIGHT = 320, 240  # pixels; the format counts twentieths of a pixel
BACKGROUND = (0x30, 0x60, 0xC0)
SQUARE = (0xE0, 0x20, 0x20)
BAR = (0x20, 0xC0, 0x40)
FRAMES, SQUARE_SIDE, STEP = 20, 60, 12


class Bits:
    def __init__(self):
        self.out, self.acc, self.n = bytearray(), 0, 0

    def put(self, value, width):
        for i in range(width - 1, -1, -1):
            self.acc = (self.acc << 1) | ((value >> i) & 1)
            self.n += 1
            if self.n == 8:
                self.out.append(self.acc)
                self.acc, self.n = 0, 0

    def signed(self, value, width):
        self.put(value & ((1 << width) - 1), width)

    def align(self):
        if self.n:
            self.put(0, 8 - self.n)
        return bytes(self.out)


def signed_width(*values):
    """Bits a signed field needs to hold every value."""
    return max(max(v, -v - 1).bit_length() + 1 for v in values)


def rect(x0, x1, y0, y1):
    b = Bits()
    n = signed_width(x0, x1, y0, y1)
    b.put(n, 5)
    for v in (x0, x1, y0, y1):
        b.signed(v, n)
    return b.align()


def translate(x, y):
    b = Bits()
    b.put(0, 1)  # no scale
    b.put(0, 1)  # no rotation
    n = signed_width(x, y)
    b.put(n, 5)
    b.signed(x, n)
    b.signed(y, n)
    return b.align()


def tag(code, body=b""):
    if len(body) < 0x3F:
        return struct.pack("<H", code << 6 | len(body)) + body
    return struct.pack("<HI", code << 6 | 0x3F, len(body)) + body


def filled_rect_shape(shape_id, w, h, colour):
    """DefineShape of one solid rectangle from (0, 0) to (w, h) twips."""
    styles = bytes([1, 0x00]) + bytes(colour) + bytes([0])  # one solid fill, no line styles
    b = Bits()
    b.put(1, 4)  # fill index bits
    b.put(0, 4)  # line index bits
    # Style change: fill style 0 = 1, move to the origin.
    b.put(0b000011, 6)
    b.put(1, 5)
    b.signed(0, 1)
    b.signed(0, 1)
    b.put(1, 1)
    for dx, dy in ((w, 0), (0, h), (-w, 0), (0, -h)):
        n = signed_width(dx, dy)
        b.put(0b11, 2)  # edge, straight
        b.put(n - 2, 4)
        b.put(0, 1)  # not a general line
        b.put(1 if dx == 0 else 0, 1)
        b.signed(dy if dx == 0 else dx, n)
    b.put(0, 6)  # end of shape
    return tag(2, struct.pack("<H", shape_id) + rect(0, w, 0, h) + styles + b.align())


def place(depth, x, y, shape_id=None):
    if shape_id is None:
        return tag(26, struct.pack("<BH", 0x05, depth) + translate(x, y))  # move, new matrix
    return tag(26, struct.pack("<BHH", 0x06, depth, shape_id) + translate(x, y))


def movie():
    tw = 20
    body = bytearray()
    body += rect(0, WIDTH * tw, 0, HEIGHT * tw)
    body += struct.pack("<HH", 12 << 8, FRAMES)  # 12 frames a second
    body += tag(9, bytes(BACKGROUND))
    body += filled_rect_shape(1, SQUARE_SIDE * tw, SQUARE_SIDE * tw, SQUARE)
    body += filled_rect_shape(2, (WIDTH - 40) * tw, 24 * tw, BAR)
    body += place(1, 20 * tw, (HEIGHT - 50) * tw, 2)
    for frame in range(FRAMES):
        x, y = (10 + frame * STEP) * tw, 60 * tw
        body += place(2, x, y, 1 if frame == 0 else None)
        body += tag(1)
    body += tag(0)
    return b"FWS" + bytes([6]) + struct.pack("<I", 8 + len(body)) + bytes(body)


if __name__ == "__main__":
    with open(sys.argv[1], "wb") as f:
        f.write(movie())
