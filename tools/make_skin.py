#!/usr/bin/env python3
"""Draws the program's skin: the bitmaps of the installer window and of the
guide dialog, written as 24-bit bottom-up BMP files named after their
resource ids.

Everything is drawn from signed distances (anti-aliased edges, no noise, no
randomness), so a run always writes the same bytes. Pictures are blitted
opaquely over the background and the big panel, so each one is painted over
a copy of exactly what lies under it on screen: the two windows are first
composed here the way the program paints them. Button strips are drawn with
magenta as their transparent colour: their rounded corners are magenta, and
their anti-aliased rims blend into the colour they will sit on.

usage: make_skin.py OUTPUT_DIR
"""
import math
import os
import struct
import sys

MAGENTA = (255, 0, 255)

# The installer window (430 x 270) and the guide dialog (480 x 282).
WINDOW_W, WINDOW_H = 430, 270
GUIDE_W, GUIDE_H = 480, 282
PANEL_X, PANEL_Y, PANEL_W, PANEL_H = 20, 40, 391, 165
HEADER_H = 32  # the guide's dark title band

# One palette for both windows: deep teal and navy, a brighter teal accent.
ACCENT = (31, 144, 152)
PANEL_FILL = (17, 52, 69)  # also the progress animation's background
GLOW = (44, 118, 138)


# ---------------------------------------------------------------- colours

def mix(a, b, t):
    return tuple(x + (y - x) * t for x, y in zip(a, b))


def ramp(stops, t):
    """Colour at t along [(position, colour), ...] with rising positions."""
    if t <= stops[0][0]:
        return stops[0][1]
    for (p0, c0), (p1, c1) in zip(stops, stops[1:]):
        if t <= p1:
            return mix(c0, c1, (t - p0) / (p1 - p0))
    return stops[-1][1]


def vertical(top, bottom, y0, y1):
    """Paint: a top-to-bottom gradient between rows y0 and y1."""
    span = max(y1 - y0, 1e-6)
    return lambda x, y: mix(top, bottom, min(max((y - y0) / span, 0.0), 1.0))


# ---------------------------------------------------------------- shapes
# Signed distances in pixels: negative inside. A pixel's centre is at +0.5.

def circle(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) - r


def rbox(x0, y0, x1, y1, r):
    cx, cy, hw, hh = (x0 + x1) / 2, (y0 + y1) / 2, (x1 - x0) / 2, (y1 - y0) / 2

    def d(x, y):
        qx, qy = abs(x - cx) - hw + r, abs(y - cy) - hh + r
        return math.hypot(max(qx, 0.0), max(qy, 0.0)) + min(max(qx, qy), 0.0) - r
    return d


def segment(ax, ay, bx, by, r):
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy

    def d(x, y):
        t = min(max(((x - ax) * dx + (y - ay) * dy) / length2, 0.0), 1.0)
        return math.hypot(x - ax - dx * t, y - ay - dy * t) - r
    return d


def polygon(points):
    n = len(points)

    def d(x, y):
        best = float("inf")
        inside = False
        for i in range(n):
            ax, ay = points[i]
            bx, by = points[i - 1]
            ex, ey = bx - ax, by - ay
            wx, wy = x - ax, y - ay
            t = min(max((wx * ex + wy * ey) / (ex * ex + ey * ey), 0.0), 1.0)
            best = min(best, math.hypot(wx - ex * t, wy - ey * t))
            if (ay > y) != (by > y) and x < ax + (y - ay) * ex / ey:
                inside = not inside
        return -best if inside else best
    return d


def union(*shapes):
    return lambda x, y: min(s(x, y) for s in shapes)


def minus(a, b):
    return lambda x, y: max(a(x, y), -b(x, y))


def intersect(a, b):
    return lambda x, y: max(a(x, y), b(x, y))


def outline(shape, width):
    return lambda x, y: abs(shape(x, y)) - width / 2


def shift(shape, dx, dy):
    return lambda x, y: shape(x - dx, y - dy)


# ---------------------------------------------------------------- canvas

