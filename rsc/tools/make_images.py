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

    def paste(self, other, ox, oy):
        """Lays another canvas over this one at (ox, oy)."""
        for y in range(other.h):
            for x in range(other.w):
                r, g, b, a = other.px[y * other.w + x]
                if 0 <= x + ox < self.w and 0 <= y + oy < self.h:
                    self.blend(x + ox, y + oy, (r, g, b), a / 255)

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


def button(fill, edge, w=400, h=60):
    c = Canvas(w, h)
    c.shape(rounded_rect(0, 0, w, h, 12), edge)
    c.shape(rounded_rect(2, 2, w - 2, h - 2, 10), fill)
    return c


def check_icon():
    c = Canvas(40, 40)
    c.shape(circle(20, 20, 19), GREEN)
    c.shape(union(segment(10, 21, 17, 28, 2.5), segment(17, 28, 30, 13, 2.5)), WHITE)
    return c


def return_icon(fill=BUTTON):
    c = Canvas(60, 60)
    c.shape(rounded_rect(0, 0, 60, 60, 10), fill)
    c.shape(union(segment(14, 30, 46, 30, 3), segment(14, 30, 26, 18, 3), segment(14, 30, 26, 42, 3)), WHITE)
    return c


def menu_home_icon(fill):
    c = Canvas(60, 60)
    c.shape(rounded_rect(0, 0, 60, 60, 10), fill)
    c.shape(union(segment(14, 30, 30, 15, 3), segment(30, 15, 46, 30, 3), segment(19, 30, 19, 45, 3),
                  segment(41, 30, 41, 45, 3), segment(19, 45, 41, 45, 3)), WHITE)
    return c


def spinner(lit):
    """Eight dots in a ring, the lit one bright: one frame of the copy spinner."""
    c = Canvas(48, 48)
    for i in range(8):
        a = math.pi * 2 * i / 8 - math.pi / 2
        c.shape(circle(24 + 17 * math.cos(a), 24 + 17 * math.sin(a), 4.5), WHITE if i == lit else DIM)
    return c


def signal_bar_background():
    """The full extent of one satellite's signal bar on the developer screen."""
    c = Canvas(30, 70)
    c.shape(rounded_rect(0, 0, 30, 70, 3), (0x0C, 0x12, 0x1E))
    return c


def signal_bar_frame():
    c = Canvas(30, 70)
    c.shape(lambda x, y: abs(rounded_rect(0.5, 0.5, 29.5, 69.5, 3)(x, y)) - 0.8, BUTTON_EDGE)
    return c


def round_sign(colour, strokes):
    c = Canvas(80, 80)
    c.shape(circle(40, 40, 38), colour)
    c.shape(union(*[segment(*s, 5) for s in strokes]), WHITE)
    return c


ERROR_CROSS = [(26, 26, 54, 54), (54, 26, 26, 54)]
# Two registrations of one address: two linked rings.
OVERLAP_SIGN = [(22, 32, 44, 32), (22, 32, 22, 48), (22, 48, 44, 48), (44, 32, 44, 48),
                (36, 40, 58, 40), (36, 40, 36, 56), (36, 56, 58, 56), (58, 40, 58, 56)]


RED = (0xD8, 0x3A, 0x3A)
AMBER = (0xF2, 0xA9, 0x1E)
PANEL = (0x14, 0x1C, 0x2C)
DIM = (0x70, 0x7C, 0x90)


def live_button(draw_icon, fill=BUTTON, edge=BUTTON_EDGE):
    """A round 64 x 64 touch button of the live view with its icon."""
    c = Canvas(64, 64)
    c.shape(circle(32, 32, 31), edge)
    c.shape(circle(32, 32, 29), fill)
    draw_icon(c)
    return c


def panel(w, h, fill=PANEL, edge=BUTTON_EDGE, r=14):
    c = Canvas(w, h)
    c.shape(rounded_rect(0, 0, w, h, r), edge)
    c.shape(rounded_rect(2, 2, w - 2, h - 2, r - 2), fill)
    return c


def home_icon(c):
    c.shape(union(segment(18, 32, 32, 19, 2.5), segment(32, 19, 46, 32, 2.5),
                  segment(22, 30, 22, 45, 2.5), segment(42, 30, 42, 45, 2.5), segment(22, 45, 42, 45, 2.5)), WHITE)


