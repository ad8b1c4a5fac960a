#!/usr/bin/env python3
"""Draw the pictures of the model libraries' resource scripts.

Writes, byte for byte the same on every run:
  products/common/fold.bmp   bitmap 1223: 22 x 17, 24 bits; a fan-folded sheet.
                             Magenta (FF00FF) is the transparent colour: the
                             options tab masks it out when it paints.
  products/common/info.ico   icon 10005: one 13 x 13 image, 16 colours, with
                             its AND mask; an information sign.
  products/<set>/about.bmp   bitmap 2406: 496 x 328, 8 bits with a palette;
                             the set's printer as a line drawing. The about
                             box writes its texts in white onto the lower part,
                             so that part stays dark and empty.

Standard library only, so that any machine that builds can redraw them.
Usage: tools/mkpictures.py [repository root]   (default: the parent of tools/)
"""

import os
import struct
import sys


# --------------------------------------------------------------------------
# A tiny canvas: a grid of colour indices or RGB tuples.
# --------------------------------------------------------------------------

class Canvas:
    def __init__(self, width, height, fill):
        self.width = width
        self.height = height
        self.px = [[fill] * width for _ in range(height)]

    def set(self, x, y, c):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.px[y][x] = c

    def get(self, x, y):
        return self.px[y][x]

    def fill_rect(self, x0, y0, x1, y1, c):
        """Fill the rectangle with corners (x0, y0) and (x1, y1) inclusive."""
        for y in range(max(y0, 0), min(y1, self.height - 1) + 1):
            row = self.px[y]
            for x in range(max(x0, 0), min(x1, self.width - 1) + 1):
                row[x] = c

    def line(self, x0, y0, x1, y1, c, width=1):
        """Bresenham line drawn with a square pen of the given width."""
        dx, dy = abs(x1 - x0), -abs(y1 - y0)
        sx, sy = (1 if x0 < x1 else -1), (1 if y0 < y1 else -1)
        err = dx + dy
        lo = -((width - 1) // 2)
        hi = width // 2
        while True:
            self.fill_rect(x0 + lo, y0 + lo, x0 + hi, y0 + hi, c)
            if x0 == x1 and y0 == y1:
                break
            e2 = 2 * err
            if e2 >= dy:
                err += dy
                x0 += sx
            if e2 <= dx:
                err += dx
                y0 += sy

    def polyline(self, points, c, width=1, closed=False):
        pts = list(points) + ([points[0]] if closed else [])
        for (xa, ya), (xb, yb) in zip(pts, pts[1:]):
            self.line(xa, ya, xb, yb, c, width)

    def fill_polygon(self, points, c):
        """Even-odd scanline fill, sampling pixel centres."""
        ys = [p[1] for p in points]
        n = len(points)
        for y in range(max(min(ys), 0), min(max(ys), self.height - 1) + 1):
            yc = y + 0.5
            xs = []
            for i in range(n):
                (xa, ya), (xb, yb) = points[i], points[(i + 1) % n]
                if (ya <= yc) != (yb <= yc):
                    xs.append(xa + (yc - ya) * (xb - xa) / (yb - ya))
            xs.sort()
            for xl, xr in zip(xs[0::2], xs[1::2]):
                for x in range(int(xl + 0.5), int(xr + 0.5)):
                    self.set(x, y, c)

    def round_rect(self, x0, y0, x1, y1, r, fill, outline, width=2):
        """Rounded rectangle: filled, then outlined inside its bounds."""
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                d = _corner_distance(x, y, x0, y0, x1, y1, r)
                if d <= r:
                    self.set(x, y, outline if d > r - width else fill)
        self.fill_rect(x0 + r, y0, x1 - r, y0 + width - 1, outline)
        self.fill_rect(x0 + r, y1 - width + 1, x1 - r, y1, outline)
        self.fill_rect(x0, y0 + r, x0 + width - 1, y1 - r, outline)
        self.fill_rect(x1 - width + 1, y0 + r, x1, y1 - r, outline)

    def disc(self, cx, cy, r, fill, outline=None, width=2):
        for y in range(cy - r, cy + r + 1):
            for x in range(cx - r, cx + r + 1):
                d2 = (x - cx) ** 2 + (y - cy) ** 2
                if d2 <= r * r + r:
                    inner = (r - width) ** 2 + (r - width)
                    self.set(x, y, fill if outline is None or d2 <= inner else outline)


def _corner_distance(x, y, x0, y0, x1, y1, r):
    """Distance used to round the corners; 0 away from them."""
    cx = x0 + r if x < x0 + r else (x1 - r if x > x1 - r else x)
    cy = y0 + r if y < y0 + r else (y1 - r if y > y1 - r else y)
    if cx == x and cy == y:
        return 0
    return ((x - cx) ** 2 + (y - cy) ** 2) ** 0.5


# --------------------------------------------------------------------------
# Block lettering: 5 x 7 cells, scaled up.
# --------------------------------------------------------------------------

GLYPHS = {
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "E": ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
    "I": ["11111", "00100", "00100", "00100", "00100", "00100", "11111"],
    "K": ["10001", "10010", "10100", "11000", "10100", "10010", "10001"],
    "L": ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
    "M": ["10001", "11011", "10101", "10101", "10001", "10001", "10001"],
    "N": ["10001", "11001", "10101", "10011", "10001", "10001", "10001"],
    "O": ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    "P": ["11110", "10001", "10001", "11110", "10000", "10000", "10000"],
    "R": ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    "S": ["01111", "10000", "10000", "01110", "00001", "00001", "11110"],
    "T": ["11111", "00100", "00100", "00100", "00100", "00100", "00100"],
    "V": ["10001", "10001", "10001", "10001", "10001", "01010", "00100"],
    "W": ["10001", "10001", "10001", "10101", "10101", "10101", "01010"],
    " ": ["00000"] * 7,
}


def text_width(text, scale):
    return (len(text) * 6 - 1) * scale


def draw_text(canvas, x, y, text, scale, c):
    for ch in text:
        for row, bits in enumerate(GLYPHS[ch]):
            for col, bit in enumerate(bits):
                if bit == "1":
                    canvas.fill_rect(x + col * scale, y + row * scale,
                                     x + (col + 1) * scale - 1,
                                     y + (row + 1) * scale - 1, c)
        x += 6 * scale


# --------------------------------------------------------------------------
# File writers.
# --------------------------------------------------------------------------

def bitmap_info_header(width, height, bits, image_size, colours):
    # 3780 pixels per metre is 96 dots per inch.
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0,
                       image_size, 3780, 3780, colours, 0)