class Canvas:
    def __init__(self, w, h, paint=(0, 0, 0)):
        self.w, self.h = w, h
        self.px = [[list(paint(x + 0.5, y + 0.5) if callable(paint) else paint) for x in range(w)]
                   for y in range(h)]

    def fill(self, shape, paint, box=None, alpha=1.0):
        """Paints where shape is negative, edges anti-aliased. paint is a
        colour or a function of the pixel centre giving (r, g, b[, a])."""
        x0, y0, x1, y1 = box or (0, 0, self.w, self.h)
        x0, y0 = max(int(math.floor(x0)), 0), max(int(math.floor(y0)), 0)
        x1, y1 = min(int(math.ceil(x1)), self.w), min(int(math.ceil(y1)), self.h)
        for y in range(y0, y1):
            row = self.px[y]
            for x in range(x0, x1):
                cx, cy = x + 0.5, y + 0.5
                cover = 0.5 - shape(cx, cy)
                if cover <= 0:
                    continue
                c = paint(cx, cy) if callable(paint) else paint
                a = min(cover, 1.0) * alpha * (c[3] if len(c) > 3 else 1.0)
                p = row[x]
                for i in range(3):
                    p[i] += (c[i] - p[i]) * a

    def glow(self, cx, cy, radius, colour, strength, squash=1.0):
        """A soft light, fading to nothing at radius (at radius * squash
        vertically)."""
        ry = radius * squash

        def paint(x, y):
            t = min(math.hypot((x - cx) / radius, (y - cy) / ry), 1.0)
            return colour + ((1 - t * t) ** 2,)
        self.fill(lambda x, y: -1.0, paint, (cx - radius, cy - ry, cx + radius, cy + ry), strength)

    def crop(self, x, y, w, h):
        out = Canvas.__new__(Canvas)
        out.w, out.h = w, h
        out.px = [[list(p) for p in row[x:x + w]] for row in self.px[y:y + h]]
        return out

    def paste(self, other, x, y):
        for j, row in enumerate(other.px):
            self.px[y + j][x:x + other.w] = [list(p) for p in row]

    def rgb(self, x, y):
        return tuple(int(round(min(max(v, 0.0), 255.0))) for v in self.px[y][x])

    def bmp(self):
        stride = (self.w * 3 + 3) & ~3
        rows = []
        for y in range(self.h - 1, -1, -1):  # bottom-up
            row = bytearray()
            for x in range(self.w):
                r, g, b = self.rgb(x, y)
                row += bytes((b, g, r))
            rows.append(bytes(row) + bytes(stride - len(row)))
        pixels = b"".join(rows)
        info = struct.pack("<IiiHHIIiiII", 40, self.w, self.h, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
        head = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
        return head + info + pixels


# ---------------------------------------------------------------- backgrounds

def window_background_row(y):
    """174: the installer window's gradient, a lit top edge and a dark
    bottom edge standing in for the border the window does not have."""
    if y == 0:
        return (74, 132, 150)
    if y == WINDOW_H - 1:
        return (6, 18, 27)
    return ramp([(0.0, (30, 82, 104)), (0.4, (19, 58, 77)), (1.0, (9, 29, 42))], (y + 0.5) / WINDOW_H)


def guide_background_row(y):
    """175: a dark title band, a thin accent rule, then a light page."""
    if y == 0:
        return (74, 132, 150)
    if y < HEADER_H:
        return mix((30, 82, 104), (19, 58, 77), (y + 0.5) / HEADER_H)
    if y == HEADER_H:
        return ACCENT
    if y == GUIDE_H - 1:
        return (176, 190, 196)
    return ramp([(0.0, (251, 252, 252)), (0.6, (243, 247, 248)), (1.0, (226, 234, 237))],
                (y - HEADER_H) / (GUIDE_H - HEADER_H))


def column(height, row_colour):
    c = Canvas(1, height)
    for y in range(height):
        c.px[y][0] = list(row_colour(y))
    return c


def stretched(width, height, row_colour):
    return Canvas(width, height, lambda x, y: row_colour(int(y)))


# ---------------------------------------------------------------- installer window

# Where the pictures sit in the window, and the texts they must leave alone.
PHONE_AT, PC_AT = (30, 65), (300, 65)
EMBLEM_AT, NOTICE_ICON_AT = (135, 8), (90, 160)
PHONE_CENTRE, PC_CENTRE = (78, 105), (357, 104)


def draw_panel(win):
    """176 in place: a dark rounded plate, lit along its top rim, with soft
    light behind the phone and the PC. Between them (the status text and
    the progress animation) the plate is one flat colour."""
    x0, y0, x1, y1 = PANEL_X, PANEL_Y, PANEL_X + PANEL_W, PANEL_Y + PANEL_H
    plate = rbox(x0 + 0.5, y0 + 0.5, x1 - 0.5, y1 - 0.5, 11)
    rim = vertical((88, 146, 164), (22, 60, 78), y0, y0 + 60)
    win.fill(plate, rim, (x0, y0, x1, y1))
    inner = rbox(x0 + 1.5, y0 + 1.5, x1 - 1.5, y1 - 1.5, 10)
    sheen = vertical((27, 72, 92), PANEL_FILL, y0, y0 + 34)
    win.fill(inner, sheen, (x0, y0, x1, y1))
    win.glow(*PHONE_CENTRE, 52, GLOW, 0.55)
    win.glow(*PC_CENTRE, 52, GLOW, 0.55)
    # A quiet well under the notice, with its icon at the left.
    well = rbox(82.5, 156.5, 390.5, 198.5, 7)
    win.fill(well, (11, 37, 51), (82, 156, 391, 199))
    win.fill(outline(rbox(82.5, 156.5, 390.5, 198.5, 7), 1.0), (25, 66, 84, 0.8), (81, 155, 392, 200))


def draw_phone(win):
    ox, oy = PHONE_AT
    cx = ox + 48
    body = rbox(cx - 19, oy + 6, cx + 19, oy + 75, 7)
    win.fill(shift(body, 1.5, 2.5), (4, 14, 20, 0.45), (ox, oy, ox + 100, oy + 80))  # shadow
    win.fill(body, vertical((86, 100, 108), (44, 54, 62), oy + 6, oy + 75), (ox, oy, ox + 100, oy + 80))
    inner = rbox(cx - 17.5, oy + 7.5, cx + 17.5, oy + 73.5, 5.8)
    win.fill(inner, vertical((40, 48, 55), (26, 32, 38), oy + 6, oy + 75), (ox, oy, ox + 100, oy + 80))
    screen = rbox(cx - 15, oy + 15, cx + 15, oy + 63, 1.5)
    win.fill(screen, vertical((72, 196, 204), (24, 104, 128), oy + 15, oy + 63), (ox, oy, ox + 100, oy + 80))
    # A diagonal sheen across the upper screen.
    sheen = intersect(screen, polygon([(cx - 15, oy + 15), (cx + 15, oy + 15), (cx + 15, oy + 22), (cx - 15, oy + 40)]))
    win.fill(sheen, (255, 255, 255, 0.14), (ox, oy, ox + 100, oy + 80))
    # Tiles on the screen.
    for row in range(3):
        for col in range(3):
            tx, ty = cx - 11 + col * 8, oy + 34 + row * 8
            win.fill(rbox(tx, ty, tx + 6, ty + 6, 1.5), (220, 246, 248, 0.55), (tx - 1, ty - 1, tx + 8, ty + 8))
    win.fill(segment(cx - 5, oy + 11, cx + 5, oy + 11, 1.0), (92, 108, 116), (ox, oy, ox + 100, oy + 20))
    win.fill(circle(cx, oy + 68.5, 2.6), (64, 76, 84), (ox, oy + 60, ox + 100, oy + 78))
    win.fill(outline(circle(cx, oy + 68.5, 2.6), 0.8), (110, 126, 134), (ox, oy + 60, ox + 100, oy + 78))


def draw_pc(win):
    ox, oy = PC_AT
    cx = ox + 57
    box = (ox, oy, ox + 100, oy + 80)
    frame = rbox(cx - 37, oy + 8, cx + 37, oy + 58, 4)
    win.fill(shift(frame, 1.5, 2.5), (4, 14, 20, 0.45), box)
    win.fill(frame, vertical((96, 110, 118), (48, 58, 66), oy + 8, oy + 58), box)
    win.fill(rbox(cx - 36, oy + 9, cx + 36, oy + 57, 3), vertical((44, 52, 59), (28, 34, 40), oy + 8, oy + 58), box)
    screen = rbox(cx - 33, oy + 12, cx + 33, oy + 51, 1)
    win.fill(screen, vertical((72, 196, 204), (24, 104, 128), oy + 12, oy + 51), box)
    sheen = intersect(screen, polygon([(cx - 33, oy + 12), (cx + 33, oy + 12), (cx + 33, oy + 18), (cx - 33, oy + 36)]))
    win.fill(sheen, (255, 255, 255, 0.14), box)
    # A window on the desktop with a progress bar in it.
    win.fill(rbox(cx - 20, oy + 22, cx + 20, oy + 43, 2), (224, 246, 248, 0.85), box)
    win.fill(rbox(cx - 20, oy + 22, cx + 20, oy + 26, 2), (31, 144, 152, 0.9), box)
    win.fill(rbox(cx - 15, oy + 33, cx + 15, oy + 37, 2), (160, 196, 202), box)
    win.fill(rbox(cx - 15, oy + 33, cx + 4, oy + 37, 2), ACCENT, box)
    win.fill(circle(cx, oy + 54.5, 1.1), (120, 210, 190), box)
    # Stand.
    win.fill(polygon([(cx - 6, oy + 58), (cx + 6, oy + 58), (cx + 8, oy + 68), (cx - 8, oy + 68)]),
             vertical((70, 82, 90), (40, 48, 55), oy + 58, oy + 68), box)
    base = rbox(cx - 20, oy + 67, cx + 20, oy + 72, 2.5)
    win.fill(shift(base, 1, 1.5), (4, 14, 20, 0.4), box)
    win.fill(base, vertical((110, 124, 132), (56, 66, 74), oy + 67, oy + 72), box)


def draw_emblem(win):
    """171: a plate with an abstract mark (a disc linked to a phone, as in
    the panel below) between fading rules. No lettering: the window speaks
    36 languages."""
    ox, oy = EMBLEM_AT
    box = (ox, oy, ox + 160, oy + 25)
    cx, cy = ox + 80, oy + 12.5
    for side in (-1, 1):
        for i, y in enumerate((cy - 3, cy + 3)):
            def fade(x, y):
                t = min(abs(x - cx) / 78.0, 1.0)
                return (120, 196, 206, 0.55 * (1 - t) ** 1.5)
            a, b = cx + side * 25, cx + side * (78 - 10 * i)
            win.fill(segment(min(a, b), y, max(a, b), y, 0.5), fade, box)
    win.glow(cx, cy, 34, (70, 150, 170), 0.5, squash=12 / 34)
    dx = cx - 11
    win.fill(circle(dx, cy, 8.5), vertical((206, 240, 244), (100, 178, 190), cy - 8.5, cy + 8.5), box)
    win.fill(outline(circle(dx, cy, 5.2), 0.8), (255, 255, 255, 0.55), box)
    win.fill(circle(dx, cy, 2.4), window_background_row(int(cy)), box)
    for x in (cx + 1, cx + 4.5):
        win.fill(circle(x, cy, 1.1), (150, 220, 228), box)
    device = rbox(cx + 8.5, cy - 8.5, cx + 19.5, cy + 8.5, 2.2)
    win.fill(device, (16, 50, 66), box)
    win.fill(outline(device, 1.6), (230, 248, 250), box)
    win.fill(rbox(cx + 11, cy - 5.5, cx + 17, cy + 4.5, 0.5), ACCENT, box)


def draw_notice_icon(win):
    """172: a USB plug on its cable, facing up."""
    ox, oy = NOTICE_ICON_AT
    box = (ox, oy, ox + 30, oy + 30)
    cx = ox + 15
    win.fill(circle(cx, oy + 15, 13.5), (21, 66, 84), box)
    win.fill(outline(circle(cx, oy + 15, 13.5), 1.0), (48, 120, 138), box)
    metal = vertical((236, 244, 246), (170, 186, 192), oy + 5, oy + 12)
    win.fill(rbox(cx - 5, oy + 5, cx + 5, oy + 12.5, 0.8), metal, box)
    for hx in (cx - 2.5, cx + 2.5):
        win.fill(rbox(hx - 1.2, oy + 7, hx + 1.2, oy + 9, 0.2), (40, 60, 70), box)
    win.fill(rbox(cx - 6.5, oy + 12, cx + 6.5, oy + 20, 2), vertical((90, 200, 208), (40, 140, 150), oy + 12, oy + 20), box)
    win.fill(segment(cx, oy + 20, cx, oy + 27, 1.6), (90, 200, 208), box)


def compose_window():
    win = stretched(WINDOW_W, WINDOW_H, window_background_row)
    draw_panel(win)
    panel = win.crop(PANEL_X, PANEL_Y, PANEL_W, PANEL_H)
    draw_phone(win)
    draw_pc(win)
    draw_emblem(win)
    draw_notice_icon(win)
    return win, panel


# ---------------------------------------------------------------- guide dialog

DISC_AT = (20, 100)


def draw_disc(dlg):
    """168: a disc with a download badge over its lower right."""
    ox, oy = DISC_AT
    box = (ox, oy, ox + 115, oy + 115)
    cx, cy, r = ox + 52, oy + 54, 46
    dlg.fill(circle(cx + 2, cy + 4, r + 1), (40, 70, 84, 0.16), box)

    def silver(x, y):
        # Light bands around the centre, as on a pressed disc.
        a = math.atan2(y - cy, x - cx)
        t = 0.5 + 0.5 * math.cos(2 * a - 0.9)
        base = mix((170, 190, 198), (240, 247, 249), t ** 1.6)
        return mix(base, (150, 214, 222), 0.3 * (0.5 + 0.5 * math.sin(3 * a + 1.2)))
    dlg.fill(circle(cx, cy, r), silver, box)
    dlg.fill(outline(circle(cx, cy, r - 0.3), 1.0), (120, 146, 156), box)
    dlg.fill(outline(circle(cx, cy, 30), 0.7), (255, 255, 255, 0.45), box)
    dlg.fill(circle(cx, cy, 15), (214, 226, 230), box)
    dlg.fill(outline(circle(cx, cy, 15), 1.0), (150, 170, 178), box)
    dlg.fill(circle(cx, cy, 6), lambda x, y: guide_background_row(int(y)), box)
    dlg.fill(outline(circle(cx, cy, 6), 1.0), (140, 160, 168), box)

    bx, by, br = ox + 84, oy + 84, 24
    dlg.fill(circle(bx + 1, by + 2, br + 1.5), (30, 60, 70, 0.25), box)
    dlg.fill(circle(bx, by, br + 2.5), (255, 255, 255), box)
    dlg.fill(circle(bx, by, br), vertical((64, 184, 190), (22, 118, 128), by - br, by + br), box)
    arrow = union(rbox(bx - 4, by - 14, bx + 4, by + 2, 1.2),
                  polygon([(bx - 11.5, by - 1), (bx + 11.5, by - 1), (bx, by + 11)]))
    dlg.fill(arrow, (255, 255, 255), box)
    dlg.fill(rbox(bx - 12, by + 13, bx + 12, by + 16, 1.5), (255, 255, 255), box)


def compose_guide():
    dlg = stretched(GUIDE_W, GUIDE_H, guide_background_row)
    draw_disc(dlg)
    return dlg


# ---------------------------------------------------------------- buttons

def button_strip(fw, fh, looks, under_row, radius, glyph=None):
    """Four frames side by side: normal, hover, pressed, disabled. Each look
    is (border, face top, face bottom, highlight, glyph colour); a border of
    None leaves the frame bare but for the glyph. under_row gives the colour
    the strip will sit on, for the anti-aliased rims."""
    strip = Canvas(fw * 4, fh, lambda x, y: under_row(int(y)))
    keep = [[0.0] * (fw * 4) for _ in range(fh)]
    for i, (border, top, bottom, highlight, ink) in enumerate(looks):
        x0 = i * fw
        box = (x0, 0, x0 + fw, fh)
        shapes = []
        if border is not None:
            outer = rbox(x0, 0, x0 + fw, fh, radius)
            strip.fill(outer, border, box)
            face = rbox(x0 + 1, 1, x0 + fw - 1, fh - 1, radius - 1)
            strip.fill(face, vertical(top, bottom, 1, fh - 1), box)
            if highlight:
                strip.fill(rbox(x0 + 2, 1, x0 + fw - 2, 2, 0.5), highlight, box)
            shapes.append(outer)
        if glyph:
            g = glyph(x0 + fw / 2, fh / 2)
            strip.fill(g, ink, box)
            shapes.append(g)
        for y in range(fh):
            for x in range(x0, x0 + fw):
                keep[y][x] = max(0.5 - min(s(x + 0.5, y + 0.5) for s in shapes), keep[y][x])
    for y in range(fh):
        for x in range(fw * 4):
            if keep[y][x] <= 0:
                strip.px[y][x] = list(MAGENTA)
    return strip


DISABLED = ((96, 104, 110), (116, 123, 128), (116, 123, 128), None, None)

# Cancel sits on the dark window background, the others on the light page.
CANCEL_LOOKS = [
    ((38, 68, 82), (236, 242, 244), (198, 212, 217), (255, 255, 255, 0.7), None),
    ((70, 170, 180), (246, 253, 253), (190, 230, 233), (255, 255, 255, 0.9), None),
    ((26, 50, 62), (170, 188, 195), (204, 216, 220), (120, 140, 148, 0.6), None),
    DISABLED,
]
PRIMARY_LOOKS = [
    ((28, 118, 126), (118, 204, 209), (66, 164, 172), (255, 255, 255, 0.5), None),
    ((31, 144, 152), (150, 222, 226), (90, 188, 194), (255, 255, 255, 0.6), None),
    ((18, 92, 100), (52, 138, 146), (84, 166, 172), (20, 80, 88, 0.6), None),
    DISABLED,
]
SECONDARY_LOOKS = [
    ((150, 166, 172), (253, 254, 254), (222, 229, 231), (255, 255, 255, 0.8), None),
    ((31, 144, 152), (255, 255, 255), (214, 238, 240), (255, 255, 255, 0.9), None),
    ((108, 126, 133), (194, 207, 211), (224, 231, 233), (150, 166, 172, 0.6), None),
    DISABLED,
]


def close_cross(cx, cy):
    return union(segment(cx - 3.5, cy - 3.5, cx + 3.5, cy + 3.5, 0.9),
                 segment(cx - 3.5, cy + 3.5, cx + 3.5, cy - 3.5, 0.9))


# The close button is a bare cross until pointed at; then it gets a plate.
CLOSE_LOOKS = [
    (None, None, None, None, (206, 224, 230)),
    ((31, 144, 152), (56, 170, 178), (31, 144, 152), None, (255, 255, 255)),
    ((14, 80, 88), (18, 92, 100), (28, 112, 120), None, (196, 216, 222)),
    (None, None, None, None, (104, 128, 140)),
]


# ---------------------------------------------------------------- output

def skin():
    win, panel = compose_window()
    dlg = compose_guide()
    cancel_y = 250 - 28
    return {
        163: button_strip(80, 28, CANCEL_LOOKS, lambda y: window_background_row(cancel_y + y), 6),
        164: button_strip(16, 16, CLOSE_LOOKS, lambda y: guide_background_row(8 + y), 3, close_cross),
        165: button_strip(100, 28, PRIMARY_LOOKS, lambda y: guide_background_row(222 + y), 6),
        166: button_strip(100, 28, SECONDARY_LOOKS, lambda y: guide_background_row(222 + y), 6),
        168: dlg.crop(*DISC_AT, 115, 115),
        169: win.crop(*PC_AT, 100, 80),
        170: win.crop(*PHONE_AT, 100, 80),
        171: win.crop(*EMBLEM_AT, 160, 25),
        172: win.crop(*NOTICE_ICON_AT, 30, 30),
        174: column(WINDOW_H, window_background_row),
        175: column(GUIDE_H, guide_background_row),
        176: panel,
    }


def main(out_dir):
    os.makedirs(out_dir, exist_ok=True)
    for rid, canvas in skin().items():
        with open(os.path.join(out_dir, "%d.bmp" % rid), "wb") as f:
            f.write(canvas.bmp())


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    main(sys.argv[1])
