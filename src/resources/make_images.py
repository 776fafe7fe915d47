#!/usr/bin/env python3
"""Draws the program's bitmaps and icons into images/ (run from anywhere).

Everything is drawn here from simple shapes, anti-aliased by sampling each
pixel 4 x 4 times; the two pictures with lettering take their text from
ImageMagick's `convert` (the only outside tool). The output is committed, so
the build never runs this script.

Colours are the program's: the blue family around RGB(8,146,214) and the
page grey RGB(222,222,222).
"""
import math
import os
import struct
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "images")

BLUE = (8, 146, 214)  # navigation buttons, normal state (their transparent colour)
BLUE_LIGHT = (13, 211, 255)
BLUE_HIGH = (11, 175, 255)
BLUE_DARK = (4, 92, 150)
BLUE_FRAME = (51, 102, 204)
GREY = (222, 222, 222)
WHITE = (255, 255, 255)
PALE = (236, 246, 252)
YELLOW = (255, 204, 51)
GREEN = (60, 170, 60)
RED = (214, 60, 48)
DARK = (40, 40, 40)
MID = (128, 128, 128)

SS = 4  # samples per pixel edge


class Canvas:
    def __init__(self, w, h, bg):
        self.w, self.h = w, h
        # RGBA floats; alpha is used only for icons
        self.px = [[list(bg) + [255.0 if len(bg) == 3 else bg[3]] for _ in range(w)] for _ in range(h)]

    def blend(self, x, y, colour, cover):
        if cover <= 0 or not (0 <= x < self.w and 0 <= y < self.h):
            return
        p = self.px[y][x]
        a = cover * (colour[3] / 255.0 if len(colour) == 4 else 1.0)
        # "over" compositing with straight alpha
        da = p[3] / 255.0
        oa = a + da * (1 - a)
        for i in range(3):
            if oa > 0:
                p[i] = (colour[i] * a + p[i] * da * (1 - a)) / oa
        p[3] = oa * 255.0

    def shape(self, inside, bbox, colour):
        x0, y0, x1, y1 = bbox
        for y in range(max(0, int(math.floor(y0))), min(self.h, int(math.ceil(y1)) + 1)):
            for x in range(max(0, int(math.floor(x0))), min(self.w, int(math.ceil(x1)) + 1)):
                n = 0
                for sy in range(SS):
                    for sx in range(SS):
                        if inside(x + (sx + 0.5) / SS, y + (sy + 0.5) / SS):
                            n += 1
                if n:
                    self.blend(x, y, colour, n / (SS * SS))

    # primitives, coordinates in pixels (pixel i covers i..i+1)
    def rect(self, x0, y0, x1, y1, colour):
        self.shape(lambda x, y: x0 <= x < x1 and y0 <= y < y1, (x0, y0, x1, y1), colour)

    def frame(self, x0, y0, x1, y1, colour, t=1):
        self.rect(x0, y0, x1, y0 + t, colour)
        self.rect(x0, y1 - t, x1, y1, colour)
        self.rect(x0, y0, x0 + t, y1, colour)
        self.rect(x1 - t, y0, x1, y1, colour)

    def rrect(self, x0, y0, x1, y1, r, colour):
        def inside(x, y):
            if not (x0 <= x < x1 and y0 <= y < y1):
                return False
            cx = min(max(x, x0 + r), x1 - r)
            cy = min(max(y, y0 + r), y1 - r)
            return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
        self.shape(inside, (x0, y0, x1, y1), colour)

    def circle(self, cx, cy, r, colour):
        self.shape(lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r, (cx - r, cy - r, cx + r, cy + r), colour)

    def ring(self, cx, cy, r, t, colour):
        ri = r - t
        self.shape(lambda x, y: ri * ri <= (x - cx) ** 2 + (y - cy) ** 2 <= r * r,
                   (cx - r, cy - r, cx + r, cy + r), colour)

    def line(self, ax, ay, bx, by, t, colour):
        dx, dy = bx - ax, by - ay
        ll = dx * dx + dy * dy or 1e-9
        h = t / 2.0

        def inside(x, y):
            u = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / ll))
            px, py = ax + u * dx - x, ay + u * dy - y
            return px * px + py * py <= h * h
        self.shape(inside, (min(ax, bx) - h, min(ay, by) - h, max(ax, bx) + h, max(ay, by) + h), colour)

    def polyline(self, pts, t, colour):
        for a, b in zip(pts, pts[1:]):
            self.line(a[0], a[1], b[0], b[1], t, colour)

    def polygon(self, pts, colour):
        def inside(x, y):
            c = False
            j = len(pts) - 1
            for i in range(len(pts)):
                xi, yi = pts[i]
                xj, yj = pts[j]
                if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                    c = not c
                j = i
            return c
        xs = [p[0] for p in pts]
        ys = [p[1] for p in pts]
        self.shape(inside, (min(xs), min(ys), max(xs), max(ys)), colour)

    def vgradient(self, x0, y0, x1, y1, top, bottom):
        for y in range(y0, y1):
            f = (y - y0) / max(1, y1 - y0 - 1)
            c = tuple(top[i] + (bottom[i] - top[i]) * f for i in range(3))
            for x in range(x0, x1):
                self.blend(x, y, c, 1.0)

    def text(self, x, y, s, size, colour, font="DejaVu-Sans-Bold"):
        """Draws text with its top left corner at x, y; returns its width."""
        mask, w, h = render_text(s, size, font)
        for j in range(h):
            for i in range(w):
                v = mask[j * w + i]
                if v:
                    self.blend(x + i, y + j, colour, v / 255.0)
        return w

    def wave(self, cx, cy, width, amp, t, colour, periods=1.5):
        pts = []
        n = 24
        for i in range(n + 1):
            u = i / n
            pts.append((cx - width / 2 + u * width, cy - amp * math.sin(u * periods * 2 * math.pi)))
        self.polyline(pts, t, colour)

    def rgb_rows(self):
        return [[tuple(int(round(c)) for c in p[:3]) for p in row] for row in self.px]


