#!/usr/bin/python3
"""Generates Hollowmere's 2D art: HUD panels and buttons, the end-of-level dialogs, the menu badges,
the building cards, the lens-flare images and the smoke puff.

Usage: make_hud.py TEXTURES_DIR [--cards RENDERS_DIR] [--icons ICONS_DIR]

Writes below TEXTURES_DIR (normally GAME_DATA/textures):
  hud/panel_{ressources,lives,wave}.png          counter panels (the game prints white numbers on
                                                  their dark slots, centred at 75 % of the width)
  hud/button_speedup_{normal,active}.png          fast-forward button, unlit and lit
  hud/button_pause_{pause,resume}.png             pause button while playing / while paused
  hud/overlay/{dlgWin,dlgLost}.png                victory and defeat dialogs
  hud/overlay/{butExit,butReplay,butMap,butNext}.png  buttons under the dialogs
  hud/overlay/{credits,logoFmod}.png              main-menu corner badges (game credits, sound library)
  hud/map/panel.png                               the level map's board: title on top, a dark slot for
                                                  the game's message line at 75 % of the height
  hud/map/level.png                               one level's sign on the map (name and stars printed by
                                                  the game; the medallion on the left holds its number)
  hud/map/{star_full,star_empty,lock}.png         a level's stars won and still to win; a locked level
  hud/map/butBack.png                             back from the map to the signs
  hud/towercards/{ARROW,CANNON}/frame_NNN.png     card frames, only with --cards: RENDERS_DIR holds the
                                                  turntable renders of tools/data/blender/cards.py
  lensflare/flare0.png ... flare13.png            additive flare images, tint in RGB, strength in alpha
  particles/greySmoke.png                         soft smoke puff
and, with --icons, the program's icon below ICONS_DIR (normally packaging/icons):
  NxN/hollowmere.png for N = 64, 128, 256         the Hollow Heart crystal on a gold-rimmed stone boss

Text is set in DejaVu (fonts-dejavu-core; free licence, see /usr/share/doc/fonts-dejavu-core/copyright).
Every random number comes from generators with fixed seeds and the PNGs carry no metadata, so a rerun
gives the same bytes.
"""
import math
import os
import sys

import numpy as np
from PIL import Image, ImageDraw, ImageFont

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import palette  # noqa: E402

FONT_DIR = "/usr/share/fonts/truetype/dejavu/"
SERIF_BOLD = FONT_DIR + "DejaVuSerif-Bold.ttf"
SANS_BOLD = FONT_DIR + "DejaVuSans-Bold.ttf"
SS = 4  # supersampling of drawn shapes

LIGHT = np.array([-0.55, -0.7])   # light from the top left (image y grows downwards)
LIGHT = LIGHT / np.linalg.norm(LIGHT)


def col(name):
    return np.array(palette.COLOURS[palette.INDEX[name]][1], dtype=np.float64) / 255.0


def rgbf(*c):
    return np.array(c, dtype=np.float64) / 255.0


GOLD_DARK = rgbf(110, 70, 18)
GOLD = col("gold")
GOLD_LIGHT = rgbf(255, 238, 170)
CREAM = rgbf(246, 232, 196)
INK = rgbf(40, 24, 12)
PARCHMENT = rgbf(238, 220, 178)


# --------------------------------------------------------------------------- basics

def save(arr, path, mode="RGBA"):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    a = np.clip(arr * 255.0 + 0.5, 0, 255).astype(np.uint8)
    if mode == "RGBA" and a.shape[-1] == 3:
        a = np.dstack([a, np.full(a.shape[:2], 255, np.uint8)])
    img = Image.fromarray(a, mode)
    img.save(path, optimize=True)


def canvas(w, h):
    return np.zeros((h, w, 4))


def over(dst, rgb, alpha):
    """Straight-alpha 'over': paints rgb (HxWx3 or a colour) with coverage alpha (HxW) onto dst."""
    a = np.clip(alpha, 0, 1)[..., None]
    rgb = np.broadcast_to(rgb, dst.shape[:2] + (3,))
    da = dst[..., 3:4]
    out_a = a + da * (1 - a)
    safe = np.where(out_a > 1e-6, out_a, 1)
    dst[..., :3] = (rgb * a + dst[..., :3] * da * (1 - a)) / safe
    dst[..., 3:4] = out_a
    return dst


def shape(w, h, draw, ss=SS):
    """Coverage mask (HxW floats) of whatever draw(ImageDraw, s) paints in white at s-times size."""
    img = Image.new("L", (w * ss, h * ss), 0)
    draw(ImageDraw.Draw(img), ss)
    img = img.resize((w, h), Image.BOX)
    return np.asarray(img, dtype=np.float64) / 255.0


def rrect(w, h, box, radius):
    x0, y0, x1, y1 = box
    return shape(w, h, lambda d, s: d.rounded_rectangle([x0 * s, y0 * s, x1 * s - 1, y1 * s - 1], radius * s, fill=255))


def ellipse(w, h, box):
    x0, y0, x1, y1 = box
    return shape(w, h, lambda d, s: d.ellipse([x0 * s, y0 * s, x1 * s - 1, y1 * s - 1], fill=255))


def polygon(w, h, pts):
    return shape(w, h, lambda d, s: d.polygon([(x * s, y * s) for x, y in pts], fill=255))


def circle(w, h, cx, cy, r):
    return ellipse(w, h, (cx - r, cy - r, cx + r, cy + r))


def blur(a, r):
    """Gaussian blur of a 2D array with sigma r (edges clamped)."""
    if r <= 0:
        return a.copy()
    n = int(math.ceil(r * 3))
    k = np.exp(-0.5 * (np.arange(-n, n + 1) / r) ** 2)
    k /= k.sum()
    out = a
    for axis in (0, 1):
        pad = [(0, 0), (0, 0)]
        pad[axis] = (n, n)
        p = np.pad(out, pad, mode="edge")
        acc = np.zeros_like(out)
        length = out.shape[axis]
        for i, kv in enumerate(k):
            acc += kv * (p[i:i + length, :] if axis == 0 else p[:, i:i + length])
        out = acc
    return out


def shift(a, dx, dy):
    out = np.zeros_like(a)
    h, w = a.shape[:2]
    xs, xd = (slice(0, w - dx), slice(dx, w)) if dx >= 0 else (slice(-dx, w), slice(0, w + dx))
    ys, yd = (slice(0, h - dy), slice(dy, h)) if dy >= 0 else (slice(-dy, h), slice(0, h + dy))
    out[yd, xd] = a[ys, xs]
    return out


def value_noise(w, h, cells_x, cells_y, rng):
    grid = rng.random((cells_y + 3, cells_x + 3)).astype(np.float32)
    img = Image.fromarray(grid, "F").resize((w + int(w * 3 / cells_x), h + int(h * 3 / cells_y)), Image.BICUBIC)
    a = np.asarray(img, dtype=np.float64)
    ox, oy = int(w * 1.0 / cells_x), int(h * 1.0 / cells_y)
    return a[oy:oy + h, ox:ox + w]


def fractal(w, h, cells, rng, octaves=4, gain=0.5, stretch=(1.0, 1.0)):
    out = np.zeros((h, w))
    amp, total = 1.0, 0.0
    for _ in range(octaves):
        cx = max(1, int(cells * stretch[0]))
        cy = max(1, int(cells * stretch[1]))
        out += amp * value_noise(w, h, cx, cy, rng)
        total += amp
        amp *= gain
        cells *= 2
    out /= total
    return (out - out.min()) / (out.max() - out.min() + 1e-9)


def ramp(t, stops):
    """Colour ramp: stops = [(t, colour), ...] in increasing t."""
    t = np.clip(t, 0, 1)
    out = np.zeros(t.shape + (3,))
    ts = [s[0] for s in stops]
    cs = [np.asarray(s[1]) for s in stops]
    for i in range(len(stops) - 1):
        a, b = ts[i], ts[i + 1]
        m = (t >= a) & (t <= b)
        f = ((t - a) / (b - a))[..., None]
        out = np.where(m[..., None], cs[i] * (1 - f) + cs[i + 1] * f, out)
    return out