def mic_icon(colour):
    def draw(c):
        c.shape(rounded_rect(26, 14, 38, 36, 6), colour)
        c.shape(union(segment(21, 30, 21, 33, 2), segment(43, 30, 43, 33, 2), segment(32, 42, 32, 49, 2),
                      segment(25, 49, 39, 49, 2)), colour)
        c.shape(lambda x, y: abs(math.hypot(x - 32, y - 32) - 11) - 1.5 if y > 32 else 99, colour)
    return draw


def manual_icon(c):
    c.shape(circle(32, 32, 13), RED)
    c.shape(circle(32, 32, 6), WHITE)


def backup_icon(c):
    c.shape(rounded_rect(20, 16, 44, 48, 3), WHITE)
    c.shape(rounded_rect(23, 19, 41, 45, 2), BUTTON)
    c.shape(union(segment(32, 23, 32, 38, 2.2), segment(26, 32, 32, 38, 2.2), segment(38, 32, 32, 38, 2.2)), WHITE)


def mirror_icon(colour):
    def draw(c):
        c.shape(union(segment(32, 16, 32, 48, 1.5), segment(28, 22, 18, 32, 2.2), segment(18, 32, 28, 42, 2.2),
                      segment(36, 22, 46, 32, 2.2), segment(46, 32, 36, 42, 2.2)), colour)
    return draw


def pip_icon(front, rear):
    """Front camera big, rear small: which of the two the LCD shows."""
    def draw(c):
        if front:
            c.shape(rounded_rect(14, 18, 50, 46, 3), WHITE)
            c.shape(rounded_rect(17, 21, 47, 43, 2), BUTTON)
            c.shape(lambda x, y: max(abs(x - 32) - 6, abs(y - 32) - 5), WHITE if not rear else DIM)
        if rear:
            c.shape(rounded_rect(32, 30, 52, 48, 2), ACCENT if front else WHITE)
            if not front:
                c.shape(rounded_rect(12, 16, 44, 38, 3), DIM)
    return draw


def storage_icon(colour):
    def draw(c):
        c.shape(lambda x, y: max(rounded_rect(22, 16, 42, 48, 3)(x, y), -(x + y - 46 - 16 + 0.5)), colour)
        c.shape(union(segment(27, 22, 27, 27, 1.2), segment(31, 22, 31, 27, 1.2), segment(35, 22, 35, 27, 1.2)), BUTTON)
    return draw


def bar(w, h):
    c = Canvas(w, h)
    c.shape(rounded_rect(0, 0, w, h, h / 2), PANEL)
    return c


def target():
    c = Canvas(40, 40)
    c.shape(lambda x, y: abs(math.hypot(x - 20, y - 20) - 14) - 1.5, RED)
    c.shape(union(segment(20, 2, 20, 38, 1.2), segment(2, 20, 38, 20, 1.2)), WHITE)
    return c


def letters(strokes, w=40, h=30, colour=WHITE):
    c = Canvas(w, h)
    c.shape(union(*[segment(*s, 2.2) for s in strokes]), colour)
    return c


AM = [(3, 26, 9, 4), (9, 4, 15, 26), (5, 18, 13, 18), (20, 26, 20, 4), (20, 4, 27, 16), (27, 16, 34, 4), (34, 4, 34, 26)]
PM = [(3, 26, 3, 4), (3, 4, 11, 4), (11, 4, 14, 8), (14, 8, 14, 12), (14, 12, 11, 15), (11, 15, 3, 15),
      (20, 26, 20, 4), (20, 4, 27, 16), (27, 16, 34, 4), (34, 4, 34, 26)]


def small_icon(draw_icon, colour):
    c = Canvas(32, 32)
    draw_icon(c, colour)
    return c


def gps_icon(c, colour):
    c.shape(lambda x, y: abs(math.hypot(x - 16, y - 13) - 7) - 2, colour)
    c.shape(union(segment(10, 18, 16, 29, 2), segment(22, 18, 16, 29, 2)), colour)


def small_mic(c, colour):
    c.shape(union(rounded_rect(12, 4, 20, 19, 4), segment(16, 24, 16, 28, 1.5), segment(11, 28, 21, 28, 1.5)), colour)
    c.shape(lambda x, y: abs(math.hypot(x - 16, y - 15) - 8) - 1.2 if y > 15 else 99, colour)


def speaker_icon(waves):
    def draw(c, colour):
        c.shape(union(segment(5, 13, 5, 19, 3), segment(8, 16, 16, 8, 3), segment(8, 16, 16, 24, 3),
                      segment(16, 8, 16, 24, 2)), colour)
        for i in range(waves):
            r = 6 + 4 * i
            c.shape(lambda x, y, r=r: abs(math.hypot(x - 16, y - 16) - r) - 1.2 if x > 19 else 99, colour)
    return draw