def bmp_file(info_and_palette, pixels):
    offset = 14 + len(info_and_palette)
    head = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return head + info_and_palette + pixels


def rgb24_rows(canvas):
    """Bottom-up rows of B, G, R bytes, each padded to 4 bytes."""
    out = bytearray()
    pad = (-canvas.width * 3) % 4
    for y in range(canvas.height - 1, -1, -1):
        for (r, g, b) in canvas.px[y]:
            out += bytes((b, g, r))
        out += b"\0" * pad
    return bytes(out)


def indexed_rows(canvas, bits):
    """Bottom-up rows of colour indices packed at 4 or 8 bits, padded."""
    out = bytearray()
    for y in range(canvas.height - 1, -1, -1):
        row = canvas.px[y]
        if bits == 8:
            line = bytearray(row)
        else:
            line = bytearray()
            for x in range(0, canvas.width, 2):
                hi = row[x]
                lo = row[x + 1] if x + 1 < canvas.width else 0
                line.append((hi << 4) | lo)
        line += b"\0" * ((-len(line)) % 4)
        out += line
    return bytes(out)


def palette_bytes(colours, count):
    out = bytearray()
    for i in range(count):
        r, g, b = colours[i] if i < len(colours) else (0, 0, 0)
        out += bytes((b, g, r, 0))
    return bytes(out)


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


# --------------------------------------------------------------------------
# Bitmap 1223: the fold picture.
# --------------------------------------------------------------------------

MAGENTA = (255, 0, 255)