# --------------------------------------------------------------------------- materials

def wood(w, h, seed, tone=1.0, vertical=False):
    rng = np.random.default_rng(seed)
    if vertical:
        return np.transpose(wood(h, w, seed, tone), (1, 0, 2))
    streak = fractal(w, h, 3, rng, octaves=4, stretch=(0.6, 6.0))
    warp = fractal(w, h, 2, rng, octaves=3)
    y = np.arange(h)[:, None] / max(h, 1)
    rings = 0.5 + 0.5 * np.sin((y * 14 + warp * 3.0 + streak * 1.2) * math.pi * 2)
    t = 0.45 * streak + 0.35 * rings ** 3 + 0.2 * warp
    c = ramp(t, [(0, col("wood_dark") * 0.85), (0.45, col("wood")), (1, col("wood_light"))])
    return c * tone


def stone(w, h, seed, tone=1.0, warm=True):
    rng = np.random.default_rng(seed)
    n = fractal(w, h, 4, rng, octaves=5, gain=0.55)
    speck = rng.random((h, w)) * 0.08
    base = col("stone_warm") if warm else col("stone")
    c = ramp(n + speck, [(0, col("stone_dark")), (0.55, base), (1, col("stone_light"))])
    return c * tone


def bevel(mask, radius, strength=1.0):
    """Light factor of an embossed shape: > 1 on edges facing the light, < 1 on the far ones."""
    hgt = blur(mask, radius)
    gy, gx = np.gradient(hgt)
    lit = -(gx * LIGHT[0] + gy * LIGHT[1]) * radius * 2.2 * strength
    return 1.0 + lit


def gold_fill(mask, radius=2.0):
    """Polished gold: the embossed light picks a point on a dark-to-bright ramp."""
    hh = mask.shape[0]
    y = np.arange(hh)[:, None] / hh
    b = bevel(mask, radius, 1.3)
    t = np.clip(0.5 + (b - 1.0) * 0.8 - (y - 0.5) * 0.12, 0, 1)
    return ramp(t, [(0, GOLD_DARK), (0.5, GOLD), (0.8, GOLD_LIGHT), (1, rgbf(255, 252, 230))])


def lit(rgb, mask, radius, strength=1.0):
    return np.clip(rgb * bevel(mask, radius, strength)[..., None], 0, 1)


def inner_shadow(dst, mask, radius, opacity=0.7, offset=(2, 3)):
    """Darkens the inside of a mask near its top-left rim, as if it were sunk into the surface."""
    outside = 1.0 - mask
    sh = blur(shift(outside, *offset), radius) * mask
    over(dst, np.zeros(3), sh * opacity)


def edge_fade(h, w, d):
    """1 inside, falling to 0 at the image border over d pixels: soft effects never end in a hard edge."""
    yy, xx = np.mgrid[0:h, 0:w]
    m = np.minimum(np.minimum(xx + 0.5, w - 0.5 - xx), np.minimum(yy + 0.5, h - 0.5 - yy))
    return np.clip(m / d, 0, 1)


def drop_shadow(dst, mask, radius, opacity=0.55, offset=(3, 4)):
    h, w = mask.shape
    sh = blur(shift(mask, *offset), radius) * opacity
    over(dst, np.zeros(3), sh * edge_fade(h, w, max(2.0, radius * 1.5)))


def glow(dst, mask, radius, colour, opacity=1.0):
    h, w = mask.shape
    over(dst, colour, np.clip(blur(mask, radius) * 1.6, 0, 1) * opacity * edge_fade(h, w, max(2.0, radius * 1.5)))


def inset(w, h, box, radius, d):
    x0, y0, x1, y1 = box
    return rrect(w, h, (x0 + d, y0 + d, x1 - d, y1 - d), max(radius - d, 1))


def rim_blocks(w, h, box, border, seed):
    """Tone factor and joint mask of a rim laid from dressed stone blocks along the four sides."""
    rng = np.random.default_rng(seed)
    x0, y0, x1, y1 = box
    yy, xx = np.mgrid[0:h, 0:w].astype(np.float64)
    dist = np.stack([xx - x0, x1 - xx, yy - y0, y1 - yy])
    side = np.argmin(dist, axis=0)
    along = np.where(side >= 2, xx - x0, yy - y0)
    spacing = border * 2.3
    offset = rng.uniform(0, spacing, 4)[side]
    pos = (along + offset) / spacing
    idx = np.floor(pos).astype(int)
    tones = rng.uniform(0.84, 1.12, (4, int(max(w, h) / spacing) + 3))
    tone = tones[side, idx]
    frac = np.abs(pos - np.round(pos)) * spacing
    joints = np.clip(1.2 - frac, 0, 1)
    # mitred corners between the sides
    sd = np.sort(dist, axis=0)
    joints = np.maximum(joints, np.clip(1.2 - np.abs(sd[1] - sd[0]), 0, 1) * (sd[1] < border * 1.5))
    return tone, joints


