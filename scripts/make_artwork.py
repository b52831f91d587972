#!/usr/bin/env python3
"""Regenerate Tavorin's toolbar glyphs (data/glyphs/*.bmp) and its icon in the
hicolor theme's sizes and as SVG (data/icons/hicolor/*/apps/tavorin.*).

Standard library only; the output is byte-for-byte deterministic.
Usage: scripts/make_artwork.py [--sheet out.ppm | --out DIR]
"""

import math
import os
import struct
import sys
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SIZE = 25

# The program treats the bottom-left colour as transparent, so it must never
# appear inside a drawing; pure magenta is used for nothing else.
KEY = (255, 0, 255)

BLACK = (0, 0, 0)
WHITE = (255, 255, 255)


class Canvas:
    """A top-down RGB pixel grid; shapes are hard-edged (no blending) so
    nothing near the transparent key colour can appear at the edges."""

    def __init__(self, w, h, fill):
        self.w, self.h = w, h
        self.px = [[fill] * w for _ in range(h)]

    def set(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = c

    def get(self, x, y):
        return self.px[y][x]

    def fill_where(self, inside, c):
        # Sample each pixel at its centre.
        for y in range(self.h):
            for x in range(self.w):
                if inside(x + 0.5, y + 0.5):
                    self.px[y][x] = c

    def polygon(self, pts, c):
        self.fill_where(lambda x, y: point_in_polygon(x, y, pts), c)

    def rect(self, x0, y0, x1, y1, c):
        """Fill pixels x0..x1-1, y0..y1-1."""
        for y in range(max(0, y0), min(self.h, y1)):
            for x in range(max(0, x0), min(self.w, x1)):
                self.px[y][x] = c

    def disc(self, cx, cy, r, c):
        self.fill_where(lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r, c)

    def ring(self, cx, cy, r_in, r_out, c, keep=lambda deg: True):
        """Annulus; keep(deg) selects angles, measured counter-clockwise
        from east with y pointing up, in [0, 360)."""
        def inside(x, y):
            d2 = (x - cx) ** 2 + (y - cy) ** 2
            if not r_in * r_in <= d2 <= r_out * r_out:
                return False
            return keep(math.degrees(math.atan2(cy - y, x - cx)) % 360.0)
        self.fill_where(inside, c)

    def line(self, x0, y0, x1, y1, width, c):
        """Thick segment with square ends, as a polygon."""
        dx, dy = x1 - x0, y1 - y0
        n = math.hypot(dx, dy)
        ox, oy = -dy / n * width / 2, dx / n * width / 2
        self.polygon([(x0 + ox, y0 + oy), (x1 + ox, y1 + oy),
                      (x1 - ox, y1 - oy), (x0 - ox, y0 - oy)], c)

    def pattern(self, x0, y0, rows, c):
        for j, row in enumerate(rows):
            for i, ch in enumerate(row):
                if ch != ".":
                    self.set(x0 + i, y0 + j, c)

    def outline(self, body, c):
        """Paint c on background pixels 4-adjacent to any pixel in body."""
        hits = []
        for y in range(self.h):
            for x in range(self.w):
                if self.px[y][x] != KEY:
                    continue
                for nx, ny in ((x - 1, y), (x + 1, y), (x, y - 1), (x, y + 1)):
                    if 0 <= nx < self.w and 0 <= ny < self.h and self.px[ny][nx] in body:
                        hits.append((x, y))
                        break
        for x, y in hits:
            self.px[y][x] = c

    def shadow(self, body, c, dx=1, dy=1):
        """Drop shadow: background pixels whose up-left neighbour is in body."""
        hits = []
        for y in range(self.h):
            for x in range(self.w):
                sx, sy = x - dx, y - dy
                if (self.px[y][x] == KEY and 0 <= sx < self.w and 0 <= sy < self.h
                        and self.px[sy][sx] in body):
                    hits.append((x, y))
        for x, y in hits:
            self.px[y][x] = c


def point_in_polygon(x, y, pts):
    inside = False
    n = len(pts)
    for i in range(n):
        x0, y0 = pts[i]
        x1, y1 = pts[(i + 1) % n]
        if (y0 > y) != (y1 > y):
            xc = x0 + (y - y0) * (x1 - x0) / (y1 - y0)
            if x < xc:
                inside = not inside
    return inside


# ---------------------------------------------------------------- glyphs

def glyph_back():
    cv = Canvas(SIZE, SIZE, KEY)
    cv.polygon([(2, 12.5), (12, 2.5), (12, 8.5), (22.5, 8.5),
                (22.5, 16.5), (12, 16.5), (12, 22.5)], BLACK)
    return cv


def glyph_forward():
    cv = glyph_back()
    cv.px = [list(reversed(row)) for row in cv.px]
    return cv


def glyph_home():
    cv = Canvas(SIZE, SIZE, KEY)
    grass = (40, 150, 40)
    # Tree behind the house's right side.
    trunk = (120, 72, 30)
    cv.rect(18, 12, 21, 22, trunk)
    leaves = (20, 120, 30)
    leaves_dark = (10, 80, 20)
    cv.disc(19.0, 8.5, 5.0, leaves_dark)
    cv.disc(19.0, 8.5, 4.1, leaves)
    cv.disc(17.8, 7.0, 1.3, (90, 180, 70))
    # House.
    wall = (245, 225, 170)
    dark = (60, 40, 20)
    cv.rect(2, 11, 15, 22, dark)
    cv.rect(3, 11, 14, 21, wall)
    roof = (200, 40, 30)
    cv.rect(10, 3, 13, 8, dark)  # chimney, partly hidden by the roof
    cv.rect(11, 4, 12, 8, roof)
    cv.polygon([(0.5, 11.5), (8.5, 3), (16.5, 11.5)], dark)
    cv.polygon([(2.3, 10.6), (8.5, 4.4), (14.7, 10.6)], roof)
    cv.rect(5, 15, 8, 21, (140, 80, 35))  # door
    cv.set(7, 18, (250, 210, 60))  # door knob
    cv.rect(9, 13, 13, 17, dark)  # window frame
    cv.rect(10, 14, 12, 16, (120, 190, 240))
    # Ground line under both.
    cv.rect(1, 21, 24, 23, grass)
    cv.rect(2, 21, 15, 22, dark)
    cv.rect(18, 21, 21, 22, trunk)
    return cv


def glyph_stop():
    cv = Canvas(SIZE, SIZE, KEY)
    cx = cy = 12.5

    def octagon(apothem):
        r = apothem / math.cos(math.pi / 8)
        return [(cx + r * math.cos(math.pi / 8 + k * math.pi / 4),
                 cy + r * math.sin(math.pi / 8 + k * math.pi / 4)) for k in range(8)]

    cv.polygon(octagon(12.0), (110, 0, 0))
    cv.polygon(octagon(11.0), WHITE)
    cv.polygon(octagon(9.9), (210, 20, 20))
    font = {
        "S": ["###", "#..", "###", "..#", "###"],
        "T": ["###", ".#.", ".#.", ".#.", ".#."],
        "O": ["###", "#.#", "#.#", "#.#", "###"],
        "P": ["###", "#.#", "###", "#..", "#.."],
    }
    for i, ch in enumerate("STOP"):
        cv.pattern(5 + 4 * i, 10, font[ch], WHITE)
    return cv


def glyph_refresh():
    cv = Canvas(SIZE, SIZE, KEY)
    frame = (40, 40, 60)
    cv.rect(1, 2, 24, 23, frame)
    cv.rect(2, 3, 23, 6, (40, 90, 190))  # title bar
    cv.rect(20, 4, 22, 5, WHITE)  # close box hint
    cv.rect(2, 6, 23, 22, WHITE)
    green = (20, 140, 40)
    cx, cy = 12.5, 14.0
    # Two arcs, each ending in an arrowhead, chasing each other clockwise.
    cv.ring(cx, cy, 3.4, 5.4, green, keep=lambda d: 50 <= d <= 170 or 230 <= d <= 350)

    def head(deg):
        # Arrowhead at the clockwise end of an arc, pointing clockwise.
        a = math.radians(deg)
        px, py = cx + 4.4 * math.cos(a), cy - 4.4 * math.sin(a)
        # Unit radial (out) and clockwise tangent vectors in screen space.
        rx, ry = math.cos(a), -math.sin(a)
        tx, ty = math.sin(a), math.cos(a)
        cv.polygon([(px + 3.3 * rx, py + 3.3 * ry),
                    (px - 3.3 * rx, py - 3.3 * ry),
                    (px + 4.2 * tx, py + 4.2 * ty)], green)

    head(50)
    head(230)
    return cv


def glyph_yahoo():
    cv = Canvas(SIZE, SIZE, KEY)
    red = (215, 0, 30)
    # Y: two arms meeting above a stem.
    cv.polygon([(0.5, 3), (6.5, 3), (10, 9.5), (13.5, 3), (18.5, 3),
                (12.5, 14), (12.5, 21), (7.5, 21), (7.5, 14)], red)
    # Exclamation mark.
    cv.polygon([(19, 3), (23.5, 3), (22.5, 15.5), (20, 15.5)], red)
    cv.rect(19, 18, 23, 22, red)
    cv.shadow({red}, (110, 0, 20))
    return cv


def glyph_google():
    cv = Canvas(SIZE, SIZE, KEY)
    blue = (30, 100, 220)
    red = (220, 50, 40)
    yellow = (240, 180, 0)
    green = (30, 150, 70)
    # Thin frame: each side in its own colour.
    cv.rect(1, 1, 24, 2, blue)
    cv.rect(23, 1, 24, 24, red)
    cv.rect(1, 23, 24, 24, yellow)
    cv.rect(1, 1, 2, 24, green)
    cv.set(1, 1, blue)
    cv.set(23, 1, blue)
    cv.set(23, 23, red)
    cv.set(1, 23, green)
    # The G: a thick ring open in its upper right, plus the crossbar.
    cx = cy = 12.5
    cv.ring(cx, cy, 4.8, 8.3, blue, keep=lambda d: not (0 < d < 50))
    cv.rect(13, 11, 21, 14, blue)
    return cv


GLYPHS = {
    "back": glyph_back,
    "forward": glyph_forward,
    "home": glyph_home,
    "stop": glyph_stop,
    "refresh": glyph_refresh,
    "yahoo": glyph_yahoo,
    "google": glyph_google,
}


def bmp_bytes(cv):
    row = (cv.w * 3 + 3) & ~3
    image = bytearray()
    for y in range(cv.h - 1, -1, -1):  # bottom-up
        line = bytearray()
        for r, g, b in cv.px[y]:
            line += bytes((b, g, r))
        line += b"\0" * (row - len(line))
        image += line
    info = struct.pack("<IiiHHIIiiII", 40, cv.w, cv.h, 1, 24, 0, len(image),
                       2835, 2835, 0, 0)
    head = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(image), 0, 0, 14 + len(info))
    return head + info + bytes(image)