def fold_bitmap():
    """A fan-folded sheet seen from the side: three panels in a zig-zag."""
    black, white, shade = (0, 0, 0), (255, 255, 255), (192, 192, 192)
    c = Canvas(22, 17, MAGENTA)
    top = [(1, 5), (7, 1), (14, 5), (20, 1)]
    depth = 10
    for i in range(3):
        (xa, ya), (xb, yb) = top[i], top[i + 1]
        # Column by column, so the fill meets the outline without gaps.
        # Panels that face away from the viewer are shaded.
        for x in range(xa, xb + 1):
            y = ya + round((x - xa) * (yb - ya) / (xb - xa))
            c.fill_rect(x, y, x, y + depth, shade if i % 2 else white)
    for i in range(3):
        (xa, ya), (xb, yb) = top[i], top[i + 1]
        c.line(xa, ya, xb, yb, black)
        c.line(xa, ya + depth, xb, yb + depth, black)
    for (x, y) in top:
        c.line(x, y, x, y + depth, black)
    info = bitmap_info_header(c.width, c.height, 24, ((c.width * 3 + 3) // 4 * 4) * c.height, 0)
    return bmp_file(info, rgb24_rows(c))


# --------------------------------------------------------------------------
# Icon 10005: information sign.
# --------------------------------------------------------------------------

# The 16-colour palette every 4-bit icon uses.
VGA16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
NAVY, BLUE, WHITE = 4, 12, 15

INFO_GLYPH = [  # the white "i", rows 0 to 12
    ".............",
    ".............",
    "......#......",
    "......#......",
    ".............",
    ".....##......",
    "......#......",
    "......#......",
    "......#......",
    "......#......",
    ".....###.....",
    ".............",
    ".............",
]


def info_icon():
    size = 13
    colour = Canvas(size, size, 0)
    mask = Canvas(size, size, 1)  # 1: transparent
    centre = (size - 1) / 2.0
    for y in range(size):
        for x in range(size):
            d = ((x - centre) ** 2 + (y - centre) ** 2) ** 0.5
            if d <= 6.4:
                mask.set(x, y, 0)
                colour.set(x, y, NAVY if d > 5.4 else BLUE)
            if INFO_GLYPH[y][x] == "#":
                colour.set(x, y, WHITE)

    xor = indexed_rows(colour, 4)
    and_rows = bytearray()
    for y in range(size - 1, -1, -1):
        bits = 0
        for x in range(size):
            bits = (bits << 1) | mask.get(x, y)
        bits <<= 32 - size
        and_rows += struct.pack(">I", bits)
    image = (bitmap_info_header(size, size * 2, 4, len(xor) + len(and_rows), 0)
             + palette_bytes(VGA16, 16) + xor + bytes(and_rows))
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


# --------------------------------------------------------------------------
# Bitmap 2406: the about picture, one per model set.
# --------------------------------------------------------------------------

ABOUT_W, ABOUT_H = 496, 328
GRADIENT = 64                 # palette 0..63: the background, top to bottom
LINE, BODY, COVER, PAPER, ACCENT, DARK, SCREEN = range(GRADIENT, GRADIENT + 7)


def about_palette():
    top, bottom = (30, 58, 100), (8, 18, 38)
    colours = []
    for i in range(GRADIENT):
        t = i / (GRADIENT - 1)
        colours.append(tuple(round(a + (b - a) * t) for a, b in zip(top, bottom)))
    colours += [
        (222, 234, 246),  # LINE: the drawing's strokes
        (46, 78, 122),    # BODY
        (58, 94, 142),    # COVER
        (238, 242, 248),  # PAPER
        (72, 172, 214),   # ACCENT
        (16, 30, 52),     # DARK: slots, feet
        (126, 206, 170),  # SCREEN: the panel display
    ]
    return colours


# Per set: the name in the lettering and how many roll units the printer has.
MODELS = {
    "oskel": ("OSKEL", 1),
    "tavrin": ("TAVRIN", 2),
    "merrow": ("MERROW", 2),
    "pellin": ("PELLIN", 1),
}


def about_bitmap(model_name, rolls):
    c = Canvas(ABOUT_W, ABOUT_H, 0)
    for y in range(ABOUT_H):
        c.fill_rect(0, y, ABOUT_W - 1, y, y * GRADIENT // ABOUT_H)

    # Header: maker and model.
    draw_text(c, 20, 14, "KORVANE", 2, LINE)
    draw_text(c, ABOUT_W - 20 - text_width(model_name, 3), 10, model_name, 3, ACCENT)

    left, right = 64, 432
    # Roll paper cover, the printer body and its operation panel.
    c.round_rect(left + 16, 42, right - 16, 66, 10, COVER, LINE)
    c.line(left + 30, 52, right - 30, 52, LINE)
    c.round_rect(left, 64, right, 122, 4, BODY, LINE)
    c.round_rect(right - 58, 72, right - 10, 100, 3, DARK, LINE)
    c.fill_rect(right - 52, 77, right - 26, 85, SCREEN)
    for i in range(3):
        x = right - 52 + i * 10
        c.fill_rect(x, 91, x + 5, 95, LINE)
    c.disc(right - 17, 81, 3, ACCENT)
    draw_text(c, left + 18, 74, "VASTRELO", 2, LINE)

    # Further roll units hang under the body, between the legs.
    y = 122
    for _ in range(rolls - 1):
        c.round_rect(left + 44, y, right - 44, y + 18, 3, COVER, LINE)
        c.fill_rect(left + 150, y + 8, left + 190, y + 10, LINE)
        c.fill_rect(right - 190, y + 8, right - 150, y + 10, LINE)
        y += 18

    # Stand: two legs, a cross bar, feet and casters.
    for lx in (left + 24, right - 36):
        c.round_rect(lx, 122, lx + 12, 168, 2, BODY, LINE)
        c.round_rect(lx - 26, 166, lx + 38, 172, 2, DARK, LINE)
        c.disc(lx - 18, 177, 4, DARK, LINE)
        c.disc(lx + 30, 177, 4, DARK, LINE)
    c.fill_rect(left + 36, 156, right - 36, 159, LINE)

    # Output slot with a printed sheet hanging in front of everything: a
    # plan drawing, the kind of job these printers are made for.
    c.fill_rect(left + 18, 104, right - 72, 107, DARK)
    sx0, sx1, sy0, sy1 = left + 110, right - 130, 106, 150
    c.fill_rect(sx0, sy0, sx1, sy1, PAPER)
    c.polyline([(sx0, sy0), (sx1, sy0), (sx1, sy1), (sx0, sy1)], LINE, closed=True)
    c.polyline([(sx0 + 8, sy0 + 8), (sx0 + 60, sy0 + 8), (sx0 + 60, sy1 - 8),
                (sx0 + 8, sy1 - 8)], BODY, closed=True)
    c.line(sx0 + 34, sy0 + 8, sx0 + 34, sy1 - 8, BODY)
    c.line(sx0 + 8, sy0 + 22, sx0 + 34, sy0 + 22, BODY)
    for i in range(3):
        y = sy0 + 10 + i * 7
        c.line(sx0 + 70, y, sx1 - 10, y, COVER)
    c.fill_rect(sx0 + 70, sy1 - 14, sx1 - 10, sy1 - 8, ACCENT)

    # Where the picture ends and the about box's texts begin.
    c.fill_rect(20, 190, ABOUT_W - 21, 191, ACCENT)

    colours = about_palette()
    pixels = indexed_rows(c, 8)
    info = bitmap_info_header(ABOUT_W, ABOUT_H, 8, len(pixels), 256)
    return bmp_file(info + palette_bytes(colours, 256), pixels)


def main(argv):
    root = argv[1] if len(argv) > 1 else os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    products = os.path.join(root, "products")
    write(os.path.join(products, "common", "fold.bmp"), fold_bitmap())
    write(os.path.join(products, "common", "info.ico"), info_icon())
    for name, (lettering, rolls) in sorted(MODELS.items()):
        write(os.path.join(products, name, "about.bmp"), about_bitmap(lettering, rolls))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