def plaque(dst, box, radius, seed, border=None, wood_tone=1.0, stone_tone=1.0, shadow=True, trim=None):
    """The house style: a rim of stone blocks with a gold trim line around a carved wooden board."""
    h, w = dst.shape[:2]
    border = border if border is not None else max(4, int(min(box[2] - box[0], box[3] - box[1]) * 0.09))
    trim = trim if trim is not None else max(2, min(8, border // 3))
    outer = rrect(w, h, box, radius)
    if shadow:
        drop_shadow(dst, outer, min(6.0, max(2, border * 0.5)), 0.5, (min(4, max(1, border // 4)), min(6, max(2, border // 3))))
    tone, joints = rim_blocks(w, h, box, border, seed + 2)
    blocks = outer * (1 - joints)
    rock = stone(w, h, seed, 0.86 * stone_tone) * tone[..., None]
    over(dst, rgbf(50, 44, 40), outer)
    over(dst, lit(rock, blocks, max(1.0, border * 0.12), 1.4), blocks)
    gold = inset(w, h, box, radius, border - trim)
    over(dst, gold_fill(gold, max(1.0, trim * 0.5)), gold)
    board = inset(w, h, box, radius, border)
    over(dst, lit(wood(w, h, seed + 1, wood_tone), board, max(1.5, border * 0.35), -0.7), board)
    inner_shadow(dst, board, max(1.5, border * 0.35), 0.55, (max(1, border // 5), max(1, border // 4)))
    # gold rivets in the stone rim's corners
    x0, y0, x1, y1 = box
    rr = max(1.5, border * 0.22)
    k = max(border * 0.5, radius * 0.3 + border * 0.5)
    for rx, ry in ((x0 + k, y0 + k), (x1 - k, y0 + k), (x0 + k, y1 - k), (x1 - k, y1 - k)):
        rv = circle(w, h, rx, ry, rr)
        drop_shadow(dst, rv, max(0.6, rr * 0.3), 0.6, (1, 1))
        over(dst, gold_fill(rv, rr * 0.5), rv)
    return board


def slot(dst, box, radius):
    """A dark recess for a counter printed in white."""
    h, w = dst.shape[:2]
    m = rrect(w, h, box, radius)
    y = (np.arange(h)[:, None] - box[1]) / max(1, box[3] - box[1])
    base = ramp(np.broadcast_to(y, (h, w)), [(0, rgbf(22, 14, 10)), (1, rgbf(52, 34, 22))])
    over(dst, base, m)
    inner_shadow(dst, m, max(1.5, (box[3] - box[1]) * 0.08), 0.8, (1, 2))
    ring = np.clip(m - inset(w, h, box, radius, 1.2), 0, 1)
    # a thin bright lip along the lower edge catches the light
    lip = ring * np.clip((np.arange(h)[:, None] - (box[1] + box[3]) / 2) / ((box[3] - box[1]) / 2), 0, 1)
    over(dst, GOLD_LIGHT, lip * 0.6)
    return m


def text_mask(w, h, text, font_path, size, centre, stroke=0, spacing=0):
    """Coverage of a line of text centred on centre (x, y), optionally with letter spacing."""
    font = ImageFont.truetype(font_path, size)
    img = Image.new("L", (w, h), 0)
    d = ImageDraw.Draw(img)
    if spacing == 0:
        d.text(centre, text, font=font, fill=255, anchor="mm", stroke_width=stroke, stroke_fill=255)
    else:
        widths = [font.getlength(c) for c in text]
        total = sum(widths) + spacing * (len(text) - 1)
        x = centre[0] - total / 2
        for c, cw in zip(text, widths):
            d.text((x, centre[1]), c, font=font, fill=255, anchor="lm", stroke_width=stroke, stroke_fill=255)
            x += cw + spacing
    return np.asarray(img, dtype=np.float64) / 255.0


def title(dst, text, font_path, size, centre, fill="gold", stroke=None, spacing=0, shadow=True):
    """Embossed lettering with a dark outline: gold, cream or any colour ramp."""
    h, w = dst.shape[:2]
    stroke = stroke if stroke is not None else max(1, size // 12)
    core = text_mask(w, h, text, font_path, size, centre, 0, spacing)
    outline = text_mask(w, h, text, font_path, size, centre, stroke, spacing)
    if shadow:
        drop_shadow(dst, outline, max(1.0, size * 0.05), 0.6, (max(1, size // 24), max(1, size // 16)))
    over(dst, INK, outline)
    if isinstance(fill, str) and fill == "gold":
        rgb = gold_fill(core, max(0.8, size * 0.03))
    elif isinstance(fill, tuple):        # vertical two-colour ramp (top, bottom)
        y = np.broadcast_to(np.arange(h)[:, None] / h, (h, w))
        ys, ye = centre[1] - size * 0.5, centre[1] + size * 0.5
        t = np.clip((y * h - ys) / (ye - ys), 0, 1)
        rgb = ramp(t, [(0, fill[0]), (1, fill[1])]) * bevel(core, max(0.8, size * 0.03), 0.8)[..., None]
    else:
        rgb = np.broadcast_to(fill, (h, w, 3))
    over(dst, np.clip(rgb, 0, 1), core)


# --------------------------------------------------------------------------- icons

def draw_coins(dst, cx, cy, r):
    """A small hoard: three stacked gold coins and a blue crystal standing behind them."""
    h, w = dst.shape[:2]
    # crystal
    cr = r * 0.55
    ccx, ccy = cx + r * 0.42, cy - r * 0.2
    pts = [(ccx, ccy - cr * 1.6), (ccx + cr * 0.62, ccy - cr * 0.55), (ccx + cr * 0.5, ccy + cr * 0.9),
           (ccx - cr * 0.5, ccy + cr * 0.9), (ccx - cr * 0.62, ccy - cr * 0.55)]
    cm = polygon(w, h, pts)
    drop_shadow(dst, cm, r * 0.06, 0.5, (2, 3))
    over(dst, INK, blur(cm, 0.8) * 1.0)
    facet_l = polygon(w, h, [pts[0], (ccx, ccy + cr * 0.9), pts[3], pts[4]])
    crystal = col("crystal")
    over(dst, crystal * 0.7, cm)
    over(dst, np.clip(crystal * 1.3, 0, 1), facet_l * cm)
    over(dst, rgbf(230, 250, 255), polygon(w, h, [pts[0], (ccx - cr * 0.15, ccy - cr * 0.4), pts[4]]) * 0.8)
    # coins from the bottom up
    for i, (dx, dy) in enumerate([(-0.3, 0.55), (-0.18, 0.25), (-0.38, -0.05), (0.2, 0.62)]):
        x, y = cx + dx * r, cy + dy * r
        rw, rh = r * 0.52, r * 0.26
        body = ellipse(w, h, (x - rw, y - rh, x + rw, y + rh + r * 0.12))
        top = ellipse(w, h, (x - rw, y - rh, x + rw, y + rh))
        drop_shadow(dst, body, r * 0.05, 0.4, (1, 2))
        over(dst, INK, np.clip(blur(body, 0.7) * 1.5, 0, 1))
        over(dst, GOLD_DARK * 1.2, body)
        over(dst, gold_fill(top, r * 0.05), top)
        inner = ellipse(w, h, (x - rw * 0.62, y - rh * 0.62, x + rw * 0.62, y + rh * 0.62))
        ring = np.clip(top - inner, 0, 1)
        over(dst, GOLD_DARK, np.clip(blur(ring, 0.6) - ring * 0.6, 0, 1) * 0.5)


def heart_pts(cx, cy, r, n=96):
    pts = []
    for i in range(n):
        t = 2 * math.pi * i / n
        x = 16 * math.sin(t) ** 3
        y = 13 * math.cos(t) - 5 * math.cos(2 * t) - 2 * math.cos(3 * t) - math.cos(4 * t)
        pts.append((cx + x * r / 17.0, cy - y * r / 17.0 - r * 0.05))
    return pts


def draw_heart(dst, cx, cy, r):
    h, w = dst.shape[:2]
    m = polygon(w, h, heart_pts(cx, cy, r))
    outline = np.clip(blur(m, r * 0.06) * 3, 0, 1)
    drop_shadow(dst, outline, r * 0.08, 0.5, (2, 3))
    over(dst, INK, outline)
    red = ramp(np.broadcast_to((np.arange(h)[:, None] - (cy - r)) / (2 * r), (h, w)),
               [(0, rgbf(236, 70, 60)), (1, rgbf(130, 18, 24))])
    over(dst, np.clip(red * bevel(m, r * 0.18, 1.4)[..., None], 0, 1), m)
    hl = ellipse(w, h, (cx - r * 0.62, cy - r * 0.62, cx - r * 0.18, cy - r * 0.28))
    over(dst, rgbf(255, 230, 220), blur(hl, r * 0.05) * 0.75)


def draw_skull(dst, cx, cy, r):
    """A monster's skull: what the wave counter counts."""
    h, w = dst.shape[:2]
    cran = ellipse(w, h, (cx - r * 0.8, cy - r * 0.9, cx + r * 0.8, cy + r * 0.5))
    jaw = rrect(w, h, (cx - r * 0.46, cy + r * 0.1, cx + r * 0.46, cy + r * 0.86), r * 0.2)
    cheeks = ellipse(w, h, (cx - r * 0.72, cy - r * 0.1, cx + r * 0.72, cy + r * 0.55))
    m = np.clip(cran + jaw + cheeks, 0, 1)
    outline = np.clip(blur(m, r * 0.06) * 3, 0, 1)
    drop_shadow(dst, outline, r * 0.08, 0.5, (2, 3))
    over(dst, INK, outline)
    bone = ramp(np.broadcast_to((np.arange(h)[:, None] - (cy - r)) / (2 * r), (h, w)),
                [(0, rgbf(250, 244, 226)), (1, rgbf(186, 170, 140))])
    over(dst, np.clip(bone * bevel(m, r * 0.14, 1.2)[..., None], 0, 1), m)
    for sx in (-1, 1):
        eye = ellipse(w, h, (cx + sx * r * 0.36 - r * 0.24, cy - r * 0.3, cx + sx * r * 0.36 + r * 0.24, cy + r * 0.12))
        over(dst, rgbf(30, 14, 10), eye)
        ember = circle(w, h, cx + sx * r * 0.36, cy - r * 0.08, r * 0.08)
        glow(dst, ember, r * 0.06, col("ember"), 0.9)
    nose = polygon(w, h, [(cx, cy + r * 0.06), (cx - r * 0.12, cy + r * 0.3), (cx + r * 0.12, cy + r * 0.3)])
    over(dst, rgbf(40, 20, 14), nose)
    for i in range(-2, 3):
        tx = cx + i * r * 0.17
        tooth = rrect(w, h, (tx - r * 0.025, cy + r * 0.5, tx + r * 0.025, cy + r * 0.8), 1)
        over(dst, rgbf(60, 40, 28), tooth * 0.9)


def medallion(dst, cx, cy, r, seed, lit_rim=False):
    """A round stone boss with a gold rim, the setting for icons."""
    h, w = dst.shape[:2]
    outer = circle(w, h, cx, cy, r)
    drop_shadow(dst, outer, r * 0.1, 0.55, (max(1, int(r * 0.05)), max(2, int(r * 0.08))))
    rim_w = max(2.0, r * 0.13)
    g = gold_fill(outer, rim_w * 0.5)
    if lit_rim:
        g = np.clip(g * 1.15 + rgbf(40, 20, 0), 0, 1)
    over(dst, g, outer)
    disc = circle(w, h, cx, cy, r - rim_w)
    over(dst, lit(stone(w, h, seed, 0.55, warm=False), disc, r * 0.12, -0.8), disc)
    inner_shadow(dst, disc, r * 0.1, 0.6, (1, 2))
    return disc


# --------------------------------------------------------------------------- HUD panels

def counter_panel(w, h, seed, icon, icon_at, slot_box, radius):
    img = canvas(w, h)
    m = max(2, int(h * 0.04))
    plaque(img, (m, m, w - m, h - m), radius, seed)
    slot(img, slot_box, (slot_box[3] - slot_box[1]) * 0.3)
    cx, cy, r = icon_at
    medallion(img, cx, cy, r, seed + 5)
    icon(img, cx, cy + r * 0.02, r * 0.62)
    return img


def make_panels(out):
    # resources: bottom-left corner, partly off screen on the left and bottom; number at 75 % width.
    # Kept at 1.75:1 so that in a square window it ends where the building cards begin.
    w, h = 448, 256
    img = counter_panel(w, h, 100, draw_coins, (150, 118, 80), (262, 74, 418, 178), 34)
    save(img, os.path.join(out, "hud", "panel_ressources.png"))
    # lives and wave: top-left, small; numbers at (75 %, 52 %) from the bottom-left
    w, h = 160, 128
    img = counter_panel(w, h, 110, draw_heart, (48, 64, 40), (86, 36, 150, 88), 16)
    save(img, os.path.join(out, "hud", "panel_lives.png"))
    w, h = 224, 128
    img = counter_panel(w, h, 120, draw_skull, (52, 64, 40), (98, 36, 212, 88), 16)
    save(img, os.path.join(out, "hud", "panel_wave.png"))


# --------------------------------------------------------------------------- buttons

def round_button(size, seed, symbol, lit_state=False):
    img = canvas(size, size)
    c = size / 2
    r = size * 0.44
    if lit_state:
        glow(img, circle(size, size, c, c, r), size * 0.05, rgbf(255, 190, 70), 0.9)
    medallion(img, c, c - 1, r, seed, lit_rim=lit_state)
    m = symbol(size, c, c)
    outline = np.clip(blur(m, size * 0.012) * 3, 0, 1)
    if lit_state:
        glow(img, m, size * 0.05, rgbf(255, 170, 40), 1.0)
        over(img, rgbf(90, 40, 0), outline)
        face = ramp(np.broadcast_to(np.arange(size)[:, None] / size, (size, size)),
                    [(0.2, rgbf(255, 250, 200)), (0.8, rgbf(255, 176, 40))])
    else:
        drop_shadow(img, outline, size * 0.01, 0.6, (1, 2))
        over(img, INK, outline)
        face = ramp(np.broadcast_to(np.arange(size)[:, None] / size, (size, size)),
                    [(0.2, CREAM), (0.8, rgbf(196, 176, 132))])
    over(img, np.clip(face * bevel(m, size * 0.02, 1.0)[..., None], 0, 1), m)
    return img


def sym_fast(size, cx, cy):
    r = size * 0.2
    pts1 = [(cx - r * 1.05, cy - r), (cx + r * 0.05, cy), (cx - r * 1.05, cy + r)]
    pts2 = [(cx - r * 0.05, cy - r), (cx + r * 1.05, cy), (cx - r * 0.05, cy + r)]
    return np.clip(polygon(size, size, pts1) + polygon(size, size, pts2), 0, 1)


def sym_faster(size, cx, cy):
    """Three chevrons: the fastest of the three speeds."""
    r = size * 0.17
    out = np.zeros((size, size))
    for k in (-1, 0, 1):
        x = cx + k * r * 0.95
        out = out + polygon(size, size, [(x - r * 0.7, cy - r), (x + r * 0.45, cy), (x - r * 0.7, cy + r)])
    return np.clip(out, 0, 1)


def sym_pause(size, cx, cy):
    r = size * 0.19
    a = rrect(size, size, (cx - r * 0.9, cy - r, cx - r * 0.25, cy + r), r * 0.12)
    b = rrect(size, size, (cx + r * 0.25, cy - r, cx + r * 0.9, cy + r), r * 0.12)
    return np.clip(a + b, 0, 1)


def sym_play(size, cx, cy):
    r = size * 0.21
    return polygon(size, size, [(cx - r * 0.7, cy - r), (cx + r * 1.0, cy), (cx - r * 0.7, cy + r)])


def make_buttons(out):
    save(round_button(128, 200, sym_fast), os.path.join(out, "hud", "button_speedup_normal.png"))
    save(round_button(128, 200, sym_fast, True), os.path.join(out, "hud", "button_speedup_active.png"))
    save(round_button(128, 200, sym_faster, True), os.path.join(out, "hud", "button_speedup_fast.png"))
    save(round_button(128, 210, sym_pause), os.path.join(out, "hud", "button_pause_pause.png"))
    save(round_button(128, 210, sym_play), os.path.join(out, "hud", "button_pause_resume.png"))


# --------------------------------------------------------------------------- end-of-level dialogs

def crystal_pts(cx, cy, r):
    """The Hollow Heart, the crystal the player defends: a long hexagonal gem seen from the side."""
    return [(cx, cy - r), (cx + r * 0.42, cy - r * 0.45), (cx + r * 0.42, cy + r * 0.45), (cx, cy + r),
            (cx - r * 0.42, cy + r * 0.45), (cx - r * 0.42, cy - r * 0.45)]


def draw_crystal(dst, cx, cy, r, broken=False):
    h, w = dst.shape[:2]
    p = crystal_pts(cx, cy, r)
    if broken:
        light, mid, dark = rgbf(150, 120, 130), rgbf(96, 70, 84), rgbf(54, 36, 46)
        shards = [
            ([p[0], p[1], (cx + r * 0.1, cy - r * 0.2), (cx - r * 0.15, cy - r * 0.35), p[5]], (-r * 0.12, -r * 0.16)),
            ([(cx + r * 0.1, cy - r * 0.2), p[1], p[2], (cx + r * 0.05, cy + r * 0.35)], (r * 0.16, r * 0.02)),
            ([p[5], (cx - r * 0.15, cy - r * 0.35), (cx + r * 0.1, cy - r * 0.2), (cx + r * 0.05, cy + r * 0.35),
              p[3], p[4]], (-r * 0.05, r * 0.1)),
        ]
        for pts, (ox, oy) in shards:
            pts = [(x + ox, y + oy) for x, y in pts]
            m = polygon(w, h, pts)
            drop_shadow(dst, m, r * 0.04, 0.5, (2, 3))
            over(dst, INK, np.clip(blur(m, 1.0) * 2.5, 0, 1))
            half = polygon(w, h, [pts[0], pts[1], (cx + ox, cy + oy + r)]) * m
            over(dst, mid, m)
            over(dst, light * 0.9, half * 0.6)
            over(dst, dark, np.clip(m - blur(m, 1.5) * 1.2, 0, 1))
        # a few splinters on the ground
        for i, (dx, dy, s) in enumerate([(-0.9, 1.05, 0.12), (0.75, 1.0, 0.1), (-0.45, 1.15, 0.07), (1.05, 1.12, 0.06)]):
            x, y = cx + dx * r, cy + dy * r
            m = polygon(w, h, [(x, y - s * r), (x + s * r * 0.6, y), (x, y + s * r * 0.4), (x - s * r * 0.6, y)])
            over(dst, INK, np.clip(blur(m, 0.8) * 2.5, 0, 1))
            over(dst, mid, m)
        return
    m = polygon(w, h, p)
    glow(dst, m, r * 0.25, rgbf(150, 230, 255), 0.8)
    over(dst, INK, np.clip(blur(m, 1.0) * 2.5, 0, 1))
    c = col("crystal")
    over(dst, c * 0.75, m)
    over(dst, np.clip(c * 1.25, 0, 1), polygon(w, h, [p[0], (cx, cy + r), p[4], p[5]]))
    over(dst, rgbf(220, 248, 255), polygon(w, h, [p[0], (cx - r * 0.05, cy - r * 0.2), p[5]]) * 0.9)
    over(dst, c * 0.55, polygon(w, h, [p[2], p[3], (cx + r * 0.1, cy + r * 0.5)]))
    spark = polygon(w, h, [(cx - r * 0.2, cy - r * 0.6), (cx - r * 0.16, cy - r * 0.5), (cx - r * 0.2, cy - r * 0.4),
                           (cx - r * 0.24, cy - r * 0.5)])
    over(dst, rgbf(255, 255, 255), spark)


def rays(w, h, cx, cy, n, reach):
    """n soft beams around (cx, cy), fading out at distance reach."""
    yy, xx = np.mgrid[0:h, 0:w]
    ang = np.arctan2(yy - cy, xx - cx)
    dist = np.hypot(xx - cx, yy - cy)
    wedge = (np.sin(ang * n) > 0.25).astype(np.float64)
    return blur(wedge, 1.0) * np.clip(1 - dist / reach, 0, 1) ** 1.5


def divider(dst, cx, cy, half, colour=None):
    h, w = dst.shape[:2]
    line = polygon(w, h, [(cx - half, cy), (cx - 12, cy - 2.2), (cx + 12, cy - 2.2), (cx + half, cy), (cx + 12, cy + 2.2),
                          (cx - 12, cy + 2.2)])
    gem = polygon(w, h, [(cx, cy - 10), (cx + 10, cy), (cx, cy + 10), (cx - 10, cy)])
    m = np.clip(line + gem, 0, 1)
    drop_shadow(dst, m, 1.5, 0.5, (1, 2))
    over(dst, gold_fill(m, 1.0), m)
    if colour is not None:
        small = polygon(w, h, [(cx, cy - 5), (cx + 5, cy), (cx, cy + 5), (cx - 5, cy)])
        over(dst, colour, small)


def dialog(won):
    w, h = 720, 480
    img = canvas(w, h)
    box = (14, 12, w - 18, h - 20)
    board = plaque(img, box, 44, 300 if won else 310, border=34, wood_tone=1.0 if won else 0.78)
    cx = w / 2
    if won:
        over(img, rgbf(255, 214, 120), rays(w, h, cx, 118, 14, 300) * board * 0.35)
        draw_crystal(img, cx, 116, 74)
        title(img, "Victory", SERIF_BOLD, 104, (cx, 262), "gold", stroke=6, spacing=4)
        divider(img, cx, 328, 190, col("crystal"))
        title(img, "The valley is safe", SERIF_BOLD, 40, (cx, 384), CREAM, stroke=3)
    else:
        vign = np.clip(1 - blur(board, 40) * 1.2, 0, 1)
        over(img, rgbf(40, 0, 0), vign * board * 0.5)
        draw_crystal(img, cx, 112, 70, broken=True)
        title(img, "Defeat", SERIF_BOLD, 104, (cx, 262), (rgbf(255, 120, 96), rgbf(150, 20, 20)), stroke=6, spacing=4)
        divider(img, cx, 328, 190, col("red"))
        title(img, "The core has fallen", SERIF_BOLD, 40, (cx, 384), CREAM, stroke=3)
    return img


def make_dialogs(out):
    save(dialog(True), os.path.join(out, "hud", "overlay", "dlgWin.png"))
    save(dialog(False), os.path.join(out, "hud", "overlay", "dlgLost.png"))


# --------------------------------------------------------------------------- dialog buttons

def sym_replay(w, h, cx, cy, r):
    ring = shape(w, h, lambda d, s: d.arc([(cx - r) * s, (cy - r) * s, (cx + r) * s, (cy + r) * s], 200, 500,
                                         fill=255, width=int(r * 0.36 * s)))
    a = math.radians(200)
    ax, ay = cx + r * 0.82 * math.cos(a), cy + r * 0.82 * math.sin(a)
    head = polygon(w, h, [(ax - r * 0.55, ay - r * 0.05), (ax + r * 0.5, ay - r * 0.05), (ax, ay + r * 0.6)])
    return np.clip(ring + head, 0, 1)


def sym_exit(w, h, cx, cy, r):
    door = shape(w, h, lambda d, s: d.rectangle([(cx - r * 0.9) * s, (cy - r) * s, (cx + r * 0.2) * s, (cy + r) * s],
                                                outline=255, width=int(r * 0.26 * s)))
    shaft = rrect(w, h, (cx - r * 0.35, cy - r * 0.14, cx + r * 0.6, cy + r * 0.14), 1)
    head = polygon(w, h, [(cx + r * 0.45, cy - r * 0.5), (cx + r * 1.05, cy), (cx + r * 0.45, cy + r * 0.5)])
    return np.clip(door + shaft + head, 0, 1)


def text_button(label, symbol, seed):
    w, h = 320, 128
    img = canvas(w, h)
    plaque(img, (6, 6, w - 6, h - 8), 26, seed, border=14)
    m = symbol(w, h, 64, 62, 26)
    outline = np.clip(blur(m, 1.4) * 3, 0, 1)
    drop_shadow(img, outline, 1.5, 0.6, (1, 2))
    over(img, INK, outline)
    over(img, gold_fill(m, 1.2), m)
    title(img, label, SERIF_BOLD, fit(label, SERIF_BOLD, 50, 172), (202, 60), CREAM, stroke=3)
    return img


def make_dialog_buttons(out):
    save(text_button("Exit", sym_exit, 320), os.path.join(out, "hud", "overlay", "butExit.png"))
    save(text_button("Replay", sym_replay, 330), os.path.join(out, "hud", "overlay", "butReplay.png"))
    save(text_button("Map", sym_map, 340), os.path.join(out, "hud", "overlay", "butMap.png"))
    save(text_button("Next", sym_next, 350), os.path.join(out, "hud", "overlay", "butNext.png"))


# --------------------------------------------------------------------------- level map

def sym_map(w, h, cx, cy, r):
    """A folded map of three panels with a dotted route across it."""
    pts = [(cx - r, cy - r * 0.7), (cx - r * 0.33, cy - r * 0.9), (cx + r * 0.33, cy - r * 0.7), (cx + r, cy - r * 0.9),
           (cx + r, cy + r * 0.7), (cx + r * 0.33, cy + r * 0.9), (cx - r * 0.33, cy + r * 0.7), (cx - r, cy + r * 0.9)]
    sheet = polygon(w, h, pts)
    folds = 0
    for fx in (-0.33, 0.33):
        folds = folds + rrect(w, h, (cx + fx * r - r * 0.05, cy - r * 0.9, cx + fx * r + r * 0.05, cy + r * 0.9), 1)
    dots = 0
    for i in range(5):
        t = i / 4
        dots = dots + circle(w, h, cx - r * 0.7 + t * r * 1.4, cy + r * 0.35 * math.sin(t * math.pi * 1.6 + 0.4), r * 0.1)
    return np.clip(sheet - np.clip(folds, 0, 1) * 0.6 - np.clip(dots, 0, 1) * 0.7, 0, 1)


def sym_next(w, h, cx, cy, r):
    shaft = rrect(w, h, (cx - r * 0.9, cy - r * 0.2, cx + r * 0.2, cy + r * 0.2), 2)
    head = polygon(w, h, [(cx + r * 0.05, cy - r * 0.75), (cx + r, cy), (cx + r * 0.05, cy + r * 0.75)])
    return np.clip(shaft + head, 0, 1)


def sym_back(w, h, cx, cy, r):
    return np.fliplr(sym_next(w, h, w - cx, cy, r))


def star_pts(cx, cy, r, inner=0.45):
    return [(cx + (r if i % 2 == 0 else r * inner) * math.cos(math.radians(-90 + 36 * i)),
             cy + (r if i % 2 == 0 else r * inner) * math.sin(math.radians(-90 + 36 * i))) for i in range(10)]


def star(full):
    n = 96
    img = canvas(n, n)
    c = n / 2
    m = polygon(n, n, star_pts(c, c + 3, n * 0.42))
    outline = np.clip(blur(m, 1.4) * 3, 0, 1)
    if full:
        glow(img, m, n * 0.06, rgbf(255, 200, 80), 0.7)
        drop_shadow(img, outline, 1.5, 0.6, (1, 2))
        over(img, INK, outline)
        over(img, gold_fill(m, 2.5), m)
        spark = polygon(n, n, star_pts(c - n * 0.08, c - n * 0.06, n * 0.07, 0.3))
        over(img, rgbf(255, 255, 240), spark * 0.9)
    else:
        # a star-shaped hollow carved into the board, waiting to be filled
        over(img, INK, outline * 0.8)
        over(img, rgbf(44, 28, 18), m)
        inner_shadow(img, m, 2.5, 0.8, (1, 2))
        rim = np.clip(m - polygon(n, n, star_pts(c, c + 3, n * 0.42 - 3)), 0, 1)
        over(img, GOLD_DARK, rim * 0.8)
    return img


def lock():
    n = 96
    img = canvas(n, n)
    c = n / 2
    shackle = shape(n, n, lambda d, s: d.arc([(c - 20) * s, 14 * s, (c + 20) * s, 62 * s], 180, 360, fill=255,
                                             width=int(9 * s)))
    legs = rrect(n, n, (c - 20, 36, c - 11, 50), 1) + rrect(n, n, (c + 11, 36, c + 20, 50), 1)
    bar = np.clip(shackle + legs, 0, 1)
    body = rrect(n, n, (c - 28, 44, c + 28, 88), 8)
    keyhole = np.clip(circle(n, n, c, 61, 6) + polygon(n, n, [(c - 4, 62), (c + 4, 62), (c + 6, 77), (c - 6, 77)]), 0, 1)
    for m, rgb in ((bar, lit(np.broadcast_to(col("iron"), (n, n, 3)) * 1.3, bar, 2.0, 1.2)), (body, None)):
        outline = np.clip(blur(m, 1.2) * 3, 0, 1)
        drop_shadow(img, outline, 1.5, 0.6, (1, 2))
        over(img, INK, outline)
        over(img, rgb if rgb is not None else gold_fill(m, 2.5), m)
    over(img, rgbf(36, 22, 12), keyhole)
    return img


def level_sign(seed):
    """A wide sign for one level: a medallion for its number on the left, room for the name and
    three stars on the board."""
    w, h = 640, 128
    img = canvas(w, h)
    plaque(img, (6, 6, w - 6, h - 8), 26, seed, border=14)
    medallion(img, 66, 60, 40, seed + 3)
    return img


def map_panel(seed):
    w, h = 720, 864
    img = canvas(w, h)
    plaque(img, (10, 8, w - 14, h - 16), 48, seed, border=36, wood_tone=0.85)
    cx = w / 2
    title(img, "Choose a Valley", SERIF_BOLD, 62, (cx, 80), "gold", stroke=4, spacing=2)
    divider(img, cx, 126, 230, col("crystal"))
    # the message line's slot, at 75 % of the height
    slot(img, (84, 622, w - 88, 674), 16)
    return img


def make_map(out):
    folder = os.path.join(out, "hud", "map")
    save(map_panel(700), os.path.join(folder, "panel.png"))
    save(level_sign(710), os.path.join(folder, "level.png"))
    save(star(True), os.path.join(folder, "star_full.png"))
    save(star(False), os.path.join(folder, "star_empty.png"))
    save(lock(), os.path.join(folder, "lock.png"))
    save(text_button("Back", sym_back, 720), os.path.join(folder, "butBack.png"))


# --------------------------------------------------------------------------- tower panel

def tower_panel_board():
    """The panel of a selected tower: a wide board; the game prints the tower's name on top, its
    figures now (left) and after the upgrade (right), and the three buttons along the bottom."""
    w, h = 576, 288
    img = canvas(w, h)
    plaque(img, (6, 6, w - 6, h - 8), 30, 400, border=16)
    divider(img, w / 2, 62, 230)
    # a gold rule between the two columns of figures
    rule = rrect(w, h, (w / 2 - 1.5, 84, w / 2 + 1.5, 194), 1.5)
    drop_shadow(img, rule, 1.0, 0.5, (1, 1))
    over(img, gold_fill(rule, 0.8), rule)
    return img


def sym_upgrade(w, h, cx, cy, r):
    """Two chevrons pointing up."""
    out = np.zeros((h, w))
    for dy in (-0.45, 0.35):
        y = cy + dy * r
        out = out + polygon(w, h, [(cx - r, y + r * 0.55), (cx, y - r * 0.45), (cx + r, y + r * 0.55),
                                   (cx + r * 0.62, y + r * 0.8), (cx, y + r * 0.12), (cx - r * 0.62, y + r * 0.8)])
    return np.clip(out, 0, 1)


def sym_target(w, h, cx, cy, r):
    """A ring with a cross through it: what the tower aims at."""
    ring = np.clip(circle(w, h, cx, cy, r) - circle(w, h, cx, cy, r * 0.72), 0, 1)
    bar = r * 0.13
    cross = np.clip(rrect(w, h, (cx - r * 1.2, cy - bar, cx + r * 1.2, cy + bar), 1)
                    + rrect(w, h, (cx - bar, cy - r * 1.2, cx + bar, cy + r * 1.2), 1), 0, 1)
    dot = circle(w, h, cx, cy, r * 0.22)
    return np.clip(ring + cross * (1 - circle(w, h, cx, cy, r * 0.4)) + dot, 0, 1)


def panel_button(symbol, seed):
    """A small plaque with a gold symbol on the left; the game prints the label to its right."""
    w, h = 256, 96
    img = canvas(w, h)
    plaque(img, (4, 4, w - 4, h - 6), 20, seed, border=10)
    m = symbol(w, h, 46, 46, 20)
    outline = np.clip(blur(m, 1.2) * 3, 0, 1)
    drop_shadow(img, outline, 1.2, 0.6, (1, 2))
    over(img, INK, outline)
    over(img, gold_fill(m, 1.0), m)
    return img


def panel_sell_button(seed):
    w, h = 256, 96
    img = canvas(w, h)
    plaque(img, (4, 4, w - 4, h - 6), 20, seed, border=10)
    draw_coins(img, 44, 44, 26)
    return img


def make_tower_panel(out):
    folder = os.path.join(out, "hud", "towerpanel")
    save(tower_panel_board(), os.path.join(folder, "board.png"))
    save(panel_button(sym_upgrade, 410), os.path.join(folder, "upgrade.png"))
    save(panel_sell_button(420), os.path.join(folder, "sell.png"))
    save(panel_button(sym_target, 430), os.path.join(folder, "target.png"))


# --------------------------------------------------------------------------- menu badges

def fit(text, font_path, size, width):
    while size > 8 and ImageFont.truetype(font_path, size).getlength(text) > width:
        size -= 1
    return size


def sym_speaker(w, h, cx, cy, r):
    body = polygon(w, h, [(cx - r, cy - r * 0.3), (cx - r * 0.5, cy - r * 0.3), (cx, cy - r * 0.8), (cx, cy + r * 0.8),
                          (cx - r * 0.5, cy + r * 0.3), (cx - r, cy + r * 0.3)])
    waves = 0
    for k in (0.55, 0.95):
        waves = waves + shape(w, h, lambda d, s, k=k: d.arc([(cx - r * k) * s, (cy - r * k) * s, (cx + r * k) * s,
                                                              (cy + r * k) * s], -45, 45, fill=255, width=int(r * 0.16 * s)))
    return np.clip(body + waves, 0, 1)


def badge(lines, seed, icon=None):
    w, h = 448, 128
    img = canvas(w, h)
    plaque(img, (5, 5, w - 5, h - 7), 22, seed, border=13, wood_tone=0.72)
    left = 26
    if icon is not None:
        medallion(img, 68, 60, 40, seed + 3)
        m = icon(w, h, 72, 60, 22)
        outline = np.clip(blur(m, 1.2) * 3, 0, 1)
        over(img, INK, outline)
        over(img, gold_fill(m, 1.2), m)
        left = 116
    right = w - 26
    cx = (left + right) / 2
    for text, font, size, y, fill in lines:
        title(img, text, font, fit(text, font, size, right - left), (cx, y), fill, stroke=2)
    return img


def make_badges(out):
    save(badge([("Wardens of Hollowmere", SERIF_BOLD, 34, 50, "gold"),
                ("made with free tools", SANS_BOLD, 22, 88, CREAM)], 400),
         os.path.join(out, "hud", "overlay", "credits.png"))
    save(badge([("Sound:", SANS_BOLD, 22, 40, CREAM),
                ("OpenAL Soft", SERIF_BOLD, 40, 80, "gold")], 410, sym_speaker),
         os.path.join(out, "hud", "overlay", "logoFmod.png"))


# --------------------------------------------------------------------------- building cards

# Cards are tall and narrow: the game places them 0.15 window widths apart at a height of 0.343 window
# heights, so in the default square window they must stay below 0.44 width/height to sit side by side.
CARD_W, CARD_H = 128, 304
WINDOW = (10, 36, 118, 224)          # where the turntable picture goes
PRICE_AT = (0.54 * CARD_W, (1 - 0.195) * CARD_H)   # the game centres the price here
CARDS = {"ARROW": ("Arrow", "banner_blue"), "CANNON": ("Cannon", "banner_red")}


def card_backdrop(w, h, seed):
    """A bright valley behind the tower: sky, far hills, meadow."""
    rng = np.random.default_rng(seed)
    y = np.broadcast_to(np.arange(h)[:, None] / h, (h, w))
    sky = ramp(y, [(0, rgbf(120, 170, 222)), (0.6, rgbf(206, 226, 236)), (1, rgbf(226, 232, 220))])
    x = np.arange(w) / w
    far = 0.56 + 0.06 * np.sin(x * 7 + 1.0) + 0.03 * np.sin(x * 17 + 2.0)
    near = 0.7 + 0.05 * np.sin(x * 5 + 4.0) + 0.02 * np.sin(x * 23)
    img = sky.copy()
    img = np.where((y > far[None, :])[..., None], rgbf(128, 150, 150), img)
    img = np.where((y > near[None, :])[..., None], col("grass_light") * 0.95, img)
    clouds = fractal(w, h, 3, rng, octaves=3, stretch=(1.0, 0.5))
    cover = np.clip((clouds - 0.6) * 3, 0, 1) * (y < 0.45)
    return img * (1 - cover[..., None] * 0.6) + rgbf(250, 250, 250) * cover[..., None] * 0.6


def card_base(card, seed):
    name, banner = CARDS[card]
    w, h = CARD_W, CARD_H
    img = canvas(w, h)
    plaque(img, (0, 0, w, h), 12, seed, border=8, shadow=False)
    win = rrect(w, h, WINDOW, 8)
    bg = canvas(w, h)
    x0, y0, x1, y1 = WINDOW
    bg[y0:y1, x0:x1, :3] = card_backdrop(x1 - x0, y1 - y0, seed)
    over(img, bg[..., :3], win)
    # title ribbon across the top
    ribbon = polygon(w, h, [(4, 10), (124, 10), (118, 21), (124, 32), (4, 32), (10, 21)])
    drop_shadow(img, ribbon, 1.5, 0.5, (1, 2))
    over(img, INK, np.clip(blur(ribbon, 0.8) * 2.5, 0, 1))
    over(img, lit(np.broadcast_to(col(banner), (h, w, 3)), ribbon, 2.0, 1.0), ribbon)
    title(img, name, SERIF_BOLD, fit(name, SERIF_BOLD, 17, 96), (64, 21), CREAM, stroke=1, shadow=False)
    # price plate in parchment with a coin at its left end; the price is printed right of the coin
    px, py = PRICE_AT
    plate_box = (16, int(round(py - 16)), 120, int(round(py + 16)))
    plate = rrect(w, h, plate_box, 9)
    drop_shadow(img, plate, 1.5, 0.5, (1, 2))
    gold_ring = rrect(w, h, (plate_box[0] - 2, plate_box[1] - 2, plate_box[2] + 2, plate_box[3] + 2), 11)
    over(img, gold_fill(gold_ring, 1.0), gold_ring)
    rng = np.random.default_rng(seed + 9)
    parch = ramp(fractal(w, h, 4, rng, octaves=3) * 0.6 + 0.2, [(0, rgbf(214, 190, 140)), (1, PARCHMENT)])
    over(img, lit(parch, plate, 2.0, 0.7), plate)
    inner_shadow(img, plate, 2.0, 0.35, (1, 1))
    cx, cr = 20, 13
    coin = circle(w, h, cx, py, cr)
    drop_shadow(img, coin, 1.5, 0.6, (1, 2))
    over(img, INK, np.clip(blur(coin, 0.8) * 2.5, 0, 1))
    over(img, gold_fill(coin, 1.6), coin)
    inner = circle(w, h, cx, py, cr * 0.66)
    over(img, GOLD_DARK, np.clip(blur(inner, 0.7) - inner, 0, 1) * 1.4)
    star = polygon(w, h, [(cx + 5.5 * math.cos(math.radians(-90 + 144 * i)), py + 5.5 * math.sin(math.radians(-90 + 144 * i)))
                          for i in range(5)])
    over(img, GOLD_DARK, star * 0.7)
    # two gold studs on the foot of the card
    for sx in (40, 88):
        stud = circle(w, h, sx, 282, 3)
        drop_shadow(img, stud, 0.8, 0.6, (1, 1))
        over(img, gold_fill(stud, 1.0), stud)
    return img, win


def make_cards(out, renders):
    for card in CARDS:
        src = os.path.join(renders, card)
        frames = sorted(f for f in os.listdir(src) if f.endswith(".png"))
        if len(frames) < 2:
            sys.exit("make_hud.py: %s has fewer than two renders" % src)
        base, win = card_base(card, 500 + len(card))
        dst = os.path.join(out, "hud", "towercards", card)
        os.makedirs(dst, exist_ok=True)
        for old in os.listdir(dst):
            os.remove(os.path.join(dst, old))
        x0, y0, x1, y1 = WINDOW
        # the window's rim shades the picture like a deep frame
        rim = canvas(CARD_W, CARD_H)
        inner_shadow(rim, win, 3.0, 0.6, (1, 2))
        ring = np.clip(rrect(CARD_W, CARD_H, (x0 - 2, y0 - 2, x1 + 2, y1 + 2), 10) - win, 0, 1)
        ring_rgb = gold_fill(ring, 1.0)
        for i, name in enumerate(frames):
            with Image.open(os.path.join(src, name)) as im:
                tower = im.convert("RGBA").convert("RGBa").resize((x1 - x0, y1 - y0), Image.LANCZOS).convert("RGBA")
            img = base.copy()
            pic = canvas(CARD_W, CARD_H)
            pic[y0:y1, x0:x1] = np.asarray(tower, dtype=np.float64) / 255.0
            over(img, pic[..., :3], pic[..., 3] * win)
            img[..., :3] = img[..., :3] * (1 - rim[..., 3:4]) + rim[..., :3] * rim[..., 3:4]
            over(img, ring_rgb, ring)
            save(img, os.path.join(dst, "frame_%03d.png" % i))


# --------------------------------------------------------------------------- lens flare

def radial(n):
    yy, xx = np.mgrid[0:n, 0:n]
    c = (n - 1) / 2
    return np.hypot(xx - c, yy - c) / (n / 2), np.arctan2(yy - c, xx - c)


def hexagon_dist(n, rot=0.0):
    """Distance to the centre measured by a regular hexagon (1 on its edge)."""
    r, a = radial(n)
    a = a + rot
    sector = np.mod(a, math.pi / 3) - math.pi / 6
    return r * np.cos(sector) / math.cos(math.pi / 6)


def flare_image(light):
    """light: HxWx3 additive light (0..1+). Stored as tint in RGB and strength in alpha, because the game
    draws flares with blend factors (source alpha, one)."""
    light = np.clip(light, 0, 1)
    alpha = light.max(axis=-1)
    rgb = light / np.maximum(alpha, 1e-6)[..., None]
    # edges of fully dark pixels take a neutral tint so filtering never drags in black
    rgb = np.where(alpha[..., None] > 1e-4, rgb, 1.0)
    return np.dstack([rgb, alpha])


def tinted(profile, tint):
    return profile[..., None] * np.asarray(tint)[None, None, :]


def make_flares(out):
    folder = os.path.join(out, "lensflare")
    rng = np.random.default_rng(77)
    images = []
    # 0: the sun's own burst: hot core, soft halo, thin streaks
    n = 256
    r, a = radial(n)
    streaks = np.zeros((n, n))
    for k, (count, sharp, amp) in enumerate([(6, 60.0, 0.5), (16, 200.0, 0.25)]):
        phase = rng.random() * math.pi
        streaks += amp * np.abs(np.cos(a * count / 2 + phase)) ** sharp
    streaks *= np.clip(1 - r, 0, 1) ** 2
    core = np.exp(-(r / 0.08) ** 2) + 0.45 * np.exp(-(r / 0.3) ** 2) + 0.15 * np.clip(1 - r, 0, 1)
    light = tinted(core, (1.0, 0.95, 0.82)) + tinted(streaks, (1.0, 0.88, 0.7))
    images.append(light)

    def glow_disc(n, tint, soft=0.5, power=1.0):
        r, _ = radial(n)
        return tinted(np.clip(1 - r, 0, 1) ** (2.0 + soft * 2) * power, tint)

    def ring(n, radius, width, tint, power=1.0, fill=0.0):
        r, _ = radial(n)
        band = np.exp(-((r - radius) / width) ** 2) + fill * np.clip(1 - r / radius, 0, 1) ** 0.5 * (r < radius)
        return tinted(band * power * np.clip((1 - r) * 6, 0, 1), tint)

    def ghost(n, tint, power=0.6, rot=0.0):
        d = hexagon_dist(n, rot)
        body = np.clip((0.86 - d) * 10, 0, 1) * (0.45 + 0.55 * np.clip(d / 0.86, 0, 1) ** 3)
        return tinted(blur(body, n * 0.012) * power, tint)

    def rainbow(n, radius, width, power=0.5):
        r, _ = radial(n)
        out = np.zeros((n, n, 3))
        for c, off in enumerate((0.03, 0.0, -0.03)):
            out[..., c] = np.exp(-((r - radius - off) / width) ** 2)
        return out * power * np.clip((1 - r) * 6, 0, 1)[..., None]

    images.append(ring(256, 0.72, 0.08, (1.0, 0.8, 0.5), 0.45, fill=0.15))      # 1
    images.append(ghost(128, (1.0, 0.6, 0.25), 0.55))                           # 2
    images.append(ghost(64, (0.5, 1.0, 0.55), 0.6, 0.3))                        # 3
    images.append(glow_disc(32, (1.0, 0.95, 0.85), 0.2, 1.0))                   # 4
    images.append(ghost(64, (0.4, 0.65, 1.0), 0.6, 0.15))                       # 5
    images.append(ring(128, 0.78, 0.1, (0.75, 0.45, 1.0), 0.6, fill=0.35))     # 6
    images.append(ring(128, 0.72, 0.07, (0.35, 0.95, 1.0), 0.7))                # 7
    images.append(glow_disc(32, (1.0, 0.85, 0.6), 0.1, 1.0))                    # 8
    images.append(ghost(256, (1.0, 0.75, 0.3), 0.25, 0.5))                      # 9
    images.append(ring(128, 0.7, 0.12, (0.45, 1.0, 0.7), 0.55, fill=0.25))     # 10
    images.append(ghost(128, (1.0, 0.5, 0.7), 0.5, 0.25))                       # 11
    images.append(rainbow(256, 0.85, 0.04, 0.5))                                # 12
    images.append(glow_disc(256, (0.45, 0.6, 1.0), 0.8, 0.35) + ring(256, 0.9, 0.03, (0.6, 0.75, 1.0), 0.25))  # 13
    for i, light in enumerate(images):
        save(flare_image(light), os.path.join(folder, "flare%d.png" % i))


# --------------------------------------------------------------------------- smoke

def make_smoke(out):
    n = 128
    rng = np.random.default_rng(91)
    r, _ = radial(n)
    yy, xx = np.mgrid[0:n, 0:n] / n
    density = np.zeros((n, n))
    for _ in range(14):
        cx, cy = 0.5 + rng.normal(0, 0.12), 0.5 + rng.normal(0, 0.11)
        rad = rng.uniform(0.13, 0.23)
        density += np.exp(-((xx - cx) ** 2 + (yy - cy) ** 2) / (2 * rad * rad)) * rng.uniform(0.5, 1.0)
    density /= density.max()
    detail = fractal(n, n, 5, rng, octaves=4)
    density = density * (0.5 + 0.7 * detail) * np.clip((1 - r) * 1.8, 0, 1)
    density = blur(density, 1.5)
    alpha = np.clip(1 - np.exp(-density * 3.0), 0, 1)
    alpha = alpha / alpha.max() * 0.95
    # lit from above: the upper left of each billow is lighter
    shade = bevel(density, 6.0, 0.9)
    grey = np.clip((0.6 + 0.2 * detail) * shade, 0, 1)
    rgb = np.stack([grey * 0.98, grey * 0.98, grey], axis=-1)
    save(np.dstack([rgb, alpha]), os.path.join(out, "particles", "greySmoke.png"))


# --------------------------------------------------------------------------- program icon

def icon(n):
    """The desktop icon at n x n pixels: the crystal the player defends, glowing on a stone boss.
    Drawn at each size rather than scaled, so the small one keeps crisp edges."""
    img = canvas(n, n)
    c = n / 2
    r = n * 0.46
    disc = medallion(img, c, c - n * 0.01, r, 640)
    over(img, rgbf(150, 230, 255), rays(n, n, c, c, 10, r * 0.95) * disc * 0.35)
    draw_crystal(img, c, c - n * 0.01, r * 0.66)
    return img


def make_icons(folder):
    for n in (64, 128, 256):
        save(icon(n), os.path.join(folder, "%dx%d" % (n, n), "hollowmere.png"))


def option(args, name):
    if name not in args:
        return None
    i = args.index(name)
    value = args[i + 1]
    del args[i:i + 2]
    return value


def main():
    args = sys.argv[1:]
    cards = option(args, "--cards")
    icons = option(args, "--icons")
    if len(args) != 1:
        sys.exit("usage: make_hud.py TEXTURES_DIR [--cards RENDERS_DIR] [--icons ICONS_DIR]")
    out = args[0]
    make_panels(out)
    make_buttons(out)
    make_dialogs(out)
    make_dialog_buttons(out)
    make_tower_panel(out)
    make_badges(out)
    make_map(out)
    make_flares(out)
    make_smoke(out)
    if cards:
        make_cards(out, cards)
    if icons:
        make_icons(icons)


if __name__ == "__main__":
    main()