def render_text(s, size, font):
    """Greyscale coverage of a text, rendered by ImageMagick, trimmed."""
    out = subprocess.run(
        ["convert", "-background", "black", "-fill", "white", "-font", font, "-pointsize", str(size),
         "label:" + s, "-trim", "+repage", "-depth", "8", "pgm:-"],
        check=True, capture_output=True).stdout
    # P5 header: magic, width, height, maxval, each followed by white space
    fields, pos = [], 0
    while len(fields) < 4:
        while out[pos:pos + 1].isspace():
            pos += 1
        start = pos
        while not out[pos:pos + 1].isspace():
            pos += 1
        fields.append(out[start:pos])
    pos += 1
    w, h = int(fields[1]), int(fields[2])
    return out[pos:pos + w * h], w, h


def text_width(s, size, font="DejaVu-Sans-Bold"):
    return render_text(s, size, font)[1]


# --------------------------------------------------------------------------
# file writers


def write_bmp(path, canvas):
    """24-bit bottom-up BMP, the form LoadBitmap and LoadImage take everywhere."""
    rows = canvas.rgb_rows()
    w, h = canvas.w, canvas.h
    stride = (w * 3 + 3) & ~3
    data = bytearray()
    for row in reversed(rows):
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        line += b"\0" * (stride - len(line))
        data += line
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(data), 0, 0, 14 + 40)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + data)


