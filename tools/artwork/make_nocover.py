#!/usr/bin/env python3
"""Draws NOCOVER, the picture QuickInfo shows when a track has no cover: a
record on a light card, 99 x 99 pixels, written as a 24-bit BMP.

    make_nocover.py [OUT]      writes OUT (default: src/ui/win32/nocover.bmp)
    make_nocover.py --check    exits 1 when the committed picture differs

Standard library only; every pixel is the mean of 4 x 4 samples, so the
edges are smooth and the output is the same on every machine.
"""
import math
import struct
import sys
from pathlib import Path

SIZE = 99
SAMPLES = 4
CENTRE = (SIZE - 1) / 2
DEFAULT_OUT = Path(__file__).resolve().parents[2] / "src" / "ui" / "win32" / "nocover.bmp"

CARD_TOP, CARD_BOTTOM = (246, 247, 249), (214, 219, 226)
DISC = (40, 44, 52)
GROOVE = (58, 63, 73)
LABEL_OUTER, LABEL_INNER = (70, 110, 160), (112, 152, 200)
NOTE = (245, 247, 250)
DISC_RADIUS, LABEL_RADIUS = 41.0, 15.0


def mix(a, b, t):
    return tuple(x + (y - x) * t for x, y in zip(a, b))


def in_note(x, y):
    """A quaver drawn on the label: two heads joined by a beam."""
    for hx, hy in ((44.0, 55.0), (54.0, 53.0)):
        dx, dy = x - hx, y - hy
        # A head: an ellipse tilted a little.
        u, v = dx * 0.94 + dy * 0.34, -dx * 0.34 + dy * 0.94
        if (u / 3.3) ** 2 + (v / 2.4) ** 2 <= 1.0:
            return True
        if hx + 2.2 <= x <= hx + 3.4 and hy - 11.0 <= y <= hy:  # stem
            return True
    # The beam from the top of one stem to the other.
    if 46.2 <= x <= 57.4:
        top = 44.0 + (x - 46.2) * (-2.0 / 11.2)
        if top <= y <= top + 2.2:
            return True
    return False


def sample(x, y):
    card = mix(CARD_TOP, CARD_BOTTOM, y / SIZE)
    r = math.hypot(x - CENTRE, y - CENTRE)
    if r > DISC_RADIUS:
        # A soft shadow of the record on the card, below and to the right.
        s = math.hypot(x - CENTRE - 1.5, y - CENTRE - 2.0)
        if s <= DISC_RADIUS + 2.5:
            return mix(card, (150, 156, 166), 0.35 * (1 - (s - DISC_RADIUS + 1) / 3.5))
        return card
    if r <= LABEL_RADIUS:
        if in_note(x, y):
            return NOTE
        return mix(LABEL_INNER, LABEL_OUTER, r / LABEL_RADIUS)
    # The grooves: a fine ring every 2.5 pixels, and a sheen along the
    # diagonal from the top left, where the light falls.
    colour = GROOVE if (r % 2.5) < 0.6 else DISC
    angle = math.atan2(y - CENTRE, x - CENTRE)
    sheen = max(0.0, math.cos(2 * (angle + math.pi / 4))) ** 6
    colour = mix(colour, (150, 158, 172), 0.45 * sheen)
    if r > DISC_RADIUS - 1.2:  # the rim
        colour = mix(colour, (20, 22, 26), 0.6)
    return colour


def render():
    rows = []
    for py in range(SIZE):
        row = []
        for px in range(SIZE):
            acc = [0.0, 0.0, 0.0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    c = sample(px + (sx + 0.5) / SAMPLES - 0.5, py + (sy + 0.5) / SAMPLES - 0.5)
                    for i in range(3):
                        acc[i] += c[i]
            row.append(tuple(int(round(a / SAMPLES ** 2)) for a in acc))
        rows.append(row)
    return rows


def bmp_bytes(rows):
    stride = (SIZE * 3 + 3) & ~3
    pixels = bytearray()
    for row in reversed(rows):  # bottom-up
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        line += bytes(stride - len(line))
        pixels += line
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(pixels), 0, 0, 14 + 40)
    info = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    return header + info + bytes(pixels)


def main(argv):
    data = bmp_bytes(render())
    if argv[1:2] == ["--check"]:
        target = Path(argv[2]) if len(argv) > 2 else DEFAULT_OUT
        if target.read_bytes() != data:
            print(f"{target} differs from what {Path(__file__).name} draws; run it to remake the picture")
            return 1
        return 0
    target = Path(argv[1]) if len(argv) > 1 else DEFAULT_OUT
    target.write_bytes(data)
    print(target)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
