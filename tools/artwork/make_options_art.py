#!/usr/bin/env python3
"""Draws the options dialog's pictures as three strips of 32-bit BMPs with
straight (not premultiplied) alpha, one picture after the other from left to
right:

    player_icons.bmp       20 player icons, 32 x 32 (640 x 32)
    xstatus_pictures.bmp   35 X-status pictures, 16 x 16 (560 x 16)
    button_glyphs.bmp      the language and home-page glyphs, 16 x 16 (32 x 16)

    make_options_art.py [DIR]          writes the strips into DIR (default: src/ui/win32)
    make_options_art.py --check [DIR]  exits 1 when a committed strip differs
    make_options_art.py --sheet PNG    writes a magnified contact sheet

Standard library only. Every shape is a signed distance (negative inside);
a pixel is the mean of 4 x 4 samples, each sample the layers painted over one
another, so the edges are smooth and the output is the same on every machine.
"""
import colorsys
import math
import struct
import sys
import zlib
from pathlib import Path

SAMPLES = 4
DEFAULT_DIR = Path(__file__).resolve().parents[2] / "src" / "ui" / "win32"

INK = (40, 40, 52)
WHITE = (255, 255, 255)

# --- Shapes: each a function (x, y) -> signed distance in pixels. ----------


def circle(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) - r


def ellipse(cx, cy, rx, ry):
    return lambda x, y: (math.hypot((x - cx) / rx, (y - cy) / ry) - 1) * min(rx, ry)


def box(x0, y0, x1, y1, r=0.0):
    cx, cy, hx, hy = (x0 + x1) / 2, (y0 + y1) / 2, (x1 - x0) / 2, (y1 - y0) / 2

    def d(x, y):
        qx, qy = abs(x - cx) - hx + r, abs(y - cy) - hy + r
        return math.hypot(max(qx, 0), max(qy, 0)) + min(max(qx, qy), 0) - r
    return d


def _segment_distance(x, y, x0, y0, x1, y1):
    dx, dy = x1 - x0, y1 - y0
    t = ((x - x0) * dx + (y - y0) * dy) / (dx * dx + dy * dy) if dx or dy else 0.0
    t = min(1.0, max(0.0, t))
    return math.hypot(x - x0 - t * dx, y - y0 - t * dy)


def line(x0, y0, x1, y1, w):
    """A stroke of width w with round ends."""
    return lambda x, y: _segment_distance(x, y, x0, y0, x1, y1) - w / 2


def polyline(points, w):
    return union(*(line(*a, *b, w) for a, b in zip(points, points[1:])))


def polygon(points):
    edges = list(zip(points, points[1:] + points[:1]))

    def d(x, y):
        inside = False
        for (ax, ay), (bx, by) in edges:
            if (ay > y) != (by > y) and x < ax + (y - ay) * (bx - ax) / (by - ay):
                inside = not inside
        dist = min(_segment_distance(x, y, ax, ay, bx, by) for (ax, ay), (bx, by) in edges)
        return -dist if inside else dist
    return d


def arc(cx, cy, r, w, a0, a1):
    """A stroke along a circle from angle a0 to a1 in degrees, clockwise on
    the screen (0 points right, 90 down)."""
    ends = [(cx + r * math.cos(math.radians(a)), cy + r * math.sin(math.radians(a))) for a in (a0, a1)]

    def d(x, y):
        a = math.degrees(math.atan2(y - cy, x - cx))
        if (a - a0) % 360 <= (a1 - a0) % 360 or a1 - a0 >= 360:
            return abs(math.hypot(x - cx, y - cy) - r) - w / 2
        return min(math.hypot(x - ex, y - ey) for ex, ey in ends) - w / 2
    return d


def union(*shapes):
    return lambda x, y: min(s(x, y) for s in shapes)


def inter(a, b):
    return lambda x, y: max(a(x, y), b(x, y))


def cut(a, b):
    return lambda x, y: max(a(x, y), -b(x, y))


def grow(shape, g):
    return lambda x, y: shape(x, y) - g


def outlined(shape, fill, ink=INK, w=1.0):
    return [(grow(shape, w), ink), (shape, fill)]


# --- Pixel fonts, for monograms and the few pictures that are letters. -----

