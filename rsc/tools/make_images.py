#!/usr/bin/env python3
"""Draws the screen images of dashrec as PNG files into the given folder.

Plain shapes with soft edges, standard library only, so that any build
machine can make them: python3 make_images.py OUT_DIR
"""
import math
import os
import struct
import sys
import zlib

NAVY_TOP = (0x10, 0x18, 0x2A)
NAVY_BOTTOM = (0x1C, 0x2B, 0x45)
HEADER = (0x22, 0x32, 0x4F)
ACCENT = (0x3A, 0x7B, 0xD5)
BUTTON = (0x2A, 0x3A, 0x56)
BUTTON_EDGE = (0x4A, 0x5A, 0x76)
FOCUS_EDGE = (0x8F, 0xB8, 0xFF)
GREEN = (0x2E, 0xAA, 0x4F)
WHITE = (0xFF, 0xFF, 0xFF)


class Canvas:
    def __init__(self, w, h, rgba=(0, 0, 0, 0)):
        self.w, self.h = w, h
        self.px = [list(rgba) for _ in range(w * h)]

    def blend(self, x, y, rgb, coverage):
        if coverage <= 0:
            return
        p = self.px[y * self.w + x]
        a = min(coverage, 1.0)
        out_a = a + p[3] / 255 * (1 - a)
        for i in range(3):
            src = rgb[i] * a
            dst = p[i] * p[3] / 255 * (1 - a)
            p[i] = round((src + dst) / out_a) if out_a > 0 else 0
        p[3] = round(out_a * 255)

    def shape(self, distance, rgb):
        """Paints where the signed distance (pixels, negative inside) is below 0."""
        for y in range(self.h):
            for x in range(self.w):
                d = distance(x + 0.5, y + 0.5)
                self.blend(x, y, rgb, 0.5 - d)

    def save(self, path):
        raw = b"".join(b"\x00" + bytes(v for p in self.px[y * self.w:(y + 1) * self.w] for v in p)
                       for y in range(self.h))

        def chunk(kind, data):
            body = kind + data
            return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

        header = struct.pack(">IIBBBBB", self.w, self.h, 8, 6, 0, 0, 0)
        with open(path, "wb") as f:
            f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
                    + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def rounded_rect(x0, y0, x1, y1, r):
    def d(x, y):
        cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
        qx = abs(x - cx) - ((x1 - x0) / 2 - r)
        qy = abs(y - cy) - ((y1 - y0) / 2 - r)
        outside = math.hypot(max(qx, 0), max(qy, 0))
        return outside + min(max(qx, qy), 0) - r
    return d


def circle(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) - r


def segment(ax, ay, bx, by, half_width):
    def d(x, y):
        px, py, vx, vy = x - ax, y - ay, bx - ax, by - ay
        t = max(0.0, min(1.0, (px * vx + py * vy) / (vx * vx + vy * vy)))
        return math.hypot(px - vx * t, py - vy * t) - half_width
    return d


def union(*shapes):
    return lambda x, y: min(s(x, y) for s in shapes)


def background():
    c = Canvas(480, 320, (0, 0, 0, 255))
    for y in range(320):
        t = y / 319
        row = tuple(round(a + (b - a) * t) for a, b in zip(NAVY_TOP, NAVY_BOTTOM))
        for x in range(480):
            c.px[y * 480 + x] = [*(HEADER if y < 50 else ACCENT if y < 52 else row), 255]
    return c


def button(fill, edge):
    c = Canvas(400, 60)
    c.shape(rounded_rect(0, 0, 400, 60, 12), edge)
    c.shape(rounded_rect(2, 2, 398, 58, 10), fill)
    return c


def check_icon():
    c = Canvas(40, 40)
    c.shape(circle(20, 20, 19), GREEN)
    c.shape(union(segment(10, 21, 17, 28, 2.5), segment(17, 28, 30, 13, 2.5)), WHITE)
    return c


def return_icon():
    c = Canvas(60, 60)
    c.shape(rounded_rect(0, 0, 60, 60, 10), BUTTON)
    c.shape(union(segment(14, 30, 46, 30, 3), segment(14, 30, 26, 18, 3), segment(14, 30, 26, 42, 3)), WHITE)
    return c


IMAGES = {
    "4870_bg_menu.png": background,
    "4870_btn_n.png": lambda: button(BUTTON, BUTTON_EDGE),
    "4870_btn_f.png": lambda: button(ACCENT, FOCUS_EDGE),
    "4870_icon_check.png": check_icon,
    "4870_menu_return.png": return_icon,
}


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for name, draw in IMAGES.items():
        draw().save(os.path.join(out, name))


if __name__ == "__main__":
    main()