def warning(colour, arrow):
    c = Canvas(160, 100)
    c.shape(rounded_rect(0, 0, 160, 100, 16), colour)
    if arrow == 0:
        c.shape(union(segment(80, 18, 80, 60, 7), circle(80, 80, 7)), WHITE)
    else:
        x0, x1 = (120, 40) if arrow < 0 else (40, 120)
        c.shape(union(segment(x0, 50, x1, 50, 7), segment(x1, 50, (x0 + x1) / 2, 20, 7),
                      segment(x1, 50, (x0 + x1) / 2, 80, 7)), WHITE)
    return c


def language_picture(field, mark):
    """The language a unit was built for, as a small flag-like sign, 120 x 56."""
    c = Canvas(120, 56)
    c.shape(rounded_rect(0, 0, 120, 56, 8), BUTTON_EDGE)
    c.shape(rounded_rect(2, 2, 118, 54, 6), field)
    mark(c)
    return c


def korean_mark(c):
    c.shape(lambda x, y: math.hypot(x - 60, y - 28) - 16 if y < 28 else 1, RED)
    c.shape(lambda x, y: math.hypot(x - 60, y - 28) - 16 if y >= 28 else 1, ACCENT)


# Menu screens: tiles of 148 x 120 with the item's text in their lower part;
# a tile that shows a value carries an icon and one pip per step above it.
TILE_W, TILE_H = 148, 120


def tile(fill=BUTTON, edge=BUTTON_EDGE):
    c = Canvas(TILE_W, TILE_H)
    c.shape(rounded_rect(0, 0, TILE_W, TILE_H, 14), edge)
    c.shape(rounded_rect(2, 2, TILE_W - 2, TILE_H - 2, 12), fill)
    return c