FONT5x7 = {  # 5 x 7, the rows top down
    "A": (".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"),
    "B": ("####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."),
    "C": (".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."),
    "F": ("#####", "#....", "#....", "####.", "#....", "#....", "#...."),
    "G": (".###.", "#...#", "#....", "#.###", "#...#", "#...#", ".####"),
    "I": (".###.", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."),
    "J": ("..###", "...#.", "...#.", "...#.", "#..#.", "#..#.", ".##.."),
    "K": ("#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"),
    "L": ("#....", "#....", "#....", "#....", "#....", "#....", "#####"),
    "M": ("#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"),
    "O": (".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."),
    "P": ("####.", "#...#", "#...#", "####.", "#....", "#....", "#...."),
    "Q": (".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"),
    "R": ("####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"),
    "S": (".####", "#....", "#....", ".###.", "....#", "....#", "####."),
    "T": ("#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."),
    "W": ("#...#", "#...#", "#...#", "#.#.#", "#.#.#", "##.##", "#...#"),
    "X": ("#...#", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", "#...#"),
    "Z": ("#####", "....#", "...#.", "..#..", ".#...", "#....", "#####"),
    "2": (".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"),
}
FONT3x5 = {  # 3 x 5
    "R": ("##.", "#.#", "##.", "#.#", "#.#"),
    "U": ("#.#", "#.#", "#.#", "#.#", "###"),
    "A": (".#.", "#.#", "###", "#.#", "#.#"),
    "Я": (".##", "#.#", ".##", "#.#", "#.#"),
}

def text(s, x0, y0, font, scale=1):
    """Letters of a pixel font whose top left corner is (x0, y0); one
    font pixel is scale x scale screen pixels, so whole numbers keep them on
    the pixel grid. Not a true distance: -1 on a letter's pixel, 1 elsewhere
    (no grow)."""
    rows, cols = len(font[s[0]]), len(font[s[0]][0])

    def d(x, y):
        i, u = divmod(math.floor((x - x0) / scale), cols + 1)
        v = math.floor((y - y0) / scale)
        if x < x0 or not 0 <= i < len(s) or u >= cols or not 0 <= v < rows:
            return 1.0
        return -1.0 if font[s[i]][v][u] == "#" else 1.0
    return d


# --- Rendering -------------------------------------------------------------


def render(layers, size):
    """Straight-alpha RGBA rows of one picture."""
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            # A distance of more than half the pixel's diagonal at its centre
            # decides the whole pixel: only the layers whose edge crosses it
            # are asked again for each sample.
            near = []
            for layer in layers:
                d = layer[0](px + 0.5, py + 0.5)
                if d <= 0.75:
                    near.append((layer, d >= -0.75))
            acc = [0.0, 0.0, 0.0, 0.0]  # premultiplied
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x, y = px + (sx + 0.5) / SAMPLES, py + (sy + 0.5) / SAMPLES
                    r = g = b = a = 0.0
                    for layer, edge in near:
                        if edge and layer[0](x, y) > 0:
                            continue
                        colour = layer[1](x, y) if callable(layer[1]) else layer[1]
                        opacity = layer[2] if len(layer) > 2 else 1.0
                        r = colour[0] * opacity + r * (1 - opacity)
                        g = colour[1] * opacity + g * (1 - opacity)
                        b = colour[2] * opacity + b * (1 - opacity)
                        a = opacity + a * (1 - opacity)
                    acc[0] += r
                    acc[1] += g
                    acc[2] += b
                    acc[3] += a
            n = SAMPLES * SAMPLES
            alpha = acc[3] / n
            if alpha <= 0:
                row.append((0, 0, 0, 0))
            else:
                row.append(tuple(min(255, int(round(acc[i] / n / alpha))) for i in range(3))
                           + (int(round(alpha * 255)),))
        rows.append(row)
    return rows


def strip(pictures):
    """Pictures of equal size side by side."""
    return [sum((p[y] for p in pictures), []) for y in range(len(pictures[0]))]


# --- Player icons: a rounded tile in a colour of its own, a monogram. ------

# In the order of the player ids that have a radio button (the two extra
# foobar2000 rows have none); the media session's icon follows them.
PLAYER_MONOGRAMS = ["WM", "MC", "GO", "LA", "BS", "ZP", "KM", "CP", "WA", "FB",
                    "A2", "JA", "IT", "MM", "QP", "AP", "XM", "RP", "IP"]


def player_icon(index, monogram):
    # Hues spread round the wheel; neighbouring hues differ in depth too.
    step = index * 8 % 19
    base = colorsys.hsv_to_rgb(step / 19, (0.8, 0.62, 0.72)[step % 3], (0.62, 0.74, 0.86)[step % 3])
    edge, tile = tile_layers(base)
    letters = text(monogram, 5, 9, FONT5x7, 2)
    shadow = text(monogram, 6, 10, FONT5x7, 2)
    return tile + [
        (shadow, edge, 0.7),
        (letters, WHITE),
    ]


def tile_layers(base):
    """The rounded tile of every player icon in the colour base (0..1 RGB)."""
    top = tuple(255 * min(1.0, c * 1.35 + 0.08) for c in base)
    bottom = tuple(255 * c * 0.8 for c in base)
    edge = tuple(255 * c * 0.5 for c in base)

    def gradient(x, y):
        t = min(1.0, max(0.0, (y - 1) / 30))
        return tuple(p + (q - p) * t for p, q in zip(top, bottom))
    return edge, [
        (box(1, 1, 31, 31, 6), edge),
        (box(2, 2, 30, 30, 5), gradient),
        (box(4, 3, 28, 14, 4), WHITE, 0.12),  # a sheen on the upper half
    ]


def media_session_icon():
    """The system's media session: a speaker and its sound on a slate tile,
    a glyph where the players have letters."""
    edge, tile = tile_layers((0.36, 0.42, 0.56))
    speaker = union(box(7, 12.5, 12, 19.5, 1), polygon([(10.5, 12.5), (17, 7.5), (17, 24.5), (10.5, 19.5)]))
    waves = union(arc(17, 16, 5, 2, -50, 50), arc(17, 16, 9.5, 2, -50, 50))
    glyph = union(speaker, waves)
    return tile + [
        (lambda x, y: glyph(x - 1, y - 1), edge, 0.7),  # shadowed as the letters are
        (glyph, WHITE),
    ]


# --- X-status pictures, 16 x 16, in the order of the picture numbers. ------

YELLOW, SKIN_RED = (255, 212, 70), (242, 108, 62)
MOUTH = (150, 40, 45)
BLUE, LIGHT_BLUE = (66, 124, 222), (176, 214, 250)
GREY, BROWN = (150, 152, 165), (150, 92, 52)


def face(fill):
    return outlined(circle(8, 8, 6.5), fill)


def angry():
    return face(SKIN_RED) + [
        (line(3.9, 4.7, 6.9, 6.2, 1.3), INK), (line(12.1, 4.7, 9.1, 6.2, 1.3), INK),
        (circle(5.9, 7.8, 1.05), INK), (circle(10.1, 7.8, 1.05), INK),
        (arc(8, 13.6, 3.4, 1.3, 225, 315), INK)]


def bath():
    return [
        *outlined(circle(5.5, 4.5, 1.8), LIGHT_BLUE, w=0.8),
        *outlined(circle(9.5, 3.2, 2.2), LIGHT_BLUE, w=0.8),
        *outlined(circle(12.5, 6, 1.4), LIGHT_BLUE, w=0.8),
        (line(4, 12.5, 3.3, 14.6, 1.3), INK), (line(12, 12.5, 12.7, 14.6, 1.3), INK),
        *outlined(box(1.5, 8.5, 14.5, 13, 2.2), WHITE),
        (box(0.6, 7.4, 15.4, 9, 0.6), BLUE)]


def tired():
    return face(YELLOW) + [
        (line(4.4, 7.4, 7, 7.4, 1.2), INK), (line(9, 7.4, 11.6, 7.4, 1.2), INK),
        (line(5.5, 11.3, 10.5, 10.7, 1.2), INK),
        *outlined(union(circle(12.9, 4.6, 1.5), polygon([(11.5, 4.2), (14.3, 4.2), (12.9, 1.6)])),
                  (110, 180, 245), w=0.7)]


def party():
    hat = polygon([(8, 2), (3.5, 14.5), (12.5, 14.5)])
    return [
        (circle(2.4, 4.2, 1), (60, 120, 230)), (circle(13.6, 3.6, 1), (40, 170, 80)),
        (circle(14.2, 9, 0.9), (245, 140, 30)), (circle(1.8, 9.6, 0.9), (150, 70, 200)),
        *outlined(hat, (240, 80, 150)),
        (inter(hat, line(0, 10, 16, 7, 1.6)), (255, 220, 60)),
        (inter(hat, line(0, 14, 16, 11, 1.6)), (255, 220, 60)),
        *outlined(circle(8, 2.2, 1.6), (255, 220, 60), w=0.8)]


def beer():
    amber = lambda x, y: (250, 190 - (y - 5) * 4, 40)
    return [
        *outlined(arc(11.2, 9.5, 2.4, 1.5, -80, 80), (230, 165, 40)),
        *outlined(box(2.5, 5, 11.2, 14.5, 1.2), amber),
        (circle(5, 10, 0.6), WHITE, 0.8), (circle(8, 12, 0.6), WHITE, 0.8), (circle(7, 8.2, 0.5), WHITE, 0.8),
        *outlined(union(circle(4.2, 4.4, 1.9), circle(7, 3.4, 2.1), circle(9.7, 4.4, 1.8)), WHITE, w=0.8)]


def thinking():
    cloud = union(ellipse(9.5, 6, 5.3, 3.8), circle(6.2, 6.8, 2.8), circle(12.6, 7.2, 2.6))
    return [
        *outlined(circle(4.2, 12.2, 1.3), WHITE, w=0.9), *outlined(circle(2.1, 14.5, 0.8), WHITE, w=0.8),
        *outlined(cloud, WHITE),
        (circle(6.5, 6.8, 0.8), GREY), (circle(9.5, 6.8, 0.8), GREY), (circle(12.5, 6.8, 0.8), GREY)]


def eating():
    steel = (120, 124, 138)
    return [
        *outlined(circle(9.8, 8.5, 5.4), WHITE),
        (arc(9.8, 8.5, 3.5, 0.8, 0, 360), (205, 210, 220)),
        (line(2.2, 6, 2.2, 14.5, 1.3), steel),
        (box(0.6, 5, 3.8, 7, 0.6), steel),
        (line(0.9, 1.6, 0.9, 6, 0.8), steel), (line(2.2, 1.6, 2.2, 6, 0.8), steel), (line(3.5, 1.6, 3.5, 6, 0.8), steel)]


def tv():
    return [
        (line(8, 4.5, 5, 1, 1), INK), (line(8, 4.5, 11, 1, 1), INK),
        *outlined(box(1.5, 4.5, 14.5, 14, 1.5), (96, 96, 110)),
        (box(3, 6, 13, 12.5, 0.8), lambda x, y: (90 + 8 * y, 160 + 6 * y, 240)),
        (polygon([(3.5, 6.5), (8, 6.5), (4.5, 10.5), (3.5, 10.5)]), WHITE, 0.35)]


def meeting():
    def person(cx, cy, fill):
        body = inter(ellipse(cx, cy + 8, 4.2, 5), box(cx - 5, cy + 3.6, cx + 5, 16))
        return outlined(body, fill) + outlined(circle(cx, cy, 2.3), fill)
    return person(10.8, 4.6, (60, 170, 90)) + person(5.2, 5.8, (66, 124, 222))


def coffee():
    steam = (170, 170, 180)
    return [
        (polyline([(5, 4.8), (4.2, 3.4), (5, 2), (4.3, 0.8)], 0.9), steam),
        (polyline([(8, 4.8), (7.2, 3.4), (8, 2), (7.3, 0.8)], 0.9), steam),
        *outlined(ellipse(7, 13.6, 6, 1.4), WHITE, w=0.8),
        *outlined(arc(11.4, 8.8, 2.1, 1.3, -90, 90), WHITE),
        *outlined(polygon([(1.8, 6), (12.2, 6), (11, 13), (3, 13)]), WHITE),
        (ellipse(7, 6.8, 4.6, 0.9), (120, 70, 40))]


def music():
    note = (50, 70, 190)
    return [
        (ellipse(4.6, 12.6, 2.4, 1.8), note), (ellipse(11.6, 11.2, 2.4, 1.8), note),
        (line(6.4, 12.4, 6.4, 3.6, 1.4), note), (line(13.4, 11, 13.4, 2.2, 1.4), note),
        (polygon([(5.7, 3), (14.1, 1.5), (14.1, 4.2), (5.7, 5.7)]), note)]


def todo():
    tick, ruled = (40, 160, 70), (150, 155, 170)
    layers = outlined(box(2.5, 1.5, 13.5, 14.5, 1), WHITE)
    for y in (4.5, 8, 11.5):
        layers += [(polyline([(3.9, y - 0.3), (5, y + 0.9), (7, y - 1.6)], 1.1), tick),
                   (line(8.5, y, 11.8, y, 1), ruled)]
    return layers


def cinema():
    layers = [(box(1, 1.5, 15, 14.5, 1), (55, 55, 66)),
              (box(4.5, 3.5, 11.5, 7.7, 0.5), (120, 190, 245)),
              (box(4.5, 8.3, 11.5, 12.5, 0.5), (250, 190, 80))]
    for y in (3, 6, 9, 12):
        layers += [(box(2.2, y, 3.6, y + 1.4), WHITE), (box(12.4, y, 13.8, y + 1.4), WHITE)]
    return layers


def laughing():
    return face(YELLOW) + [
        (arc(5.8, 7.6, 1.5, 1.2, 200, 340), INK), (arc(10.2, 7.6, 1.5, 1.2, 200, 340), INK),
        (inter(circle(8, 9.3, 4), box(3, 9.3, 13, 14)), MOUTH),
        (inter(circle(8, 9.3, 4), box(3, 9.3, 13, 10.5)), WHITE),
        (inter(circle(8, 9.3, 4), circle(8, 14.2, 2.4)), (235, 100, 110))]


def telephone():
    red = (220, 60, 60)
    return [
        *outlined(polygon([(3.5, 8), (12.5, 8), (14.5, 14.5), (1.5, 14.5)]), red),
        *outlined(circle(8, 11.3, 2), WHITE, w=0.8), (circle(8, 11.3, 0.7), INK),
        *outlined(union(box(1.2, 3.5, 14.8, 6, 1.2), box(1.2, 3.5, 4.6, 7.6, 1.2), box(11.4, 3.5, 14.8, 7.6, 1.2)), red)]


def gaming():
    pad = union(box(2, 5, 14, 10.5, 2.5), circle(4.2, 11, 2.6), circle(11.8, 11, 2.6))
    return [
        *outlined(pad, (165, 168, 182)),
        (box(3.3, 7.4, 7.1, 8.6), INK), (box(4.6, 6.1, 5.8, 9.9), INK),
        (circle(10.6, 7.2, 0.95), (230, 60, 60)), (circle(12.4, 9, 0.95), (60, 110, 230))]


def studying():
    gold = (245, 190, 40)
    return [
        *outlined(polygon([(4, 7), (12, 7), (12, 11.2), (8, 12.8), (4, 11.2)]), (50, 50, 80), ink=(20, 20, 30)),
        *outlined(polygon([(8, 2), (15.3, 5.5), (8, 9), (0.7, 5.5)]), (70, 70, 110), ink=(20, 20, 30)),
        (line(8, 5.5, 13.6, 6.5, 0.8), gold), (line(13.6, 6.5, 13.6, 11, 0.9), gold), (circle(13.6, 11.6, 1.1), gold)]


def shopping():
    return [
        (arc(8, 6, 3, 1.3, 180, 360), (120, 70, 35)),
        *outlined(box(2.5, 6, 13.5, 14.5, 1), (250, 160, 50)),
        (box(2.5, 6, 13.5, 7.2), (225, 130, 30))]


def ill():
    red = (225, 45, 45)
    return [
        *outlined(line(5, 11, 12.2, 3.8, 3.2), WHITE),
        *outlined(circle(4.2, 11.8, 2.6), red),
        (line(4.4, 11.6, 8.6, 7.4, 1.3), red),
        (line(9.6, 5.2, 10.3, 5.9, 0.6), GREY), (line(11, 3.8, 11.7, 4.5, 0.6), GREY)]


def sleeping():
    z = (60, 110, 220)
    return [(polyline([(1.8, 2.5), (8.4, 2.5), (1.8, 9.7), (8.4, 9.7)], 1.7), z),
            (polyline([(9.4, 8), (14, 8), (9.4, 13.4), (14, 13.4)], 1.3), z)]


def resting():
    leaf = (50, 160, 70)
    return [
        (circle(13.4, 2.8, 2), (255, 200, 40)),
        (box(0, 12.5, 16, 16), (90, 160, 235)),
        (inter(ellipse(8, 15.5, 6.8, 3.2), box(0, 0, 16, 15.6)), (240, 205, 120)),
        (polyline([(8.2, 13.6), (9, 10), (8.8, 6.5), (8.2, 4.5)], 1.4), (140, 90, 45)),
        (polyline([(8.2, 4.3), (5.5, 3.5), (2.4, 5.6)], 1.6), leaf),
        (polyline([(8.2, 4.3), (11, 3.2), (13.8, 5.4)], 1.6), leaf),
        (polyline([(8.2, 4.5), (5.4, 6), (4.6, 8.8)], 1.4), leaf),
        (polyline([(8.2, 4.5), (11.4, 6), (12, 8.8)], 1.4), leaf)]


def internet():
    grid = (200, 228, 255)
    globe = circle(8, 8, 6.5)
    return outlined(globe, BLUE) + [
        (inter(globe, lambda x, y: abs(ellipse(8, 8, 2.9, 6.5)(x, y)) - 0.4), grid),
        (inter(globe, line(1, 8, 15, 8, 0.8)), grid),
        (inter(globe, line(1, 4.8, 15, 4.8, 0.7)), grid),
        (inter(globe, line(1, 11.2, 15, 11.2, 0.7)), grid)]


def working():
    leather = (150, 90, 50)
    return [
        (cut(box(5.3, 2.2, 10.7, 6.5, 1.4), box(6.8, 3.6, 9.2, 6.5)), INK),
        *outlined(box(1.5, 5, 14.5, 14, 1.5), leather),
        (line(1.5, 9, 14.5, 9, 1), (110, 62, 32)),
        (box(6.8, 7.8, 9.2, 10.4, 0.4), (245, 195, 60))]


def typing():
    key = (70, 72, 84)
    layers = outlined(box(0.5, 4.5, 15.5, 12.5, 1.2), (210, 212, 222))
    for y, x0 in ((5.9, 2.0), (8.1, 2.8)):
        x = x0
        while x + 1.3 <= 14.3:
            layers.append((box(x, y, x + 1.3, y + 1.3), key))
            x += 2.1
    return layers + [(box(4, 10.3, 12, 11.4), key)]


def picnic():
    wicker, check = (205, 145, 75), (225, 50, 50)
    body = polygon([(1.8, 8.2), (14.2, 8.2), (12.6, 14.6), (3.4, 14.6)])
    layers = [(arc(8, 8.2, 4.6, 1.4, 180, 360), (120, 72, 36))]
    layers += [(box(2.8, 6.2, 13.2, 8.6, 0.4), WHITE)]
    for x in (2.8, 5.4, 8.0, 10.6):
        layers.append((box(x, 6.2, x + 1.3, 7.4), check))
        layers.append((box(x + 1.3, 7.4, x + 2.6, 8.6), check))
    layers += outlined(body, wicker)
    layers += [(inter(body, line(0, 11.2, 16, 11.2, 0.7)), (160, 100, 45)),
               (inter(body, line(8, 8, 8, 15, 0.7)), (160, 100, 45))]
    return layers


def handheld():
    return [
        (line(14.3, 3.5, 14.3, 14, 0.9), (175, 178, 190)),
        *outlined(box(3, 1.2, 12.6, 14.8, 1.5), (72, 78, 92)),
        (box(4.4, 2.6, 11.2, 10.4, 0.4), (172, 214, 172)),
        (circle(5.8, 12.6, 0.85), (190, 195, 205)), (circle(7.8, 12.6, 0.85), (190, 195, 205)),
        (circle(9.8, 12.6, 0.85), (190, 195, 205))]


def mobile():
    layers = [(line(9.6, 3, 9.6, 0.7, 1.1), INK),
              *outlined(box(5, 3, 11, 15.2, 1.5), (60, 92, 145)),
              (box(6, 4.4, 10, 7.8, 0.3), (180, 222, 250))]
    for y in (9.6, 11.3, 13):
        for x in (6.6, 8, 9.4):
            layers.append((circle(x, y, 0.5), WHITE))
    return layers


def wc():
    return [*outlined(box(1, 2.5, 15, 13.5, 1.6), (50, 110, 200)),
            (text("WC", 2, 4, FONT5x7), WHITE)]


def question():
    return outlined(circle(8, 8, 6.5), (70, 120, 220)) + [
        (arc(8, 6, 2.3, 1.7, 190, 420), WHITE),
        (line(9.15, 8, 8, 9.2, 1.7), WHITE), (line(8, 9.2, 8, 9.8, 1.7), WHITE),
        (circle(8, 12.2, 1.05), WHITE)]


def travelling():
    red = (220, 52, 52)
    return [
        *outlined(polygon([(4, 8.5), (5.6, 4.5), (10.6, 4.5), (12.6, 8.5)]), red),
        (polygon([(5.2, 8), (6.3, 5.5), (8, 5.5), (8, 8)]), LIGHT_BLUE),
        (polygon([(8.8, 8), (8.8, 5.5), (10, 5.5), (11.2, 8)]), LIGHT_BLUE),
        *outlined(box(1, 8, 15, 12, 1.5), red),
        *outlined(circle(4.5, 12.3, 1.9), (60, 60, 70)), (circle(4.5, 12.3, 0.8), (200, 200, 210)),
        *outlined(circle(11.5, 12.3, 1.9), (60, 60, 70)), (circle(11.5, 12.3, 0.8), (200, 200, 210))]


def heart_shape():
    return union(circle(5.2, 5.9, 3.4), circle(10.8, 5.9, 3.4),
                 polygon([(2.05, 7.3), (13.95, 7.3), (8, 13.9)]))


def love():
    return outlined(heart_shape(), (228, 38, 60)) + [(circle(4.6, 4.7, 1), WHITE, 0.6)]


def searching():
    return [
        (line(10.3, 10.3, 14.2, 14.2, 2.6), (110, 70, 40)),
        (circle(6.5, 6.5, 5.3), INK),
        (circle(6.5, 6.5, 4.1), LIGHT_BLUE),
        (arc(6.5, 6.5, 2.6, 0.9, 190, 260), WHITE)]


def rulove():
    return outlined(heart_shape(), (246, 108, 172)) + [(text("RU", 4, 4, FONT3x5), WHITE)]


def reading():
    page, ruled = WHITE, (160, 165, 180)
    return [
        (polygon([(0.3, 12.6), (8, 14.2), (15.7, 12.6), (15.7, 14), (8, 15.6), (0.3, 14)]), (60, 100, 190)),
        *outlined(polygon([(1.2, 3.8), (8, 5.2), (8, 13.6), (1.2, 12.2)]), page, w=0.9),
        *outlined(polygon([(14.8, 3.8), (8, 5.2), (8, 13.6), (14.8, 12.2)]), page, w=0.9),
        (line(2.6, 6.4, 6.6, 7.2, 0.7), ruled), (line(2.6, 8.6, 6.6, 9.4, 0.7), ruled),
        (line(9.4, 7.2, 13.4, 6.4, 0.7), ruled), (line(9.4, 9.4, 13.4, 8.6, 0.7), ruled)]


def yawning():
    return face(YELLOW) + [
        (arc(5.8, 6.6, 1.5, 1.1, 20, 160), INK), (arc(10.2, 6.6, 1.5, 1.1, 20, 160), INK),
        (ellipse(8, 11.2, 1.9, 2.3), MOUTH)]


XSTATUS_PICTURES = [
    angry, bath, tired, party, beer, thinking, eating, tv, meeting, coffee, music, todo, cinema,
    laughing, telephone, gaming, studying, shopping, ill, sleeping, resting, internet, working,
    typing, picnic, handheld, mobile, yawning, wc, question, travelling, love, searching, rulove,
    reading,
]


# --- Button glyphs: langbutton and hpbutton. -------------------------------


def language():
    bubble = union(box(0.5, 1.5, 15.5, 11.5, 2.5), polygon([(3.5, 10), (7.5, 10), (3, 14.8)]))
    return outlined(bubble, (60, 120, 210), w=0.9) + [(text("AЯ", 4, 4, FONT3x5), WHITE)]


def home_page():
    red = (205, 55, 50)
    return [
        *outlined(box(10.6, 2.4, 12.8, 6.5), red, w=0.9),
        *outlined(box(2.6, 7.5, 13.4, 14.6), (246, 226, 182), w=0.9),
        *outlined(polygon([(8, 1), (15.4, 8.2), (0.6, 8.2)]), red, w=0.9),
        (box(6.6, 10, 9.4, 14.6), (140, 85, 45))]


BUTTON_GLYPHS = [language, home_page]


# --- Files -----------------------------------------------------------------


def bmp_bytes(rows):
    """A 32-bit BI_RGB BMP, bottom-up, the fourth byte of each pixel its alpha."""
    width, height = len(rows[0]), len(rows)
    pixels = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            pixels += bytes((b, g, r, a))
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(pixels), 0, 0, 14 + 40)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 32, 0, len(pixels), 2835, 2835, 0, 0)
    return header + info + bytes(pixels)


