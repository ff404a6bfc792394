#!/usr/bin/env python3
"""Draws CrawlerView's icon (a magnifying glass over a small spider, on a blue tile) at 16, 32 and
48 pixels and writes resources/crawlerview-{16,32,48}.png and resources/crawlerview.ico.

Standard library only. Shapes are described in a 0..1 square and sampled 4x4 per pixel, so the
small sizes stay smooth. The .ico holds classic 32-bit DIB images (with their AND masks) rather than
PNG ones, because every Windows version and resource compiler reads those.
Usage: scripts/make-icon.py [output-folder]   (default: resources/ beside this script's parent)
"""
import math
import os
import struct
import sys
import zlib

SIZES = (16, 32, 48)
SUPERSAMPLE = 4

TILE = (30, 111, 217)     # blue tile
TILE_EDGE = (18, 72, 150)
LENS = (235, 244, 255)    # the glass, slightly tinted
RING = (255, 255, 255)
SPIDER = (40, 40, 40)
HANDLE = (250, 190, 60)


def segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def rounded_square_inside(x, y, margin, radius):
    lo, hi = margin + radius, 1.0 - margin - radius
    cx, cy = min(max(x, lo), hi), min(max(y, lo), hi)
    return math.hypot(x - cx, y - cy) <= radius


LENS_C, LENS_R, RING_W = (0.42, 0.42), 0.27, 0.07
LEGS = []
for side in (-1, 1):
    for k, angle in enumerate((-50, -15, 20, 55)):
        a = math.radians(angle)
        knee = (0.42 + side * 0.10 * math.cos(a), 0.44 + 0.10 * math.sin(a) - 0.03)
        foot = (0.42 + side * 0.19 * math.cos(a), 0.44 + 0.17 * math.sin(a) + 0.02 * k)
        LEGS.append(((0.42, 0.44), knee))
        LEGS.append((knee, foot))


def colour_at(x, y):
    """The colour at a point of the unit square, or None for transparent."""
    if not rounded_square_inside(x, y, 0.02, 0.16):
        return None
    colour = TILE if rounded_square_inside(x, y, 0.06, 0.13) else TILE_EDGE
    if segment_distance(x, y, 0.62, 0.62, 0.86, 0.86) <= 0.075:
        colour = HANDLE
    d = math.hypot(x - LENS_C[0], y - LENS_C[1])
    if d <= LENS_R + RING_W / 2:
        colour = RING
    if d <= LENS_R - RING_W / 2:
        colour = LENS
        body = math.hypot(x - 0.42, y - 0.47) <= 0.075
        head = math.hypot(x - 0.42, y - 0.36) <= 0.05
        legs = any(segment_distance(x, y, *a, *b) <= 0.018 for a, b in LEGS)
        if body or head or legs:
            colour = SPIDER
    return colour


def render(size):
    """Rows of (r, g, b, a) tuples, top row first."""
    rows = []
    n = SUPERSAMPLE
    for py in range(size):
        row = []
        for px in range(size):
            r = g = b = a = 0
            for sy in range(n):
                for sx in range(n):
                    c = colour_at((px + (sx + 0.5) / n) / size, (py + (sy + 0.5) / n) / size)
                    if c is not None:
                        r, g, b, a = r + c[0], g + c[1], b + c[2], a + 1
            if a == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append((r // a, g // a, b // a, round(255 * a / (n * n))))
        rows.append(row)
    return rows


def png_bytes(rows):
    size = len(rows)

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    raw = b"".join(b"\x00" + bytes(v for pixel in row for v in pixel) for row in rows)
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def dib_bytes(rows):
    """A 32-bit BGRA DIB as an .ico stores it: bottom-up, double height, then the AND mask."""
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b"".join(bytes((p[2], p[1], p[0], p[3])) for row in reversed(rows) for p in row)
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, p in enumerate(row):
            if p[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + pixels + bytes(mask)


def ico_bytes(images):
    """images: (size, dib) pairs."""
    count = len(images)
    out = struct.pack("<HHH", 0, 1, count)
    offset = 6 + 16 * count
    for size, data in images:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(data for _, data in images)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "resources")
    os.makedirs(folder, exist_ok=True)
    images = []
    for size in SIZES:
        rows = render(size)
        with open(os.path.join(folder, f"crawlerview-{size}.png"), "wb") as f:
            f.write(png_bytes(rows))
        images.append((size, dib_bytes(rows)))
    # Largest first: some readers take the first image as the icon's main one.
    with open(os.path.join(folder, "crawlerview.ico"), "wb") as f:
        f.write(ico_bytes(sorted(images, reverse=True)))


if __name__ == "__main__":
    main()