def icon_image(canvas):
    """One icon image: 32-bit BGRA DIB (height doubled) plus the AND mask."""
    w, h = canvas.w, canvas.h
    xor = bytearray()
    mask = bytearray()
    mstride = ((w + 31) // 32) * 4
    for row in reversed(canvas.px):
        for p in row:
            xor += bytes((int(round(p[2])), int(round(p[1])), int(round(p[0])), int(round(p[3]))))
        bits = bytearray(mstride)
        for i, p in enumerate(row):
            if p[3] < 128:
                bits[i // 8] |= 0x80 >> (i % 8)
        mask += bits
    info = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return info + xor + mask


def write_ico(path, canvases):
    images = [icon_image(c) for c in canvases]
    head = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    for c, img in zip(canvases, images):
        entries += struct.pack("<BBBBHHII", c.w % 256, c.h % 256, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    with open(path, "wb") as f:
        f.write(head + entries + b"".join(images))


# --------------------------------------------------------------------------
# pictograms, drawn into a square of size s at (ox, oy)


def draw_tide_mark(c, ox, oy, s, fg, accent):
    """The program's mark: a drop over two waves."""
    k = s / 32.0
    c.polygon([(ox + 16 * k, oy + 2 * k), (ox + 22 * k, oy + 11 * k), (ox + 10 * k, oy + 11 * k)], fg)
    c.circle(ox + 16 * k, oy + 12.5 * k, 6.2 * k, fg)
    c.wave(ox + 16 * k, oy + 23 * k, 26 * k, 2.2 * k, 3.0 * k, accent)
    c.wave(ox + 16 * k, oy + 28.5 * k, 26 * k, 2.2 * k, 2.6 * k, fg)


def nav_registry(c, ox, oy, s):
    k = s / 32.0
    # a key tree: root block and three leaves joined by lines
    c.line(ox + 9 * k, oy + 10 * k, ox + 9 * k, oy + 26 * k, 2 * k, WHITE)
    for y in (15, 21, 26):
        c.line(ox + 9 * k, oy + y * k, ox + 17 * k, oy + y * k, 2 * k, WHITE)
    c.rrect(ox + 3 * k, oy + 3 * k, ox + 15 * k, oy + 11 * k, 1.5 * k, WHITE)
    c.rect(ox + 5 * k, oy + 5 * k, ox + 13 * k, oy + 6.5 * k, BLUE)
    for i, y in enumerate((12, 18, 23)):
        c.rrect(ox + 17 * k, oy + y * k, ox + 29 * k, oy + (y + 6) * k, 1.2 * k, YELLOW if i == 1 else WHITE)


def nav_junk(c, ox, oy, s):
    k = s / 32.0
    # a waste bin with its lid
    c.rrect(ox + 6 * k, oy + 6 * k, ox + 26 * k, oy + 10 * k, 1 * k, WHITE)
    c.rect(ox + 13 * k, oy + 3 * k, ox + 19 * k, oy + 6 * k, WHITE)
    c.polygon([(ox + 8 * k, oy + 11 * k), (ox + 24 * k, oy + 11 * k), (ox + 22 * k, oy + 29 * k), (ox + 10 * k, oy + 29 * k)], WHITE)
    for x in (12.5, 16, 19.5):
        c.line(ox + x * k, oy + 14 * k, ox + x * k, oy + 26 * k, 1.6 * k, BLUE)


def nav_clock(c, ox, oy, s):
    k = s / 32.0
    c.circle(ox + 16 * k, oy + 16 * k, 13 * k, WHITE)
    c.ring(ox + 16 * k, oy + 16 * k, 13 * k, 1.2 * k, PALE)
    for i in range(12):
        a = i * math.pi / 6
        r0 = 9.5 if i % 3 else 8.5
        c.line(ox + (16 + r0 * math.sin(a)) * k, oy + (16 - r0 * math.cos(a)) * k,
               ox + (16 + 11 * math.sin(a)) * k, oy + (16 - 11 * math.cos(a)) * k, 1.2 * k, BLUE)
    c.line(ox + 16 * k, oy + 16 * k, ox + 16 * k, oy + 7.5 * k, 2 * k, BLUE_DARK)
    c.line(ox + 16 * k, oy + 16 * k, ox + 22 * k, oy + 19 * k, 2 * k, BLUE_DARK)
    c.circle(ox + 16 * k, oy + 16 * k, 1.8 * k, RED)


def nav_uninstall(c, ox, oy, s):
    k = s / 32.0
    # an open box with an item leaving it
    c.polygon([(ox + 4 * k, oy + 15 * k), (ox + 28 * k, oy + 15 * k), (ox + 26 * k, oy + 29 * k), (ox + 6 * k, oy + 29 * k)], WHITE)
    c.polygon([(ox + 4 * k, oy + 15 * k), (ox + 1 * k, oy + 10 * k), (ox + 10 * k, oy + 10 * k), (ox + 12 * k, oy + 15 * k)], PALE)
    c.polygon([(ox + 28 * k, oy + 15 * k), (ox + 31 * k, oy + 10 * k), (ox + 22 * k, oy + 10 * k), (ox + 20 * k, oy + 15 * k)], PALE)
    c.line(ox + 16 * k, oy + 13 * k, ox + 16 * k, oy + 3 * k, 3 * k, YELLOW)
    c.polygon([(ox + 10.5 * k, oy + 7 * k), (ox + 21.5 * k, oy + 7 * k), (ox + 16 * k, oy + 1 * k)], YELLOW)
    c.rect(ox + 10 * k, oy + 20 * k, ox + 22 * k, oy + 22.5 * k, BLUE)


def nav_plugins(c, ox, oy, s):
    k = s / 32.0
    # a plug with its cable
    c.rect(ox + 10 * k, oy + 3 * k, ox + 12.5 * k, oy + 10 * k, WHITE)
    c.rect(ox + 19.5 * k, oy + 3 * k, ox + 22 * k, oy + 10 * k, WHITE)
    c.rrect(ox + 7 * k, oy + 9 * k, ox + 25 * k, oy + 20 * k, 2 * k, WHITE)
    c.polygon([(ox + 10 * k, oy + 19 * k), (ox + 22 * k, oy + 19 * k), (ox + 18 * k, oy + 24 * k), (ox + 14 * k, oy + 24 * k)], WHITE)
    c.polyline([(ox + 16 * k, oy + 23 * k), (ox + 16 * k, oy + 26 * k), (ox + 20 * k, oy + 29.5 * k), (ox + 29 * k, oy + 29.5 * k)], 2.2 * k, WHITE)
    c.rect(ox + 11 * k, oy + 13 * k, ox + 21 * k, oy + 14.5 * k, BLUE)


def nav_about(c, ox, oy, s):
    k = s / 32.0
    c.circle(ox + 16 * k, oy + 16 * k, 13 * k, WHITE)
    c.circle(ox + 16 * k, oy + 9.5 * k, 2.2 * k, BLUE)
    c.rrect(ox + 14 * k, oy + 13.5 * k, ox + 18 * k, oy + 25 * k, 1 * k, BLUE)


def nav_bitmap(name, draw, size=32):
    c = Canvas(size, size, BLUE)
    draw(c, 0, 0, size)
    write_bmp(os.path.join(OUT, name), c)


def logo_bitmap(w, h):
    # The picture control centres it and fills the rest with the corner
    # colour (the dialog font decides the control's size in pixels), so the
    # edges are the plain navigation blue.
    c = Canvas(w, h, BLUE)
    c.rrect(14, 6, w - 14, h - 6, 10, (20, 160, 226))
    mark = 42
    draw_tide_mark(c, (w - mark) / 2, 12, mark, WHITE, (170, 230, 255))
    tw = text_width("Tidewell", 19)
    c.text((w - tw) // 2, 12 + mark + 8, "Tidewell", 19, WHITE)
    vw = text_width("3.0", 10, "DejaVu-Sans")
    c.text((w - vw) // 2, 12 + mark + 33, "3.0", 10, (220, 240, 255), "DejaVu-Sans")
    write_bmp(os.path.join(OUT, "logo.bmp"), c)


def site_bitmap(w, h):
    # plain page grey at the edges, for the same reason as the logo
    c = Canvas(w, h, GREY)
    g = 25
    gx, gy = 14, (h - g) / 2
    c.circle(gx + g / 2, gy + g / 2, g / 2, BLUE)
    c.ring(gx + g / 2, gy + g / 2, g / 2 - 3, 1.2, WHITE)
    c.line(gx + 1.5, gy + g / 2, gx + g - 1.5, gy + g / 2, 1.2, WHITE)
    c.shape(lambda x, y: abs(((x - gx - g / 2) / 5.0) ** 2 + ((y - gy - g / 2) / (g / 2 - 1.5)) ** 2 - 1) < 0.12,
            (gx, gy, gx + g, gy + g), WHITE)
    c.text(gx + g + 8, int(gy + (g - 13) / 2), "Quorvane", 13, BLUE_DARK)
    write_bmp(os.path.join(OUT, "site.bmp"), c)


def strip_icons():
    """Status strip: 15 x 15 images on the page grey (the list's transparent colour)."""
    c = Canvas(30, 15, GREY)
    c.rrect(0.5, 0.5, 14.5, 14.5, 2.5, BLUE)
    draw_tide_mark(c, 1.5, 1.5, 12, WHITE, (170, 230, 255))
    # second image: a magnifier, shown while a scan runs
    c.ring(15 + 6, 6, 4.6, 1.8, BLUE)
    c.line(15 + 9.2, 9.2, 15 + 13.5, 13.5, 2.4, BLUE_DARK)
    write_bmp(os.path.join(OUT, "strip.bmp"), c)


def tick_box(c, ox, ticked):
    # 11 x 11 box; white is the transparent colour, so the inside is a near-white
    c.rect(ox + 0, 0, ox + 11, 11, (110, 140, 170))
    c.rect(ox + 1, 1, ox + 10, 10, (250, 252, 255))
    if ticked:
        c.polyline([(ox + 2.6, 5.6), (ox + 4.6, 7.8), (ox + 8.6, 2.8)], 1.8, BLUE_DARK)


def list_ticks():
    c = Canvas(22, 11, WHITE)
    tick_box(c, 0, False)
    tick_box(c, 11, True)
    write_bmp(os.path.join(OUT, "list_ticks.bmp"), c)


def tree_ticks():
    c = Canvas(33, 11, WHITE)
    tick_box(c, 11, False)
    tick_box(c, 22, True)
    write_bmp(os.path.join(OUT, "tree_ticks.bmp"), c)


def tree_images():
    """16 x 16 each on white: computer, open folder, folder, drive; 139 wide."""
    c = Canvas(139, 16, WHITE)
    # computer
    c.rrect(1, 1.5, 15, 11.5, 1, (90, 100, 115))
    c.rect(2.5, 3, 13.5, 10, (120, 200, 245))
    c.rect(6, 11.5, 10, 13.5, (90, 100, 115))
    c.rrect(3, 13, 13, 15, 0.8, (150, 160, 170))
    # open folder
    o = 16
    c.polygon([(o + 1, 3), (o + 6, 3), (o + 7.5, 4.5), (o + 13, 4.5), (o + 13, 13.5), (o + 1, 13.5)], (214, 160, 40))
    c.polygon([(o + 3.5, 7), (o + 15.5, 7), (o + 13, 13.5), (o + 1, 13.5)], (255, 210, 90))
    # folder
    o = 32
    c.polygon([(o + 1, 3), (o + 6, 3), (o + 7.5, 4.5), (o + 15, 4.5), (o + 15, 13.5), (o + 1, 13.5)], (214, 160, 40))
    c.rect(o + 1, 6, o + 15, 13.5, (255, 204, 80))
    # drive
    o = 48
    c.rrect(o + 1, 5, o + 15, 12, 1.5, (150, 158, 168))
    c.rect(o + 2, 6, o + 14, 9, (200, 206, 214))
    c.rect(o + 11, 9.5, o + 13, 11, (60, 200, 80))
    write_bmp(os.path.join(OUT, "tree.bmp"), c)


def program_default():
    """16 x 16 default program picture on white (transparent)."""
    c = Canvas(16, 16, WHITE)
    c.rect(1, 2, 15, 14, (70, 90, 120))
    c.rect(2, 5, 14, 13, (245, 248, 252))
    c.rect(2, 3, 14, 4.5, BLUE)
    c.rect(4, 7, 12, 8, (150, 170, 190))
    c.rect(4, 9.5, 10, 10.5, (150, 170, 190))
    write_bmp(os.path.join(OUT, "program.bmp"), c)


# icons


def app_icon_image(size):
    c = Canvas(size, size, (0, 0, 0, 0))
    r = size * 0.18
    c.rrect(0.5, 0.5, size - 0.5, size - 0.5, r, BLUE_DARK)
    c.rrect(1.5, 1.5, size - 1.5, size - 1.5, r, BLUE)
    m = size * 0.12
    draw_tide_mark(c, m, m, size - 2 * m, WHITE, (170, 230, 255))
    return c


def tray_icon_image(size):
    # the tray shows it small: a bolder mark on a round blue field
    c = Canvas(size, size, (0, 0, 0, 0))
    c.circle(size / 2, size / 2, size / 2 - 0.3, BLUE_DARK)
    c.circle(size / 2, size / 2, size / 2 - 1.2, BLUE)
    m = size * 0.16
    draw_tide_mark(c, m, m * 0.9, size - 2 * m, WHITE, YELLOW)
    return c


def notice_icon_image(size):
    c = Canvas(size, size, (0, 0, 0, 0))
    k = size / 32.0
    c.circle(16 * k, 16 * k, 15 * k, BLUE_DARK)
    c.circle(16 * k, 16 * k, 14 * k, BLUE)
    c.rrect(13.8 * k, 6 * k, 18.2 * k, 19.5 * k, 2 * k, WHITE)
    c.circle(16 * k, 24 * k, 2.5 * k, WHITE)
    return c


def main():
    os.makedirs(OUT, exist_ok=True)
    nav_bitmap("nav_registry.bmp", nav_registry)
    nav_bitmap("nav_junk.bmp", nav_junk)
    nav_bitmap("nav_clock.bmp", nav_clock)
    nav_bitmap("nav_uninstall.bmp", nav_uninstall)
    nav_bitmap("nav_plugins.bmp", nav_plugins)
    nav_bitmap("nav_about.bmp", nav_about)
    # 100 x 85 and 100 x 23 dialog units are 150 x 128 and 150 x 35 pixels
    # with SimSun 9 at 96 dots per inch; larger fonts leave a plain margin
    logo_bitmap(150, 128)
    site_bitmap(150, 35)
    strip_icons()
    list_ticks()
    tree_ticks()
    tree_images()
    program_default()
    write_ico(os.path.join(OUT, "app.ico"), [app_icon_image(s) for s in (16, 32, 48)])
    write_ico(os.path.join(OUT, "tray.ico"), [tray_icon_image(s) for s in (16, 32)])
    write_ico(os.path.join(OUT, "notice.ico"), [notice_icon_image(s) for s in (16, 32)])
    return 0


if __name__ == "__main__":
    sys.exit(main())