def draw_all():
    return {
        "player_icons.bmp": strip([render(player_icon(i, m), 32) for i, m in enumerate(PLAYER_MONOGRAMS)]
                                  + [render(media_session_icon(), 32)]),
        "xstatus_pictures.bmp": strip([render(f(), 16) for f in XSTATUS_PICTURES]),
        "button_glyphs.bmp": strip([render(f(), 16) for f in BUTTON_GLYPHS]),
    }


def over(pixel, background):
    r, g, b, a = pixel
    t = a / 255
    return tuple(int(round(c * t + k * (1 - t))) for c, k in zip((r, g, b), background))


def png_bytes(rows):
    raw = b"".join(b"\0" + bytes(c for p in row for c in p) for row in rows)
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    ihdr = struct.pack(">IIBBBBB", len(rows[0]), len(rows), 8, 2, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def contact_sheet(strips):
    """The pictures magnified on white and at their own size on white and on
    the button face grey, as the dialog shows them."""
    face, pad = (240, 240, 240), 8
    sections = [("player_icons.bmp", 32, 3, 10), ("xstatus_pictures.bmp", 16, 5, 12),
                ("button_glyphs.bmp", 16, 5, 12)]
    width = 2 * pad + 12 * (16 * 5 + pad)
    canvas = []

    def band(height, colour):
        return [[colour] * width for _ in range(height)]

    def paste(block, x0, y0, picture, scale, background):
        for y, row in enumerate(picture):
            for x, p in enumerate(row):
                c = over(p, background)
                for dy in range(scale):
                    for dx in range(scale):
                        block[y0 + y * scale + dy][x0 + x * scale + dx] = c

    for name, size, scale, per_row in sections:
        rows = strips[name]
        count = len(rows[0]) // size
        pictures = [[row[i * size:(i + 1) * size] for row in rows] for i in range(count)]
        cell = size * scale + pad
        lines = (count + per_row - 1) // per_row
        block = band(pad + lines * cell, WHITE)
        for i, p in enumerate(pictures):
            paste(block, pad + (i % per_row) * cell, pad + (i // per_row) * cell, p, scale, WHITE)
        canvas += block
        for background in (WHITE, face):
            block = band(size + pad, background)
            for i, p in enumerate(pictures):
                paste(block, pad + i * (size + 4), pad // 2, p, 1, background)
            canvas += block
        canvas += band(2, (200, 200, 205))
    return canvas


def main(argv):
    args = argv[1:]
    strips = draw_all()
    if args[:1] == ["--sheet"]:
        Path(args[1]).write_bytes(png_bytes(contact_sheet(strips)))
        return 0
    check = args[:1] == ["--check"]
    folder = Path(args[1 if check else 0]) if len(args) > check else DEFAULT_DIR
    status = 0
    for name, rows in strips.items():
        target, data = folder / name, bmp_bytes(rows)
        if check:
            if not target.is_file() or target.read_bytes() != data:
                print(f"{target} differs from what {Path(__file__).name} draws; run it to remake the pictures")
                status = 1
        else:
            target.write_bytes(data)
            print(target)
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv))