# ------------------------------------------------------------------ icon

# The icon, drawn once on a 32-unit grid and made from that into bitmaps of
# every size and the scalable SVG. Shapes are painted in order, later on top.
ICON_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)
ICON_GRID = 32.0
TILE = (1.0, 1.0, 31.0, 31.0, 6.0)  # x0, y0, x1, y1, corner radius
TILE_TOP, TILE_BOTTOM = (40, 110, 210), (70, 150, 180)  # vertical gradient
BAG_TOP, BAG_BOTTOM = 11.0, 28.5


def bag_half_width(y):
    return 9.0 + 1.5 * (y - BAG_TOP) / (BAG_BOTTOM - BAG_TOP)


def bag(inset):
    """The tapered shopping bag, `inset` units inside its outline."""
    top, bottom = BAG_TOP + inset, BAG_BOTTOM - inset
    ht, hb = bag_half_width(top) - inset, bag_half_width(bottom) - inset
    return [(16 - ht, top), (16 + ht, top), (16 + hb, bottom), (16 - hb, bottom)]


HANDLE = (16.0, 11.5, 4.2, 6.2)  # centre x, y, inner and outer radius; upper half

ICON_SHAPES = [
    ("polygon", bag(0.0), (200, 80, 10)),
    ("polygon", bag(1.0), (250, 150, 40)),
    ("handle", HANDLE, (120, 50, 10)),
    ("polygon", [(10, 13), (22, 13), (22, 16), (10, 16)], WHITE),
    ("polygon", [(14, 13), (18, 13), (18, 26), (14, 26)], WHITE),
]