def value_tile(draw_icon, level, levels):
    """A tile with a 64 x 64 icon and `level` of `levels` pips lit."""
    c = tile()
    icon = Canvas(64, 64)
    draw_icon(icon)
    c.paste(icon, (TILE_W - 64) // 2, 4)
    pitch = 14
    x0 = TILE_W / 2 - pitch * (levels - 1) / 2
    for i in range(levels):
        c.shape(circle(x0 + pitch * i, 74, 4), ACCENT if i < level else DIM)
    return c


def header_button(draw_icon, fill, edge):
    c = Canvas(44, 44)
    c.shape(rounded_rect(0, 0, 44, 44, 10), edge)
    c.shape(rounded_rect(2, 2, 42, 42, 8), fill)
    icon = Canvas(64, 64)
    draw_icon(icon)
    small = Canvas(44, 44)
    for y in range(44):
        for x in range(44):
            small.px[y * 44 + x] = list(icon.px[int(y * 64 / 44) * 64 + int(x * 64 / 44)])
    c.paste(small, 0, 0)
    return c


def return_arrow(c):
    c.shape(union(segment(18, 32, 46, 32, 3), segment(18, 32, 29, 21, 3), segment(18, 32, 29, 43, 3)), WHITE)


def info_mark(c):
    c.shape(union(circle(32, 19, 3.5), segment(32, 28, 32, 46, 3.5)), WHITE)


def arrow_button(direction, fill, edge):
    c = Canvas(64, 64)
    c.shape(circle(32, 32, 31), edge)
    c.shape(circle(32, 32, 29), fill)
    tip, back = (22, 42) if direction < 0 else (42, 22)
    c.shape(union(segment(back, 18, tip, 32, 3.5), segment(tip, 32, back, 46, 3.5)), WHITE)
    return c


def vertical_arrow_button(direction, fill, edge):
    c = Canvas(64, 64)
    c.shape(circle(32, 32, 31), edge)
    c.shape(circle(32, 32, 29), fill)
    tip, back = (22, 40) if direction < 0 else (40, 22)
    c.shape(union(segment(18, back, 32, tip, 3.5), segment(32, tip, 46, back, 3.5)), WHITE)
    return c


def field(w, h, fill, edge):
    c = Canvas(w, h)
    c.shape(rounded_rect(0, 0, w, h, 10), edge)
    c.shape(rounded_rect(2, 2, w - 2, h - 2, 8), fill)
    return c


def dot(colour):
    c = Canvas(16, 16)
    c.shape(circle(8, 8, 6), colour)
    return c


def big_speaker(waves, crossed=False):
    def draw(c):
        c.shape(union(segment(14, 26, 14, 38, 5), segment(18, 32, 32, 18, 4), segment(18, 32, 32, 46, 4),
                      segment(32, 18, 32, 46, 3)), WHITE)
        for i in range(waves):
            r = 10 + 7 * i
            c.shape(lambda x, y, r=r: abs(math.hypot(x - 32, y - 32) - r) - 2 if x > 37 else 99, WHITE)
        if crossed:
            c.shape(union(segment(40, 24, 54, 40, 2.5), segment(54, 24, 40, 40, 2.5)), RED)
    return draw


def screen_icon(c):
    c.shape(rounded_rect(12, 14, 52, 42, 3), WHITE)
    c.shape(rounded_rect(15, 17, 49, 39, 2), ACCENT)
    c.shape(union(segment(32, 42, 32, 48, 2), segment(24, 49, 40, 49, 2)), WHITE)


def shock_icon(c):
    c.shape(union(segment(10, 34, 20, 34, 2.5), segment(20, 34, 26, 18, 2.5), segment(26, 18, 34, 48, 2.5),
                  segment(34, 48, 40, 26, 2.5), segment(40, 26, 44, 34, 2.5), segment(44, 34, 54, 34, 2.5)), AMBER)


def sun_icon(brightness):
    def draw(c):
        colour = tuple(round(v * brightness) for v in (0xFF, 0xD8, 0x50))
        c.shape(circle(32, 32, 11), colour)
        for i in range(8):
            a = i * math.pi / 4
            c.shape(segment(32 + 16 * math.cos(a), 32 + 16 * math.sin(a), 32 + 22 * math.cos(a),
                            32 + 22 * math.sin(a), 2), colour)
    return draw


def moon_icon(colour):
    def draw(c):
        c.shape(lambda x, y: max(math.hypot(x - 32, y - 32) - 18, -(math.hypot(x - 40, y - 26) - 15)), colour)
    return draw


VOLUME_NAMES = ["off", "low", "common", "high"]
LCD_NAMES = ["continuous", "30", "60", "120"]
EVENT_NAMES = ["off", "very_insensitive", "insensitive", "common", "sensitive", "very_sensitive"]
EV_NAMES = ["dark", "normal", "light"]

# Parking and driver-assistance tiles.
def motion_icon(c):
    c.shape(circle(32, 16, 6), WHITE)
    c.shape(union(segment(32, 24, 28, 40, 3), segment(28, 40, 20, 52, 3), segment(28, 40, 38, 50, 3),
                  segment(31, 28, 20, 32, 3), segment(31, 28, 42, 24, 3)), WHITE)


def battery_icon(colour):
    def draw(c):
        c.shape(rounded_rect(12, 20, 52, 48, 4), colour)
        c.shape(rounded_rect(15, 23, 49, 45, 2), BUTTON)
        c.shape(rounded_rect(24, 14, 30, 20, 1), colour)
        c.shape(rounded_rect(34, 14, 40, 20, 1), colour)
        c.shape(union(segment(20, 34, 28, 34, 2), segment(36, 34, 44, 34, 2), segment(40, 30, 40, 38, 2)), colour)
    return draw


def clock_icon(c):
    c.shape(lambda x, y: abs(math.hypot(x - 32, y - 32) - 20) - 2.5, WHITE)
    c.shape(union(segment(32, 32, 32, 18, 2.5), segment(32, 32, 42, 38, 2.5)), WHITE)


def thermo_icon(c):
    c.shape(union(rounded_rect(27, 8, 37, 42, 5), circle(32, 46, 9)), WHITE)
    c.shape(union(segment(32, 20, 32, 44, 2.5), circle(32, 46, 5)), RED)


def lane_icon(colour):
    def draw(c):
        c.shape(union(segment(14, 54, 26, 10, 3), segment(50, 54, 38, 10, 3), segment(32, 50, 32, 42, 2),
                      segment(32, 32, 32, 24, 2), segment(32, 16, 32, 10, 2)), colour)
    return draw


def car_icon(colour):
    def draw(c):
        c.shape(rounded_rect(12, 26, 52, 44, 6), colour)
        c.shape(rounded_rect(18, 16, 46, 30, 5), colour)
        c.shape(union(circle(20, 46, 5), circle(44, 46, 5)), colour)
        c.shape(rounded_rect(22, 20, 42, 27, 2), BUTTON)
    return draw


def camera_voice_icon(colour):
    def draw(c):
        c.shape(rounded_rect(10, 22, 36, 44, 4), colour)
        c.shape(circle(23, 33, 6), BUTTON)
        for r in (8, 14):
            c.shape(lambda x, y, r=r: abs(math.hypot(x - 38, y - 33) - r) - 1.8 if x > 41 else 99, colour)
    return draw


MOTION_NAMES = ["insensitive", "common", "sensitive"]
CAR_VOLTS = ["110", "118", "120", "122", "124"]
TRUCK_VOLTS = ["220", "236", "240", "244", "248"]
OFF_HOURS = ["03", "06", "12", "24", "48"]
CUTOFF_TEMPS = ["60", "70", "75", "80"]


def progress():
    """Eight dots on a ring, fading: work under way."""
    c = Canvas(48, 48)
    for i in range(8):
        a = i * math.pi / 4
        shade = tuple(round(d + (w - d) * i / 7) for d, w in zip(DIM, WHITE))
        c.shape(circle(24 + 17 * math.cos(a), 24 + 17 * math.sin(a), 4), shade)
    return c


IMAGES = {
    "4870_bg_menu.png": background,
    "4870_btn_n.png": lambda: button(BUTTON, BUTTON_EDGE),
    "4870_btn_f.png": lambda: button(ACCENT, FOCUS_EDGE),
    "4870_icon_check.png": check_icon,
    "4870_menu_return.png": return_icon,
    "4870_menu_return_f.png": lambda: return_icon(ACCENT),
    "4870_menu_home.png": lambda: menu_home_icon(BUTTON),
    "4870_menu_home_f.png": lambda: menu_home_icon(ACCENT),
    "4870_btn_half_n.png": lambda: button(BUTTON, BUTTON_EDGE, 190),
    "4870_btn_half_f.png": lambda: button(ACCENT, FOCUS_EDGE, 190),
    "dev_bar_bg.png": signal_bar_background,
    "dev_bar_frame.png": signal_bar_frame,
    "wifi_step_n.png": lambda: button(BUTTON, BUTTON_EDGE, 120, 56),
    "wifi_step_f.png": lambda: button(GREEN, WHITE, 120, 56),
    "wifi_error.png": lambda: round_sign(RED, ERROR_CROSS),
    "wifi_overlapped.png": lambda: round_sign(AMBER, OVERLAP_SIGN),
    "live_btn_home.png": lambda: live_button(home_icon),
    "live_btn_mic_off.png": lambda: live_button(mic_icon(DIM)),
    "live_btn_mic_on.png": lambda: live_button(mic_icon(WHITE), ACCENT, FOCUS_EDGE),
    "live_btn_manual.png": lambda: live_button(manual_icon),
    "live_btn_backup.png": lambda: live_button(backup_icon),
    "live_btn_mirror.png": lambda: live_button(mirror_icon(DIM)),
    "live_btn_mirror_on.png": lambda: live_button(mirror_icon(WHITE), ACCENT, FOCUS_EDGE),
    "live_ico_pip_f.png": lambda: live_button(pip_icon(True, False)),
    "live_ico_pip_r.png": lambda: live_button(pip_icon(False, True)),
    "live_ico_pip.png": lambda: live_button(pip_icon(True, True)),
    "live_ico_internal.png": lambda: live_button(storage_icon(DIM)),
    "live_ico_sd.png": lambda: live_button(storage_icon(WHITE), ACCENT, FOCUS_EDGE),
    "live_upper_bar.png": lambda: bar(200, 36),
    "live_voltage_bar.png": lambda: bar(100, 36),
    "live_panel_message.png": lambda: panel(400, 120),
    "live_panel_alarm.png": lambda: panel(360, 240),
    "live_panel_storage.png": lambda: panel(400, 140, (0x40, 0x18, 0x18), RED),
    "live_panel_boot.png": lambda: panel(300, 90),
    "live_clock_bg.png": lambda: panel(480, 320, PANEL, PANEL, 1),
    "live_cal_target.png": target,
    "live_clock_am.png": lambda: letters(AM, colour=DIM),
    "live_clock_pm.png": lambda: letters(PM),
    "liveview_gps_off.png": lambda: small_icon(gps_icon, DIM),
    "liveview_gps_on.png": lambda: small_icon(gps_icon, GREEN),
    "liveview_mic_off.png": lambda: small_icon(small_mic, DIM),
    "liveview_mic_on.png": lambda: small_icon(small_mic, WHITE),
    "liveview_speaker_off.png": lambda: small_icon(speaker_icon(0), DIM),
    "liveview_speaker_low.png": lambda: small_icon(speaker_icon(1), WHITE),
    "liveview_speaker_middle.png": lambda: small_icon(speaker_icon(2), WHITE),
    "liveview_speaker_high.png": lambda: small_icon(speaker_icon(3), WHITE),
    "liveview_wifi.png": lambda: small_icon(lambda c, col: c.shape(
        lambda x, y: abs(math.hypot(x - 16, y - 26) - 12) - 1.5 if y < 24 else math.hypot(x - 16, y - 26) - 3, col), DIM),
    "liveview_event.png": lambda: small_icon(lambda c, col: c.shape(circle(16, 16, 10), col), RED),
    "liveview_manual.png": lambda: small_icon(lambda c, col: c.shape(circle(16, 16, 10), col), AMBER),
    "liveview_voice.png": lambda: small_icon(speaker_icon(1), DIM),
    "live_speed_limit.png": lambda: small_icon(lambda c, col: c.shape(
        lambda x, y: abs(math.hypot(x - 16, y - 16) - 12) - 2.5, col), RED),
    "live_warn_fcws.png": lambda: warning(RED, 0),
    "live_warn_ldws_left.png": lambda: warning(AMBER, -1),
    "live_warn_ldws_right.png": lambda: warning(AMBER, 1),
    "4830_item_n.png": lambda: panel(160, 64, (0x5A, 0x1E, 0x1E), RED, 10),
    "4830_item_f.png": lambda: panel(160, 64, (0x1E, 0x5A, 0x2E), GREEN, 10),
    "4830_key_n.png": lambda: panel(120, 56, BUTTON, BUTTON_EDGE, 10),
    "4830_key_f.png": lambda: panel(120, 56, ACCENT, FOCUS_EDGE, 10),
    "4830_small_n.png": lambda: panel(114, 40, (0x5A, 0x1E, 0x1E), RED, 8),
    "4830_small_f.png": lambda: panel(114, 40, (0x1E, 0x5A, 0x2E), GREEN, 8),
    "4830_skey_n.png": lambda: panel(60, 40, BUTTON, BUTTON_EDGE, 8),
    "4830_skey_f.png": lambda: panel(60, 40, ACCENT, FOCUS_EDGE, 8),
    "4830_japanese.png": lambda: language_picture(WHITE, lambda c: c.shape(circle(60, 28, 16), RED)),
    "4830_english.png": lambda: language_picture(HEADER, lambda c: c.shape(
        union(segment(8, 28, 112, 28, 5), segment(60, 6, 60, 50, 5)), RED)),
    "4830_korean.png": lambda: language_picture(WHITE, korean_mark),
    "4830_error.png": lambda: language_picture(DIM, lambda c: c.shape(
        union(segment(40, 10, 80, 46, 4), segment(80, 10, 40, 46, 4)), RED)),
    "menu_tile_n.png": tile,
    "menu_tile_f.png": lambda: tile(ACCENT, FOCUS_EDGE),
    "menu_home_n.png": lambda: header_button(home_icon, BUTTON, BUTTON_EDGE),
    "menu_home_f.png": lambda: header_button(home_icon, ACCENT, FOCUS_EDGE),
    "menu_return_n.png": lambda: header_button(return_arrow, BUTTON, BUTTON_EDGE),
    "menu_return_f.png": lambda: header_button(return_arrow, ACCENT, FOCUS_EDGE),
    "menu_info_n.png": lambda: header_button(info_mark, BUTTON, BUTTON_EDGE),
    "menu_info_f.png": lambda: header_button(info_mark, ACCENT, FOCUS_EDGE),
    "option_left_n.png": lambda: arrow_button(-1, BUTTON, BUTTON_EDGE),
    "option_left_f.png": lambda: arrow_button(-1, ACCENT, FOCUS_EDGE),
    "option_right_n.png": lambda: arrow_button(1, BUTTON, BUTTON_EDGE),
    "option_right_f.png": lambda: arrow_button(1, ACCENT, FOCUS_EDGE),
    "date_field_n.png": lambda: field(96, 52, BUTTON, BUTTON_EDGE),
    "date_field_f.png": lambda: field(96, 52, ACCENT, FOCUS_EDGE),
    "date_up_n.png": lambda: vertical_arrow_button(-1, BUTTON, BUTTON_EDGE),
    "date_up_f.png": lambda: vertical_arrow_button(-1, ACCENT, FOCUS_EDGE),
    "date_down_n.png": lambda: vertical_arrow_button(1, BUTTON, BUTTON_EDGE),
    "date_down_f.png": lambda: vertical_arrow_button(1, ACCENT, FOCUS_EDGE),
    "key_n.png": lambda: field(100, 50, BUTTON, BUTTON_EDGE),
    "key_f.png": lambda: field(100, 50, ACCENT, FOCUS_EDGE),
    "small_btn_n.png": lambda: field(160, 56, BUTTON, BUTTON_EDGE),
    "small_btn_f.png": lambda: field(160, 56, ACCENT, FOCUS_EDGE),
    "4830_dot_00.png": lambda: dot(DIM),
    "4830_dot_01.png": lambda: dot(ACCENT),
    "voice_off_normal.png": lambda: value_tile(big_speaker(0, True), 0, 0),
    "voice_on_normal.png": lambda: value_tile(big_speaker(2), 0, 0),
    **{f"volume_{name}_normal.png": (lambda i=i: value_tile(big_speaker(i, i == 0), i, 3))
       for i, name in enumerate(VOLUME_NAMES)},
    **{f"lcd_second_{name}_normal.png": (lambda i=i: value_tile(screen_icon, i if i else 4, 4))
       for i, name in enumerate(LCD_NAMES)},
    **{f"event_{name}_normal.png": (lambda i=i: value_tile(shock_icon, i, 5)) for i, name in enumerate(EVENT_NAMES)},
    **{f"driving_ev_{name}.png": (lambda i=i: value_tile(sun_icon(0.45 + 0.275 * i), i + 1, 3))
       for i, name in enumerate(EV_NAMES)},
    "driving_nightvision_off.png": lambda: value_tile(moon_icon(DIM), 0, 0),
    "driving_nightvision_on.png": lambda: value_tile(moon_icon((0xFF, 0xE0, 0x70)), 0, 0),
    "dialog_panel.png": lambda: panel(400, 120),
    "format_progress.png": progress,
    **{"copy_spinner_%d.png" % i: (lambda i=i: spinner(i)) for i in range(8)},
    **{f"parking_motion_{name}_normal.png": (lambda i=i: value_tile(motion_icon, i + 1, 3))
       for i, name in enumerate(MOTION_NAMES)},
    **{f"cutoff_volt_off_{v}V.png": (lambda i=i: value_tile(battery_icon(GREEN), i + 1, 5))
       for i, v in enumerate(CAR_VOLTS)},
    **{f"cutoff_volt_off_{v}V.png": (lambda i=i: value_tile(battery_icon(AMBER), i + 1, 5))
       for i, v in enumerate(TRUCK_VOLTS)},
    **{f"cutoff_time_{h}_normal.png": (lambda i=i: value_tile(clock_icon, i + 1, 5)) for i, h in enumerate(OFF_HOURS)},
    **{f"cutoff_temp_{t}.png": (lambda i=i: value_tile(thermo_icon, i + 1, 4)) for i, t in enumerate(CUTOFF_TEMPS)},
    "ldws_off_icon.png": lambda: value_tile(lane_icon(DIM), 0, 0),
    "ldws_on_icon.png": lambda: value_tile(lane_icon(AMBER), 0, 0),
    "fcws_off_icon.png": lambda: value_tile(car_icon(DIM), 0, 0),
    "fcws_on_icon.png": lambda: value_tile(car_icon(RED), 0, 0),
    "ongps_off_normal.png": lambda: value_tile(camera_voice_icon(DIM), 0, 0),
    "ongps_on_normal.png": lambda: value_tile(camera_voice_icon(GREEN), 0, 0),
    "aim_ok_n.png": lambda: button(BUTTON, BUTTON_EDGE, 100),
    "aim_ok_f.png": lambda: button(ACCENT, FOCUS_EDGE, 100),
}


def convex(*points):
    """A convex polygon, corners clockwise on the screen: the largest of its edges' distances."""
    def d(x, y):
        out = -1e9
        for (ax, ay), (bx, by) in zip(points, points[1:] + points[:1]):
            nx, ny = by - ay, ax - bx
            n = math.hypot(nx, ny)
            out = max(out, ((x - ax) * nx + (y - ay) * ny) / n)
        return out
    return d


def cancel_icon():
    c = Canvas(60, 60)
    c.shape(rounded_rect(0, 0, 60, 60, 10), BUTTON)
    c.shape(union(segment(19, 19, 41, 41, 3), segment(41, 19, 19, 41, 3)), WHITE)
    return c


def sand_clock(frame):
    """Nine dots on a ring, one of them lit: the frames of a turning clock."""
    c = Canvas(64, 64)
    c.shape(circle(32, 32, 31), PANEL)
    for i in range(9):
        a = 2 * math.pi * i / 9 - math.pi / 2
        c.shape(circle(32 + 21 * math.cos(a), 32 + 21 * math.sin(a), 5 if i == frame else 3.5),
                WHITE if i == frame else DIM)
    return c


def row_check():
    c = Canvas(392, 44)
    c.shape(circle(366, 22, 14), GREEN)
    c.shape(union(segment(359, 23, 364, 28, 2), segment(364, 28, 373, 17, 2)), WHITE)
    return c


def page_key(chevrons, direction, focused):
    c = panel(60, 44, ACCENT if focused else BUTTON, FOCUS_EDGE if focused else BUTTON_EDGE, 8)
    for i in range(chevrons):
        x = 30 + (i - (chevrons - 1) / 2) * 12
        tip, back = x + 5 * direction, x - 5 * direction
        c.shape(union(segment(back, 13, tip, 22, 2.5), segment(tip, 22, back, 31, 2.5)), WHITE)
    return c


def play_icon(c, size=64):
    k = size / 64
    c.shape(convex((25 * k, 19 * k), (46 * k, 32 * k), (25 * k, 45 * k)), WHITE)


def pause_icon(c, size=64):
    k = size / 64
    c.shape(union(rounded_rect(22 * k, 19 * k, 29 * k, 45 * k, 2), rounded_rect(35 * k, 19 * k, 42 * k, 45 * k, 2)),
            WHITE)


def seek_icon(direction):
    def draw(c, size=64):
        k = size / 64
        for x in (21, 33):
            x0, x1 = (x, x + 12) if direction > 0 else (x + 12, x)
            c.shape(convex(*((p[0] * k, p[1] * k) for p in ((x0, 21), (x1, 32), (x0, 43))[::direction])), WHITE)
    return draw


def popup(draw_icon):
    c = Canvas(96, 96)
    c.shape(circle(48, 48, 47), BUTTON_EDGE)
    c.shape(circle(48, 48, 45), PANEL)
    draw_icon(c, 96)
    return c


def title_bar():
    c = Canvas(480, 64, (*PANEL, 255))
    for x in range(480):
        c.px[62 * 480 + x] = [*ACCENT, 255]
        c.px[63 * 480 + x] = [*ACCENT, 255]
    return c


IMAGES.update({
    "4870_menu_cancel.png": cancel_icon,
    "pb_row_n.png": lambda: panel(392, 44, BUTTON, BUTTON_EDGE, 8),
    "pb_row_f.png": lambda: panel(392, 44, ACCENT, FOCUS_EDGE, 8),
    "pb_row_c.png": row_check,
    "pb_prev5_n.png": lambda: page_key(2, -1, False),
    "pb_prev5_f.png": lambda: page_key(2, -1, True),
    "pb_prev_n.png": lambda: page_key(1, -1, False),
    "pb_prev_f.png": lambda: page_key(1, -1, True),
    "pb_next_n.png": lambda: page_key(1, 1, False),
    "pb_next_f.png": lambda: page_key(1, 1, True),
    "pb_next5_n.png": lambda: page_key(2, 1, False),
    "pb_next5_f.png": lambda: page_key(2, 1, True),
    "pb_title_bar.png": title_bar,
    "pb_time_bar.png": lambda: bar(120, 36),
    "pb_btn_rw.png": lambda: live_button(seek_icon(-1)),
    "pb_btn_rw_f.png": lambda: live_button(seek_icon(-1), ACCENT, FOCUS_EDGE),
    "pb_btn_ff.png": lambda: live_button(seek_icon(1)),
    "pb_btn_ff_f.png": lambda: live_button(seek_icon(1), ACCENT, FOCUS_EDGE),
    "pb_btn_play.png": lambda: live_button(play_icon),
    "pb_btn_pause.png": lambda: live_button(pause_icon, ACCENT, FOCUS_EDGE),
    "pb_pop_fseek.png": lambda: popup(seek_icon(1)),
    "pb_pop_rseek.png": lambda: popup(seek_icon(-1)),
    "pb_pop_play.png": lambda: popup(play_icon),
    "pb_pop_pause.png": lambda: popup(pause_icon),
})
IMAGES.update({"pb_clock_%d.png" % i: (lambda i=i: sand_clock(i)) for i in range(9)})


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for name, draw in IMAGES.items():
        draw().save(os.path.join(out, name))


if __name__ == "__main__":
    main()
