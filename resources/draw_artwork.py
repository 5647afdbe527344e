#!/usr/bin/env python3
"""Draws the program's artwork: the application icon (101), the reveal icon (103) and the
log-in page logo (102).

    python3 resources/draw_artwork.py [output-folder]

Shapes are drawn here with the standard library (supersampled for smooth edges); the logo's
words are rendered by ImageMagick's `convert` from the DejaVu Sans faces. The output is
committed, so a build never needs this script; run it again after changing the artwork.
"""

import math
import struct
import subprocess
import sys
import zlib
from pathlib import Path

SUPERSAMPLE = 4
BLUE_TOP = (20, 132, 206)
BLUE_BOTTOM = (9, 74, 138)


def coverage(size, inside):
    """Fraction of each pixel covered by the shape inside(x, y) (unit coordinates)."""
    n = SUPERSAMPLE
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            hits = 0
            for sy in range(n):
                for sx in range(n):
                    x = (px + (sx + 0.5) / n) / size
                    y = (py + (sy + 0.5) / n) / size
                    if inside(x, y):
                        hits += 1
            row.append(hits / (n * n))
        rows.append(row)
    return rows


def rounded_square(x, y, inset=0.03, radius=0.22):
    lo, hi = inset, 1.0 - inset
    if x < lo or x > hi or y < lo or y > hi:
        return False
    cx = min(max(x, lo + radius), hi - radius)
    cy = min(max(y, lo + radius), hi - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def signal_mark(size):
    """A base unit (the rounded puck) sending out Wi-Fi waves; fewer waves when tiny."""
    small = size <= 20
    cx, cy = 0.5, 0.64
    thickness = 0.09 if small else 0.07
    radii = [0.17, 0.33] if small else [0.13, 0.25, 0.37]
    puck_top, puck_bottom = (0.70, 0.84) if small else (0.72, 0.83)
    puck_half = 0.25 if small else 0.22

    def puck(x, y):
        r = (puck_bottom - puck_top) / 2
        mid = (puck_top + puck_bottom) / 2
        px = min(max(x, 0.5 - puck_half + r), 0.5 + puck_half - r)
        return (x - px) ** 2 + (y - mid) ** 2 <= r * r

    def inside(x, y):
        if puck(x, y):
            return True
        dx, dy = x - cx, y - cy
        if dy >= 0:
            return math.hypot(dx, dy) <= thickness * 0.75
        r = math.hypot(dx, dy)
        if r <= thickness * 0.75:
            return True
        angle = math.degrees(math.atan2(-dy, dx))  # 90 = straight up
        if abs(angle - 90) > 48:
            return False
        return any(abs(r - wave) <= thickness / 2 for wave in radii)

    return inside


def emblem(size):
    """RGBA rows: blue rounded tile with a white signal mark."""
    tile = coverage(size, rounded_square)
    mark = coverage(size, signal_mark(size))
    pixels = []
    for py in range(size):
        t = py / max(size - 1, 1)
        base = tuple(round(BLUE_TOP[i] + (BLUE_BOTTOM[i] - BLUE_TOP[i]) * t) for i in range(3))
        row = []
        for px in range(size):
            a = tile[py][px]
            m = mark[py][px]
            colour = tuple(round(base[i] * (1 - m) + 255 * m) for i in range(3))
            row.append(colour + (round(255 * a),))
        pixels.append(row)
    return pixels


def eye(size):
    """RGBA rows: a dark grey eye outline with a filled pupil, on transparency."""
    cx, cy = 0.5, 0.5
    half_width, half_height = 0.44, 0.25
    stroke = 0.075 if size >= 32 else 0.1

    def almond(x, y, grow=0.0):
        # Two circle arcs meeting at the corners of the eye.
        w, h = half_width + grow, half_height + grow
        radius = (w * w + h * h) / (2 * h)
        upper = (x - cx) ** 2 + (y - (cy - h + radius)) ** 2 <= radius ** 2
        lower = (x - cx) ** 2 + (y - (cy + h - radius)) ** 2 <= radius ** 2
        return upper and lower

    def outline(x, y):
        return almond(x, y, stroke / 2) and not almond(x, y, -stroke / 2)

    def pupil(x, y):
        return math.hypot(x - cx, y - cy) <= 0.15

    ring = coverage(size, outline)
    dot = coverage(size, pupil)
    colour = (68, 74, 82)
    return [[colour + (round(255 * min(1.0, ring[y][x] + dot[y][x])),) for x in range(size)]
            for y in range(size)]


def png_bytes(pixels):
    height, width = len(pixels), len(pixels[0])
    raw = b"".join(b"\x00" + bytes(c for p in row for c in p) for row in pixels)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def dib_bytes(pixels):
    """32-bit icon image: BGRA rows bottom-up, then the 1-bit AND mask."""
    size = len(pixels)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = b"".join(bytes((p[2], p[1], p[0], p[3])) for row in reversed(pixels) for p in row)
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(pixels):
        bits = bytearray(mask_stride)
        for x, p in enumerate(row):
            if p[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + colour + bytes(mask)


def write_icon(path, images):
    entries = []
    for pixels in images:
        size = len(pixels)
        data = png_bytes(pixels) if size >= 256 else dib_bytes(pixels)
        entries.append((size, data))
    offset = 6 + 16 * len(entries)
    out = bytearray(struct.pack("<HHH", 0, 1, len(entries)))
    for size, data in entries:
        dim = 0 if size >= 256 else size
        out += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for _, data in entries:
        out += data
    path.write_bytes(bytes(out))


def render_words(text, font, points):
    """Grey-level coverage rows of text, from ImageMagick as a plain PGM."""
    pgm = subprocess.run(
        ["convert", "-background", "black", "-fill", "white", "-font", font, "-pointsize",
         str(points), "-density", "72", f"label:{text}", "-trim", "+repage", "-depth", "8",
         "pgm:-"], check=True, capture_output=True).stdout
    parts = pgm.split(maxsplit=4)
    width, height = int(parts[1]), int(parts[2])
    data = parts[4]
    return [[data[y * width + x] / 255 for x in range(width)] for y in range(height)]


def write_logo(path):
    width, height = 440, 91
    canvas = [[(255, 255, 255) for _ in range(width)] for _ in range(height)]

    def blend(x, y, colour, alpha):
        if 0 <= x < width and 0 <= y < height and alpha > 0:
            base = canvas[y][x]
            canvas[y][x] = tuple(round(base[i] * (1 - alpha) + colour[i] * alpha)
                                 for i in range(3))

    mark = emblem(68)
    name = render_words("Tervane", "DejaVu-Sans-Bold", 36)
    product = render_words("Connect", "DejaVu-Sans", 36)
    tagline = render_words("Base unit setup", "DejaVu-Sans", 14)
    gap, space = 18, 11
    words_width = len(name[0]) + space + len(product[0])
    total = len(mark) + gap + max(words_width, len(tagline[0]))
    left = (width - total) // 2
    top = (height - len(mark)) // 2
    for y, row in enumerate(mark):
        for x, p in enumerate(row):
            blend(left + x, top + y, p[:3], p[3] / 255)
    text_left = left + len(mark) + gap
    baseline_top = top + 6
    for y, row in enumerate(name):
        for x, a in enumerate(row):
            blend(text_left + x, baseline_top + y, (34, 38, 44), a)
    product_top = baseline_top + len(name) - len(product)
    for y, row in enumerate(product):
        for x, a in enumerate(row):
            blend(text_left + len(name[0]) + space + x, product_top + y, BLUE_BOTTOM, a)
    tagline_top = top + len(mark) - len(tagline) - 4
    for y, row in enumerate(tagline):
        for x, a in enumerate(row):
            blend(text_left + 2 + x, tagline_top + y, (112, 112, 112), a)

    stride = (width * 3 + 3) & ~3
    pixels = bytearray()
    for row in reversed(canvas):
        line = bytearray(b for p in row for b in (p[2], p[1], p[0]))
        line += bytes(stride - len(line))
        pixels += line
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    file_header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    path.write_bytes(file_header + info + bytes(pixels))


def main():
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parent
    out.mkdir(parents=True, exist_ok=True)
    write_icon(out / "app.ico", [emblem(s) for s in (16, 20, 24, 32, 40, 48, 64, 128, 256)])
    write_icon(out / "reveal.ico", [eye(s) for s in (16, 20, 24, 32, 48, 64)])
    write_logo(out / "logo.bmp")


if __name__ == "__main__":
    main()
