#!/usr/bin/env python3
"""Draws the PNG sizes of the program icon (the same picture as the SVG:
red tile, cream sheet with a yellow header, green tick) without any image
library, so the icons can be regenerated on a bare machine."""
import math, struct, sys, zlib

def inside_round_rect(x, y, x0, y0, w, h, r):
    cx = min(max(x, x0 + r), x0 + w - r)
    cy = min(max(y, y0 + r), y0 + h - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r and x0 <= x <= x0 + w and y0 <= y <= y0 + h

def near_segment(x, y, a, b, half):
    ax, ay = a; bx, by = b
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(x - ax - t * dx, y - ay - t * dy) <= half

def colour(x, y):
    tick = [(80, 140), (112, 172), (178, 106)]
    if near_segment(x, y, tick[0], tick[1], 10) or near_segment(x, y, tick[1], tick[2], 10):
        return (0x27, 0xae, 0x60, 255)
    if inside_round_rect(x, y, 52, 60, 152, 30, 12):
        return (0xf1, 0xc4, 0x0f, 255)
    if inside_round_rect(x, y, 52, 60, 152, 144, 12):
        return (0xfd, 0xf6, 0xe3, 255)
    if inside_round_rect(x, y, 16, 16, 224, 224, 40):
        return (0xc0, 0x39, 0x2b, 255)
    return (0, 0, 0, 0)

def render(size, path):
    n = 4  # 4x4 samples per pixel
    rows = []
    for py in range(size):
        row = bytearray([0])
        for px in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(n):
                for sx in range(n):
                    c = colour((px + (sx + 0.5) / n) * 256 / size, (py + (sy + 0.5) / n) * 256 / size)
                    for i in range(3):
                        acc[i] += c[i] * c[3]
                    acc[3] += c[3]
            a = acc[3]
            row += bytes([round(acc[i] / a) if a else 0 for i in range(3)] + [round(a / (n * n))])
        rows.append(bytes(row))
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b"")
    open(path, "wb").write(png)

if __name__ == "__main__":
    for size in (16, 32, 48, 64, 128, 256):
        render(size, f"{sys.argv[1] if len(sys.argv) > 1 else '.'}/org.zorvane.Zorvanix-{size}.png")