def in_tile(x, y):
    x0, y0, x1, y1, r = TILE
    if not (x0 <= x <= x1 and y0 <= y <= y1):
        return False
    dx = max(x0 + r - x, 0.0, x - (x1 - r))
    dy = max(y0 + r - y, 0.0, y - (y1 - r))
    return dx * dx + dy * dy <= r * r


def tile_colour(y):
    t = (y - TILE[1]) / (TILE[3] - TILE[1])
    return tuple(round(a + (b - a) * t) for a, b in zip(TILE_TOP, TILE_BOTTOM))


def in_shape(kind, data, x, y):
    if kind == "polygon":
        return point_in_polygon(x, y, data)
    cx, cy, r_in, r_out = data
    d2 = (x - cx) ** 2 + (y - cy) ** 2
    return y < cy and r_in * r_in <= d2 <= r_out * r_out


def icon_colour(x, y):
    """RGBA of the icon at a point of the grid."""
    if not in_tile(x, y):
        return None
    c = tile_colour(y)
    for kind, data, colour in ICON_SHAPES:
        if in_shape(kind, data, x, y):
            c = colour
    return c


def icon_pixels(n):
    """n x n RGBA, supersampled so that edges are smooth at every size."""
    ss = 4 if n <= 64 else 2
    unit = ICON_GRID / n
    out = []
    for py in range(n):
        row = []
        for px in range(n):
            acc, hits = [0, 0, 0], 0
            for sy in range(ss):
                for sx in range(ss):
                    c = icon_colour((px + (sx + 0.5) / ss) * unit, (py + (sy + 0.5) / ss) * unit)
                    if c is not None:
                        hits += 1
                        for i in range(3):
                            acc[i] += c[i]
            if hits == 0:
                row.append((0, 0, 0, 0))
            else:
                rgb = tuple((a + hits // 2) // hits for a in acc)
                row.append(rgb + ((255 * hits + ss * ss // 2) // (ss * ss),))
        out.append(row)
    return out


def icon_svg():
    """The same drawing as a scalable image."""
    def hexc(c):
        return "#%02x%02x%02x" % c

    def num(v):
        return ("%.4f" % v).rstrip("0").rstrip(".")

    x0, y0, x1, y1, r = TILE
    lines = [
        '<?xml version="1.0" encoding="UTF-8"?>',
        '<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" viewBox="0 0 %d %d">'
        % ((int(ICON_GRID),) * 4),
        "  <title>Tavorin</title>",
        '  <defs><linearGradient id="tile" x1="0" y1="%s" x2="0" y2="%s" '
        'gradientUnits="userSpaceOnUse"><stop offset="0" stop-color="%s"/>'
        '<stop offset="1" stop-color="%s"/></linearGradient></defs>'
        % (num(y0), num(y1), hexc(TILE_TOP), hexc(TILE_BOTTOM)),
        '  <rect x="%s" y="%s" width="%s" height="%s" rx="%s" fill="url(#tile)"/>'
        % (num(x0), num(y0), num(x1 - x0), num(y1 - y0), num(r)),
    ]
    for kind, data, colour in ICON_SHAPES:
        if kind == "polygon":
            pts = " ".join("%s,%s" % (num(x), num(y)) for x, y in data)
            lines.append('  <polygon points="%s" fill="%s"/>' % (pts, hexc(colour)))
        else:
            cx, cy, r_in, r_out = data
            d = "M %s %s A %s %s 0 0 1 %s %s L %s %s A %s %s 0 0 0 %s %s Z" % (
                num(cx - r_out), num(cy), num(r_out), num(r_out), num(cx + r_out), num(cy),
                num(cx + r_in), num(cy), num(r_in), num(r_in), num(cx - r_in), num(cy))
            lines.append('  <path d="%s" fill="%s"/>' % (d, hexc(colour)))
    lines.append("</svg>")
    return ("\n".join(lines) + "\n").encode()


def png_bytes(px):
    h, w = len(px), len(px[0])
    raw = bytearray()
    for row in px:
        raw.append(0)  # filter: none
        for c in row:
            raw += bytes(c)

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    channels = len(px[0][0])
    ihdr = struct.pack(">IIBBBBB", w, h, 8, 6 if channels == 4 else 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr)
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def icon_files():
    """Icon theme path under data/icons -> bytes."""
    files = {"hicolor/scalable/apps/tavorin.svg": icon_svg()}
    for n in ICON_SIZES:
        files["hicolor/%dx%d/apps/tavorin.png" % (n, n)] = png_bytes(icon_pixels(n))
    return files


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def contact_sheet(canvases, scale=8, gap=8):
    """Enlarged preview (PPM) of all glyphs, for eyeballing only."""
    cell = SIZE * scale
    w = len(canvases) * (cell + gap) + gap
    h = cell + 2 * gap
    img = [[(90, 90, 90)] * w for _ in range(h)]
    for i, cv in enumerate(canvases):
        ox = gap + i * (cell + gap)
        for y in range(cell):
            for x in range(cell):
                c = cv.px[y // scale][x // scale]
                if c == KEY:  # show transparency as a checkerboard
                    c = (200, 200, 200) if ((x // 8 + y // 8) % 2) else (235, 235, 235)
                img[gap + y][ox + x] = c
    body = b"".join(bytes(c) for row in img for c in row)
    return b"P6\n%d %d\n255\n" % (w, h) + body


def main(argv):
    """Writes the artwork into the source tree, or with --out DIR into DIR
    (glyphs/, icons/), so that a test can compare it with the tree."""
    out = os.path.join(ROOT, "data")
    if len(argv) == 3 and argv[1] == "--out":
        out = os.path.abspath(argv[2])
    canvases = []
    for name, draw in GLYPHS.items():
        cv = draw()
        assert cv.get(0, SIZE - 1) == KEY, name
        canvases.append(cv)
        write(os.path.join(out, "glyphs", name + ".bmp"), bmp_bytes(cv))
    for path, data in icon_files().items():
        write(os.path.join(out, "icons", path), data)
    if len(argv) == 3 and argv[1] == "--sheet":
        write(os.path.abspath(argv[2]), contact_sheet(canvases))


if __name__ == "__main__":
    main(sys.argv)
