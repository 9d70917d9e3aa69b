#!/usr/bin/python3
"""Draws the editor's eight panel and control images into resources/.

Run: /usr/bin/python3 tools/artwork/make_artwork.py [output folder]
Needs Debian's python3-cairo, python3-pil, python3-numpy and the fonts of
fonts-dejavu-core and fonts-urw-base35 (script lettering). The drawing is
seeded, so a rerun gives the same pictures.
"""
import math
import os
import sys

import cairo
import numpy as np
from PIL import Image, ImageFilter

W, H = 890, 162
RED = (0.86, 0.12, 0.08)
SANS = "DejaVu Sans"
SCRIPT = "Z003"


# ---------------------------------------------------------------- helpers

def new_surface(w, h):
    return cairo.ImageSurface(cairo.FORMAT_ARGB32, w, h)


def to_pil(surface):
    """Cairo premultiplied BGRA to a straight-alpha PIL RGBA image."""
    surface.flush()
    w, h = surface.get_width(), surface.get_height()
    a = np.ndarray((h, surface.get_stride() // 4, 4), np.uint8, surface.get_data())[:, :w].astype(np.float64)
    alpha = a[..., 3:4]
    rgb = np.where(alpha > 0, a[..., 2::-1] * 255.0 / np.maximum(alpha, 1), 0)
    out = np.concatenate([np.clip(rgb, 0, 255), alpha], axis=2)
    return Image.fromarray(np.round(out).astype(np.uint8), "RGBA")


def from_pil(img):
    img = img.convert("RGBA")
    a = np.asarray(img).astype(np.float64)
    alpha = a[..., 3:4] / 255.0
    bgra = np.concatenate([a[..., 2::-1] * alpha, a[..., 3:4]], axis=2)
    h, w = a.shape[:2]
    surface = new_surface(w, h)
    stride = surface.get_stride()
    buf = np.zeros((h, stride // 4, 4), np.uint8)
    buf[:, :w] = np.round(bgra).astype(np.uint8)
    surface.get_data()[:] = buf.tobytes()
    surface.mark_dirty()
    return surface


def blurred_shadow(w, h, draw, radius, opacity):
    """Black shadow of whatever draw(ctx) fills, blurred by radius pixels."""
    s = new_surface(w, h)
    ctx = cairo.Context(s)
    ctx.set_source_rgba(0, 0, 0, 1)
    draw(ctx)
    img = to_pil(s)
    alpha = img.split()[3].filter(ImageFilter.GaussianBlur(radius))
    alpha = alpha.point(lambda v: int(v * opacity))
    black = Image.new("RGBA", (w, h), (0, 0, 0, 0))
    black.putalpha(alpha)
    return from_pil(black)


def text(ctx, s, x, y, size, colour=RED, face=SANS, bold=True, italic=False, align="center", emboss=True):
    ctx.select_font_face(face, cairo.FONT_SLANT_ITALIC if italic else cairo.FONT_SLANT_NORMAL,
                         cairo.FONT_WEIGHT_BOLD if bold else cairo.FONT_WEIGHT_NORMAL)
    ctx.set_font_size(size)
    ext = ctx.text_extents(s)
    if align == "center":
        x0 = x - ext.x_advance / 2
    elif align == "right":
        x0 = x - ext.x_advance
    else:
        x0 = x
    if emboss:
        ctx.set_source_rgba(0, 0, 0, 0.75)
        ctx.move_to(x0 + 0.6, y + 0.8)
        ctx.show_text(s)
        ctx.set_source_rgba(1, 1, 1, 0.10)
        ctx.move_to(x0 - 0.4, y - 0.5)
        ctx.show_text(s)
    ctx.set_source_rgb(*colour)
    ctx.move_to(x0, y)
    ctx.show_text(s)
    return x0, x0 + ext.x_advance


def brushed_metal(seed, base):
    rng = np.random.default_rng(seed)
    n = rng.normal(0, 1, (H, W + 200))
    kernel = np.ones(90) / 90
    streak = np.array([np.convolve(row, kernel, mode="same") for row in n])[:, 100:W + 100]
    streak /= streak.std()
    fine = rng.normal(0, 1, (H, W))
    y = np.linspace(0, 1, H)[:, None]
    v = base + 6.0 * streak + 2.5 * fine + 8.0 * (1 - y) ** 2 - 4.0 * y
    rgb = np.stack([v * 0.98, v * 0.99, v * 1.04], axis=2)
    img = Image.fromarray(np.clip(rgb, 0, 255).astype(np.uint8), "RGB")
    return from_pil(img)


def bevel_frame(ctx):
    # Raised edge of the face plate: light top and left, dark bottom and right.
    ctx.set_line_width(1)
    for i, (a_light, a_dark) in enumerate([(0.30, 0.75), (0.16, 0.45), (0.07, 0.2)]):
        ctx.set_source_rgba(1, 1, 1, a_light)
        ctx.move_to(i + 0.5, H - i - 0.5)
        ctx.line_to(i + 0.5, i + 0.5)
        ctx.line_to(W - i - 0.5, i + 0.5)
        ctx.stroke()
        ctx.set_source_rgba(0, 0, 0, a_dark)
        ctx.move_to(W - i - 0.5, i + 0.5)
        ctx.line_to(W - i - 0.5, H - i - 0.5)
        ctx.line_to(i + 0.5, H - i - 0.5)
        ctx.stroke()


def chrome_gradient(cx, cy, r):
    g = cairo.LinearGradient(cx - r, cy - r, cx + r, cy + r)
    g.add_color_stop_rgb(0.0, 0.95, 0.95, 0.97)
    g.add_color_stop_rgb(0.35, 0.62, 0.63, 0.66)
    g.add_color_stop_rgb(0.55, 0.88, 0.88, 0.90)
    g.add_color_stop_rgb(1.0, 0.30, 0.30, 0.33)
    return g


def screw(ctx, surface, cx, cy, angle):
    sh = blurred_shadow(W, H, lambda c: (c.arc(cx + 1.2, cy + 1.5, 5.2, 0, 2 * math.pi), c.fill()), 1.5, 0.8)
    ctx.set_source_surface(sh)
    ctx.paint()
    ctx.arc(cx, cy, 5, 0, 2 * math.pi)
    ctx.set_source(chrome_gradient(cx, cy, 5))
    ctx.fill()
    ctx.arc(cx, cy, 5, 0, 2 * math.pi)
    ctx.set_source_rgba(0, 0, 0, 0.6)
    ctx.set_line_width(0.7)
    ctx.stroke()
    for a in (angle, angle + math.pi / 2):
        dx, dy = 3.6 * math.cos(a), 3.6 * math.sin(a)
        ctx.set_line_width(1.3)
        ctx.set_source_rgba(0.1, 0.1, 0.12, 0.9)
        ctx.move_to(cx - dx, cy - dy)
        ctx.line_to(cx + dx, cy + dy)
        ctx.stroke()


def jack(ctx, cx, cy, r=7.0):
    ctx.arc(cx + 1, cy + 1.5, r + 1.5, 0, 2 * math.pi)
    ctx.set_source_rgba(0, 0, 0, 0.5)
    ctx.fill()
    ctx.arc(cx, cy, r, 0, 2 * math.pi)
    ctx.set_source(chrome_gradient(cx, cy, r))
    ctx.fill()
    ctx.arc(cx, cy, r * 0.62, 0, 2 * math.pi)
    ctx.set_source_rgb(0.55, 0.55, 0.58)
    ctx.fill()
    ctx.arc(cx, cy, r * 0.38, 0, 2 * math.pi)
    ctx.set_source_rgb(0.02, 0.02, 0.02)
    ctx.fill()


def rounded_rect(ctx, x, y, w, h, r):
    ctx.new_sub_path()
    ctx.arc(x + w - r, y + r, r, -math.pi / 2, 0)
    ctx.arc(x + w - r, y + h - r, r, 0, math.pi / 2)
    ctx.arc(x + r, y + h - r, r, math.pi / 2, math.pi)
    ctx.arc(x + r, y + r, r, math.pi, 3 * math.pi / 2)
    ctx.close_path()


def logo(ctx, cx, y, size):
    text(ctx, "Tolvane Amps", cx, y, size, face=SCRIPT, bold=False, italic=True)


def save_rgb(surface, path):
    to_pil(surface).convert("RGB").save(path, optimize=True)


def save_rgba(img, path):
    img.save(path, optimize=True)


# ---------------------------------------------------------------- faces

def front_face():
    s = brushed_metal(1, 40)
    ctx = cairo.Context(s)
    bevel_frame(ctx)
    for (x, y, a) in [(9, 9, 0.4), (W - 10, 9, 1.1), (9, H - 10, 0.8), (W - 10, H - 10, 0.2)]:
        screw(ctx, s, x, y, a)

    # Channel headings in script, with red rules to both sides.
    for name, left, right, cx in [("Clean", 132, 318, 225), ("Rhythm", 327, 512, 420), ("Lead", 522, 772, 645)]:
        x0, x1 = text(ctx, name, cx, 20, 17, face=SCRIPT, bold=False, italic=True)
        ctx.set_line_width(1.2)
        for a, b in ((left, x0 - 6), (x1 + 6, right)):
            ctx.set_source_rgba(0, 0, 0, 0.7)
            ctx.move_to(a, 14.8)
            ctx.line_to(b, 14.8)
            ctx.stroke()
            ctx.set_source_rgb(*RED)
            ctx.move_to(a, 14)
            ctx.line_to(b, 14)
            ctx.stroke()

    small = 6.3
    upper = {16: "GAIN", 21: "VOLUME", 9: "GAIN", 15: "VOLUME", 1: "GAIN", 8: "VOLUME"}
    xs = {16: 125, 21: 245, 9: 320, 15: 440, 1: 515, 8: 695}
    for idx, name in upper.items():
        text(ctx, name, xs[idx] + 39.5, 83, small)
    lower = [(125, "BASS"), (185, "MID"), (245, "TREBLE"), (320, "BASS"), (380, "MID"), (440, "TREBLE"),
             (515, "BASS"), (575, "MID"), (635, "TREBLE"), (695, "PRESENCE")]
    for x, name in lower:
        text(ctx, name, x + 39.5, 147, small)
    for x, name in [(216, "BRIGHT"), (394, "BRIGHT"), (426, "BOOST"), (604, "BRIGHT"), (664, "SHAPE")]:
        text(ctx, name, x + 11, 64, 5.6)
    text(ctx, "STEREO", 798, 37, 5.8)
    text(ctx, "MONO", 798, 68, 5.8)
    text(ctx, "POWER", 800.5, 139, 6.3)

    # Product name beside the input jack, logo block below.
    text(ctx, "ZRV4", 14, 47, 25, colour=(0.80, 0.80, 0.83), italic=True, align="left")
    jack(ctx, 103, 38, 8)
    text(ctx, "INPUT", 103, 58, 5.6)
    rounded_rect(ctx, 12.5, 72.5, 100, 62, 6)
    ctx.set_source_rgba(0, 0, 0, 0.35)
    ctx.fill_preserve()
    ctx.set_source_rgb(*RED)
    ctx.set_line_width(1.2)
    ctx.stroke()
    logo(ctx, 62.5, 100, 19)
    text(ctx, "HAND-BUILT TUBE TONE", 62.5, 116, 5.2)
    text(ctx, "THREE CHANNEL PREAMP", 62.5, 125, 5.2, colour=(0.7, 0.7, 0.72))

    # Recessed pocket for the panel-turn arrow.
    rounded_rect(ctx, 868.5, 70.5, 20, 22, 3)
    ctx.set_source_rgba(0, 0, 0, 0.45)
    ctx.fill()
    return s


def vent_slots(ctx, x0, y0, cols, rows, w, h, gx, gy):
    for r in range(rows):
        for c in range(cols):
            x, y = x0 + c * (w + gx), y0 + r * (h + gy)
            rounded_rect(ctx, x, y, w, h, h / 2)
            g = cairo.LinearGradient(0, y, 0, y + h)
            g.add_color_stop_rgb(0, 0.0, 0.0, 0.0)
            g.add_color_stop_rgb(1, 0.08, 0.08, 0.09)
            ctx.set_source(g)
            ctx.fill()
            ctx.set_line_width(0.8)
            ctx.set_source_rgba(1, 1, 1, 0.18)
            ctx.move_to(x + h / 2, y + h + 0.6)
            ctx.line_to(x + w - h / 2, y + h + 0.6)
            ctx.stroke()


def warning_triangle(ctx, cx, cy, size):
    ctx.move_to(cx, cy - size * 0.58)
    ctx.line_to(cx + size / 2, cy + size * 0.29)
    ctx.line_to(cx - size / 2, cy + size * 0.29)
    ctx.close_path()
    ctx.set_source_rgb(*RED)
    ctx.set_line_width(1.2)
    ctx.set_line_join(cairo.LINE_JOIN_ROUND)
    ctx.stroke()
    text(ctx, "!", cx, cy + size * 0.22, size * 0.55, emboss=False)


def cable(ctx, points, width):
    for w, colour in ((width + 2.5, (0, 0, 0, 0.55)), (width, (0.05, 0.05, 0.06, 1)), (width * 0.3, (1, 1, 1, 0.12))):
        ctx.set_line_width(w)
        ctx.set_line_cap(cairo.LINE_CAP_ROUND)
        ctx.set_source_rgba(*colour)
        ctx.move_to(*points[0])
        ctx.curve_to(*points[1], *points[2], *points[3])
        ctx.stroke()


def plug(ctx, cx, cy):
    # A jack plug seen from the front, its cable running down off the panel.
    jack(ctx, cx, cy, 9)
    rounded_rect(ctx, cx - 6, cy - 3, 12, 16, 2)
    g = cairo.LinearGradient(cx - 6, 0, cx + 6, 0)
    g.add_color_stop_rgb(0, 0.1, 0.1, 0.1)
    g.add_color_stop_rgb(0.4, 0.35, 0.35, 0.37)
    g.add_color_stop_rgb(1, 0.05, 0.05, 0.05)
    ctx.set_source(g)
    ctx.fill()
    cable(ctx, [(cx, cy + 12), (cx, cy + 22), (cx + 4, cy + 30), (cx + 6, H + 4)], 5)


def back_face():
    s = brushed_metal(2, 37)
    ctx = cairo.Context(s)
    bevel_frame(ctx)
    for (x, y, a) in [(9, 9, 1.0), (W - 10, 9, 0.3), (9, H - 10, 0.6), (W - 10, H - 10, 1.4)]:
        screw(ctx, s, x, y, a)

    # Mains inlet with its cable, fuse holder beside it.
    cable(ctx, [(47, 62), (47, 95), (80, 110), (86, H + 6)], 8)
    rounded_rect(ctx, 24.5, 22.5, 45, 38, 4)
    ctx.set_source_rgb(0.07, 0.07, 0.08)
    ctx.fill_preserve()
    ctx.set_source_rgba(1, 1, 1, 0.25)
    ctx.set_line_width(1)
    ctx.stroke()
    ctx.move_to(31, 30)
    ctx.line_to(63, 30)
    ctx.line_to(63, 48)
    ctx.line_to(56, 55)
    ctx.line_to(38, 55)
    ctx.line_to(31, 48)
    ctx.close_path()
    ctx.set_source_rgb(0.01, 0.01, 0.01)
    ctx.fill()
    for px in (38, 47, 56):
        ctx.rectangle(px - 1.3, 38, 2.6, 8)
        ctx.set_source(chrome_gradient(px, 42, 3))
        ctx.fill()
    text(ctx, "AC 230V~ 50Hz", 47, 72, 5.6)
    ctx.arc(98, 40, 9, 0, 2 * math.pi)
    ctx.set_source(chrome_gradient(98, 40, 9))
    ctx.fill()
    ctx.arc(98, 40, 6, 0, 2 * math.pi)
    ctx.set_source_rgb(0.08, 0.08, 0.09)
    ctx.fill()
    ctx.set_source_rgb(0.6, 0.6, 0.62)
    ctx.set_line_width(1.6)
    ctx.move_to(94, 40)
    ctx.line_to(102, 40)
    ctx.stroke()
    text(ctx, "FUSE: 250mA", 98, 60, 5.6)

    # Safety warning.
    rounded_rect(ctx, 126.5, 26.5, 160, 104, 5)
    ctx.set_source_rgba(0, 0, 0, 0.3)
    ctx.fill_preserve()
    ctx.set_source_rgb(*RED)
    ctx.set_line_width(1.4)
    ctx.stroke()
    text(ctx, "CAUTION!", 206.5, 47, 11)
    warning_triangle(ctx, 151, 42, 15)
    warning_triangle(ctx, 262, 42, 15)
    lines = ["TO REDUCE THE RISK OF FIRE OR ELECTRIC",
             "SHOCK, DO NOT REMOVE THE COVER.",
             "NO USER-SERVICEABLE PARTS INSIDE.",
             "REFER SERVICING TO QUALIFIED PERSONNEL.",
             "UNPLUG THE AMPLIFIER BEFORE SERVICING.",
             "DO NOT EXPOSE TO RAIN OR MOISTURE."]
    for i, line in enumerate(lines):
        text(ctx, line, 206.5, 64 + i * 10.5, 5.2)

    # Ventilation and maker's logo.
    vent_slots(ctx, 312, 24, 5, 7, 42, 5, 8, 7)
    logo(ctx, 433, 127, 20)
    text(ctx, "MADE WITH CARE", 433, 141, 5.2, colour=(0.7, 0.7, 0.72))

    # Oversampling selector captions; the lamps come from their own image.
    text(ctx, "OVERSAMPLING", 639, 37, 6.5)
    for x, name in ((599, "2X"), (639, "4X"), (679, "8X")):
        text(ctx, name, x, 74, 6.3)

    # Effects loop: decoration only.
    text(ctx, "FX LOOP", 639, 92, 6.5)
    ctx.set_source_rgb(*RED)
    ctx.set_line_width(0.8)
    ctx.rectangle(580.5, 84.5, 117, 60)
    ctx.stroke()
    for x, name in ((597, "FOOTSWITCH"), (639, "SEND"), (681, "RETURN")):
        jack(ctx, x, 111, 7)
        text(ctx, name, x, 133, 4.9)

    # Level knobs: scale dots, captions, cables in the jacks below.
    for cx, name in ((759.5, "INPUT"), (824.5, "OUTPUT")):
        text(ctx, "LEVEL", cx, 17, 6.3)
        for i in range(11):
            a = math.radians(-135 + 27 * i)
            r = 1.6 if i in (0, 5, 10) else 1.1
            ctx.arc(cx + 31 * math.sin(a), 54.5 - 31 * math.cos(a), r, 0, 2 * math.pi)
            ctx.set_source_rgb(*RED)
            ctx.fill()
        text(ctx, name, cx, 97, 6.3)
        plug(ctx, cx, 120)

    text(ctx, "ZRV4 VERSION 1.0.0", 14, 152, 6.3, colour=(0.78, 0.78, 0.8), align="left")
    rounded_rect(ctx, 868.5, 70.5, 20, 22, 3)
    ctx.set_source_rgba(0, 0, 0, 0.45)
    ctx.fill()
    return s


# ---------------------------------------------------------------- controls

def knob_strip():
    size, n = 80, 99
    cx = cy = 39.5
    base = new_surface(size, size)
    ctx = cairo.Context(base)
    shadow = blurred_shadow(size, size, lambda c: (c.arc(cx + 3.5, cy + 4.5, 25.5, 0, 2 * math.pi), c.fill()), 3.5, 0.85)
    ctx.set_source_surface(shadow)
    ctx.paint()
    # Knurled skirt.
    ctx.arc(cx, cy, 25, 0, 2 * math.pi)
    g = cairo.LinearGradient(cx - 25, cy - 25, cx + 25, cy + 25)
    g.add_color_stop_rgb(0, 0.30, 0.30, 0.32)
    g.add_color_stop_rgb(0.5, 0.10, 0.10, 0.11)
    g.add_color_stop_rgb(1, 0.03, 0.03, 0.03)
    ctx.set_source(g)
    ctx.fill()
    for i in range(60):
        a = 2 * math.pi * i / 60
        ctx.move_to(cx + 20.5 * math.cos(a), cy + 20.5 * math.sin(a))
        ctx.line_to(cx + 24.6 * math.cos(a), cy + 24.6 * math.sin(a))
        lit = 0.5 + 0.5 * math.cos(a + math.pi * 0.75)
        ctx.set_source_rgba(1, 1, 1, 0.05 + 0.22 * lit)
        ctx.set_line_width(0.9)
        ctx.stroke()
    ctx.arc(cx, cy, 25, 0, 2 * math.pi)
    ctx.set_source_rgba(0, 0, 0, 0.9)
    ctx.set_line_width(0.8)
    ctx.stroke()
    # Cap with a soft highlight from the upper left.
    ctx.arc(cx, cy, 19.5, 0, 2 * math.pi)
    g = cairo.RadialGradient(cx - 7, cy - 8, 1, cx, cy, 20)
    g.add_color_stop_rgb(0, 0.36, 0.36, 0.38)
    g.add_color_stop_rgb(0.45, 0.12, 0.12, 0.13)
    g.add_color_stop_rgb(1, 0.02, 0.02, 0.02)
    ctx.set_source(g)
    ctx.fill()
    ctx.arc(cx, cy, 19.5, 0, 2 * math.pi)
    ctx.set_source_rgba(1, 1, 1, 0.18)
    ctx.set_line_width(0.7)
    ctx.stroke()

    strip = Image.new("RGBA", (size, size * n))
    for i in range(n):
        frame = new_surface(size, size)
        c = cairo.Context(frame)
        c.set_source_surface(base)
        c.paint()
        a = math.radians(-135 + 270.0 * i / (n - 1))
        dx, dy = math.sin(a), -math.cos(a)
        c.set_line_cap(cairo.LINE_CAP_ROUND)
        c.set_line_width(3.2)
        c.set_source_rgba(0, 0, 0, 0.6)
        c.move_to(cx + 9 * dx + 0.5, cy + 9 * dy + 0.7)
        c.line_to(cx + 23 * dx + 0.5, cy + 23 * dy + 0.7)
        c.stroke()
        c.set_line_width(2.4)
        c.set_source_rgb(0.97, 0.97, 0.95)
        c.move_to(cx + 9 * dx, cy + 9 * dy)
        c.line_to(cx + 23 * dx, cy + 23 * dy)
        c.stroke()
        strip.paste(to_pil(frame), (0, i * size))
    return strip


def hex_nut(ctx, cx, cy, r):
    ctx.new_path()
    for k in range(6):
        a = math.pi / 6 + k * math.pi / 3
        ctx.line_to(cx + r * math.cos(a), cy + r * math.sin(a))
    ctx.close_path()
    ctx.set_source(chrome_gradient(cx, cy, r))
    ctx.fill_preserve()
    ctx.set_source_rgba(0, 0, 0, 0.6)
    ctx.set_line_width(0.6)
    ctx.stroke()
    ctx.arc(cx, cy, r * 0.55, 0, 2 * math.pi)
    g = cairo.RadialGradient(cx, cy, 0, cx, cy, r * 0.55)
    g.add_color_stop_rgb(0, 0.15, 0.15, 0.16)
    g.add_color_stop_rgb(1, 0.55, 0.55, 0.58)
    ctx.set_source(g)
    ctx.fill()


def lever(ctx, cx, cy, tipy, base_w, ball_r):
    # Bat lever from the bushing to its ball tip, with a shadow below right.
    for dx, dy, colour in ((1.2, 1.5, (0, 0, 0, 0.45)),):
        ctx.move_to(cx - base_w / 2 + dx, cy + dy)
        ctx.line_to(cx - ball_r * 0.6 + dx, tipy + dy)
        ctx.line_to(cx + ball_r * 0.6 + dx, tipy + dy)
        ctx.line_to(cx + base_w / 2 + dx, cy + dy)
        ctx.close_path()
        ctx.set_source_rgba(*colour)
        ctx.fill()
        ctx.arc(cx + dx, tipy + dy, ball_r, 0, 2 * math.pi)
        ctx.fill()
    ctx.move_to(cx - base_w / 2, cy)
    ctx.line_to(cx - ball_r * 0.6, tipy)
    ctx.line_to(cx + ball_r * 0.6, tipy)
    ctx.line_to(cx + base_w / 2, cy)
    ctx.close_path()
    g = cairo.LinearGradient(cx - base_w / 2, 0, cx + base_w / 2, 0)
    g.add_color_stop_rgb(0, 0.45, 0.45, 0.48)
    g.add_color_stop_rgb(0.35, 0.98, 0.98, 1.0)
    g.add_color_stop_rgb(1, 0.35, 0.35, 0.38)
    ctx.set_source(g)
    ctx.fill()
    ctx.arc(cx, tipy, ball_r, 0, 2 * math.pi)
    g = cairo.RadialGradient(cx - ball_r * 0.4, tipy - ball_r * 0.4, 0.2, cx, tipy, ball_r)
    g.add_color_stop_rgb(0, 1, 1, 1)
    g.add_color_stop_rgb(0.6, 0.7, 0.7, 0.73)
    g.add_color_stop_rgb(1, 0.3, 0.3, 0.33)
    ctx.set_source(g)
    ctx.fill()


def small_toggle():
    strip = Image.new("RGBA", (28, 56))
    for i, up in enumerate((False, True)):
        s = new_surface(28, 28)
        ctx = cairo.Context(s)
        cx, cy = 10.5, 10.5
        sh = blurred_shadow(28, 28, lambda c: (c.arc(cx + 1, cy + 1.2, 7.2, 0, 2 * math.pi), c.fill()), 1.0, 0.7)
        ctx.set_source_surface(sh)
        ctx.paint()
        hex_nut(ctx, cx, cy, 6.5)
        lever(ctx, cx, cy, 2.6 if up else 18.4, 3.6, 2.5)
        img = to_pil(s)
        # Keep the drawing inside the upper-left 22 x 21 pixels.
        a = np.asarray(img).copy()
        a[21:, :, 3] = 0
        a[:, 22:, 3] = 0
        strip.paste(Image.fromarray(a, "RGBA"), (0, i * 28))
    return strip


def lamp(ctx, cx, cy, r, colour, lit):
    if lit:
        glow = cairo.RadialGradient(cx, cy, r * 0.3, cx, cy, r)
        glow.add_color_stop_rgba(0, 1, 1, 1, 1)
        glow.add_color_stop_rgba(0.25, *colour, 1)
        glow.add_color_stop_rgba(0.75, *[c * 0.7 for c in colour], 1)
        glow.add_color_stop_rgba(1, *[c * 0.5 for c in colour], 0.0)
        ctx.arc(cx, cy, r, 0, 2 * math.pi)
        ctx.set_source(glow)
        ctx.fill()
        ctx.arc(cx, cy, r * 0.62, 0, 2 * math.pi)
        lens = cairo.RadialGradient(cx - r * 0.2, cy - r * 0.2, 0, cx, cy, r * 0.62)
        lens.add_color_stop_rgba(0, 1, 1, 1, 1)
        lens.add_color_stop_rgba(0.5, *[0.5 + 0.5 * c for c in colour], 1)
        lens.add_color_stop_rgba(1, *colour, 1)
        ctx.set_source(lens)
        ctx.fill()
    else:
        ctx.arc(cx, cy, r, 0, 2 * math.pi)
        ctx.set_source_rgba(0, 0, 0, 0.8)
        ctx.fill()
        ctx.arc(cx, cy, r * 0.8, 0, 2 * math.pi)
        lens = cairo.RadialGradient(cx - r * 0.3, cy - r * 0.3, 0, cx, cy, r * 0.8)
        lens.add_color_stop_rgb(0, 0.55, 0.55, 0.58)
        lens.add_color_stop_rgb(1, 0.18, 0.18, 0.2)
        ctx.set_source(lens)
        ctx.fill()


def power_switch():
    strip = Image.new("RGBA", (37, 122))
    for i, working in enumerate((True, False)):
        s = new_surface(37, 61)
        ctx = cairo.Context(s)
        cx = 18.5
        # Pilot lamp: chrome bezel, blue jewel.
        ctx.arc(cx + 0.8, 13 + 1.2, 8.5, 0, 2 * math.pi)
        ctx.set_source_rgba(0, 0, 0, 0.5)
        ctx.fill()
        ctx.arc(cx, 13, 8.5, 0, 2 * math.pi)
        ctx.set_source(chrome_gradient(cx, 13, 8.5))
        ctx.fill()
        if working:
            lamp(ctx, cx, 13, 7, (0.25, 0.55, 1.0), True)
        else:
            lamp(ctx, cx, 13, 6.2, (0.2, 0.3, 0.5), False)
            ctx.arc(cx, 13, 5, 0, 2 * math.pi)
            ctx.set_source_rgba(0.1, 0.16, 0.3, 0.6)
            ctx.fill()
        cy = 41
        sh = blurred_shadow(37, 61, lambda c: (c.arc(cx + 1.2, cy + 1.5, 9.5, 0, 2 * math.pi), c.fill()), 1.3, 0.7)
        ctx.set_source_surface(sh)
        ctx.paint()
        hex_nut(ctx, cx, cy, 10)
        lever(ctx, cx, cy, 27 if working else 56, 5, 3.6)
        strip.paste(to_pil(s), (0, i * 61))
    return strip


def panel_arrow():
    s = new_surface(17, 19)
    ctx = cairo.Context(s)
    ctx.set_line_width(2.6)
    ctx.set_line_cap(cairo.LINE_CAP_ROUND)
    ctx.set_line_join(cairo.LINE_JOIN_ROUND)
    for x in (3.5, 9.0):
        ctx.move_to(x, 4)
        ctx.line_to(x + 5, 9.5)
        ctx.line_to(x, 15)
    ctx.set_source_rgba(0.92, 0.13, 0.08, 0.85)
    ctx.stroke()
    img = to_pil(s)
    a = np.asarray(img).copy()
    a[..., 3] = np.minimum(a[..., 3], 220)
    one = Image.fromarray(a, "RGBA")
    strip = Image.new("RGBA", (17, 38))
    strip.paste(one, (0, 0))
    strip.paste(one, (0, 19))
    return strip


def lamp_strip(width, centres, colours):
    strip = Image.new("RGBA", (width, 60))
    for i in range(3):
        s = new_surface(width, 20)
        ctx = cairo.Context(s)
        for k, x in enumerate(centres):
            if k == i:
                lamp(ctx, x, 10, 10, colours[k], True)
            else:
                lamp(ctx, x, 10, 5.5, None, False)
        strip.paste(to_pil(s), (0, i * 20))
    return strip


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "..", "resources")
    blue = (0.25, 0.55, 1.0)
    save_rgb(front_face(), os.path.join(out, "front_128.png"))
    save_rgb(back_face(), os.path.join(out, "back_129.png"))
    save_rgba(small_toggle(), os.path.join(out, "toggle_130.png"))
    save_rgba(knob_strip(), os.path.join(out, "knob_131.png"))
    save_rgba(power_switch(), os.path.join(out, "power_133.png"))
    save_rgba(panel_arrow(), os.path.join(out, "panel_arrow_134.png"))
    save_rgba(lamp_strip(100, (10, 50, 90), ((0.2, 0.9, 0.3), blue, (1.0, 0.65, 0.1))),
              os.path.join(out, "oversampling_135.png"))
    save_rgba(lamp_strip(439, (10, 205, 429), (blue, blue, blue)), os.path.join(out, "channel_136.png"))


if __name__ == "__main__":
    main()
