#!/usr/bin/python3
"""Generates the textures of Hollowmere's models, the sky and the cursors.

Usage: make_textures.py TEXTURES_DIR

Writes below TEXTURES_DIR (normally GAME_DATA/textures):
  palette/colorpicker.png      flat colour cells for every "ColorPicker" prop
  stone/{ab,no,me,ro,ao}_stone.png   a PBR set laid out for the automatic lookup
  terrain/ab_ground.dds        DXT1 albedo of the valley floor (ImageMagick)
  terrain/{no,ro}_ground.png   found beside it by the automatic lookup
  skybox/hollowmere_sky/{pos,neg}{x,y,z}.png   the cube-map sky
  hud/cursor/{default,no}.png  the two mouse cursors (hot spot at pixel 0,0)
Every random number comes from generators with fixed seeds, so a rerun gives
the same pixels.
"""
import math
import os
import subprocess
import sys
import tempfile

import numpy as np
from PIL import Image, ImageDraw

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import palette  # noqa: E402

# Direction towards the sun in the game's y-up frame; the level's "Sun" light
# points the opposite way (see blender/hollow.py, SUN_DIRECTION).
SUN = np.array([-0.52, 0.62, 0.58])
SUN = SUN / np.linalg.norm(SUN)


def save(img, path):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    img.save(path, optimize=True)


def periodic_noise(rng, size, scale, octaves=4, persistence=0.5):
    """Tileable fractal noise in [0, 1]: band-limited white noise summed over octaves."""
    out = np.zeros((size, size))
    amp, total = 1.0, 0.0
    freq = scale
    for _ in range(octaves):
        white = rng.standard_normal((size, size))
        spec = np.fft.fft2(white)
        fy = np.fft.fftfreq(size)[:, None] * size
        fx = np.fft.fftfreq(size)[None, :] * size
        r = np.sqrt(fx * fx + fy * fy)
        band = np.exp(-((r - freq) ** 2) / (2 * (freq * 0.5) ** 2))
        layer = np.real(np.fft.ifft2(spec * band))
        layer /= np.abs(layer).max() + 1e-9
        out += amp * layer
        total += amp
        amp *= persistence
        freq *= 2
    out /= total
    return (out - out.min()) / (out.max() - out.min() + 1e-9)


def normal_map(height, strength):
    """Tangent-space normal map (RGB, +Y up in the image) from a tileable height field."""
    dx = (np.roll(height, -1, axis=1) - np.roll(height, 1, axis=1)) * strength
    dy = (np.roll(height, -1, axis=0) - np.roll(height, 1, axis=0)) * strength
    n = np.stack([-dx, dy, np.ones_like(height)], axis=-1)
    n /= np.linalg.norm(n, axis=-1, keepdims=True)
    return Image.fromarray(((n * 0.5 + 0.5) * 255).astype(np.uint8), "RGB")


def grey(arr):
    return Image.fromarray((np.clip(arr, 0, 1) * 255).astype(np.uint8), "L")


def rgb(arr):
    return Image.fromarray((np.clip(arr, 0, 1) * 255).astype(np.uint8), "RGB")


def make_palette(out):
    img = Image.new("RGB", (palette.SIZE, palette.SIZE), (255, 0, 255))
    draw = ImageDraw.Draw(img)
    for i, (_, colour) in enumerate(palette.COLOURS):
        x, y = (i % palette.GRID) * palette.CELL, (i // palette.GRID) * palette.CELL
        draw.rectangle([x, y, x + palette.CELL - 1, y + palette.CELL - 1], fill=colour)
    save(img, os.path.join(out, palette.TEXTURE))


def make_stone(out):
    """Dressed stone blocks in running bond, 256 px square, tileable."""
    rng = np.random.default_rng(7101)
    n = 256
    rows, cols = 4, 2
    bh, bw = n // rows, n // cols
    y, x = np.mgrid[0:n, 0:n]
    row = y // bh
    xs = (x + (row % 2) * (bw // 2)) % n
    col = xs // bw
    ly, lx = y % bh, xs % bw
    edge = np.minimum(np.minimum(ly, bh - 1 - ly), np.minimum(lx, bw - 1 - lx)).astype(float)
    bevel = np.clip(edge / 6.0, 0, 1)
    block_id = row * cols + col
    tint = rng.uniform(0.86, 1.08, size=rows * cols)[block_id]
    grain = periodic_noise(rng, n, 8, 5)
    chips = periodic_noise(rng, n, 24, 3)
    height = bevel * (0.75 + 0.25 * grain) - (chips > 0.78) * 0.15
    base = np.array([0.58, 0.55, 0.50])
    mortar = np.array([0.33, 0.31, 0.28])
    shade = (0.82 + 0.3 * grain)[..., None] * tint[..., None]
    albedo = np.where((bevel > 0.05)[..., None], base * shade, mortar * (0.9 + 0.2 * grain[..., None]))
    folder = os.path.join(out, "stone")
    save(rgb(albedo), os.path.join(folder, "ab_stone.png"))
    save(normal_map(height, 2.5), os.path.join(folder, "no_stone.png"))
    save(grey(0.72 + 0.2 * (1 - bevel) + 0.06 * grain), os.path.join(folder, "ro_stone.png"))
    save(grey(0.55 + 0.45 * np.clip(bevel * 1.5, 0, 1)), os.path.join(folder, "ao_stone.png"))
    save(Image.new("L", (16, 16), 0), os.path.join(folder, "me_stone.png"))


def make_ground(out):
    """Meadow grass with bare patches; the albedo is stored as DXT1."""
    rng = np.random.default_rng(7202)
    n = 512
    patches = periodic_noise(rng, n, 3, 4)
    blades = periodic_noise(rng, n, 64, 3, 0.6)
    clumps = periodic_noise(rng, n, 12, 3)
    grass = np.array([0.36, 0.52, 0.22]) * (0.75 + 0.45 * clumps[..., None]) * (0.85 + 0.3 * blades[..., None])
    soil = np.array([0.45, 0.36, 0.25]) * (0.8 + 0.35 * blades[..., None])
    mix = np.clip((patches - 0.62) * 6, 0, 1)[..., None]
    albedo = grass * (1 - mix) + soil * mix
    folder = os.path.join(out, "terrain")
    os.makedirs(folder, exist_ok=True)
    with tempfile.TemporaryDirectory() as tmp:
        png = os.path.join(tmp, "ground.png")
        rgb(albedo).save(png)
        dds = os.path.join(folder, "ab_ground.dds")
        subprocess.run(["convert", png, "-define", "dds:compression=dxt1", "-define", "dds:mipmaps=0", dds],
                       check=True)
    save(normal_map(blades * 0.6 + clumps * 0.4, 3.0).resize((256, 256), Image.LANCZOS),
         os.path.join(folder, "no_ground.png"))
    save(grey(0.82 + 0.15 * blades - 0.1 * mix[..., 0]).resize((128, 128), Image.LANCZOS),
         os.path.join(folder, "ro_ground.png"))


def face_directions(face, n):
    """Directions through the texel centres of one cube-map face, per the GL cube-map addressing."""
    t, s = np.mgrid[0:n, 0:n] + 0.5
    sc, tc = 2 * s / n - 1, 2 * t / n - 1
    one = np.ones_like(sc)
    d = {
        "posx": (one, -tc, -sc), "negx": (-one, -tc, sc),
        "posy": (sc, one, tc), "negy": (sc, -one, -tc),
        "posz": (sc, -tc, one), "negz": (-sc, -tc, -one),
    }[face]
    v = np.stack(d, axis=-1)
    return v / np.linalg.norm(v, axis=-1, keepdims=True)


def make_sky(out, n=512):
    rng = np.random.default_rng(7303)
    clouds = periodic_noise(rng, 256, 4, 5, 0.55)
    # distant ridges as a function of the azimuth: two layers of summed sines
    ridge_a = [(k, rng.uniform(0, 2 * math.pi), rng.uniform(0.2, 1.0) / k) for k in range(1, 24)]
    ridge_b = [(k, rng.uniform(0, 2 * math.pi), rng.uniform(0.2, 1.0) / k) for k in range(2, 30)]

    def ridge(az, waves, base, amp):
        h = sum(a * np.sin(k * az + p) for k, p, a in waves)
        return base + amp * h

    zenith = np.array([0.22, 0.42, 0.74])
    horizon = np.array([0.78, 0.84, 0.88])
    warm = np.array([1.0, 0.86, 0.62])
    below = np.array([0.30, 0.36, 0.38])
    far = np.array([0.50, 0.58, 0.68])
    near = np.array([0.36, 0.44, 0.50])
    folder = os.path.join(out, "skybox", "hollowmere_sky")
    for face in ("posx", "negx", "posy", "negy", "posz", "negz"):
        d = face_directions(face, n)
        x, y, z = d[..., 0], d[..., 1], d[..., 2]
        elev = np.arcsin(np.clip(y, -1, 1))
        az = np.arctan2(z, x)
        t = np.clip(elev / (math.pi / 2), 0, 1) ** 0.55
        col = horizon * (1 - t[..., None]) + zenith * t[..., None]
        sun_dot = np.clip(d @ SUN, -1, 1)
        glow = np.clip(sun_dot, 0, 1) ** 8 * 0.35 + np.clip(sun_dot, 0, 1) ** 200 * 0.8
        col = col + warm * glow[..., None]
        col = np.where((sun_dot > 0.9992)[..., None], np.array([1.0, 0.98, 0.9]), col)
        # clouds on a flat layer above the valley
        up = np.maximum(y, 0.02)
        u = (x / up * 0.18) % 1.0
        v = (z / up * 0.18) % 1.0
        ci = clouds[(v * 255).astype(int), (u * 255).astype(int)]
        cover = np.clip((ci - 0.52) * 3.2, 0, 1) * np.clip(y * 6, 0, 1)
        cloud_col = np.array([0.97, 0.96, 0.94]) - 0.18 * np.clip((ci - 0.7) * 3, 0, 1)[..., None]
        col = col * (1 - cover[..., None] * 0.85) + cloud_col * (cover[..., None] * 0.85)
        # far and near mountain ranges, hazy towards the horizon
        h_far = ridge(az, ridge_a, 0.075, 0.07)
        h_near = ridge(az, ridge_b, 0.03, 0.06)
        haze = np.clip(elev / 0.08, 0, 1)[..., None]
        col = np.where((elev < h_far)[..., None], far * (0.85 + 0.15 * haze) + horizon * 0.12, col)
        col = np.where((elev < h_near)[..., None], near * (0.9 + 0.1 * haze), col)
        col = np.where((elev < 0)[..., None], below * (1 + np.clip(elev, -1, 0)[..., None] * 0.5), col)
        save(rgb(col), os.path.join(folder, face + ".png"))


def make_cursors(out):
    folder = os.path.join(out, "hud", "cursor")
    arrow = Image.new("RGBA", (32, 32), (0, 0, 0, 0))
    d = ImageDraw.Draw(arrow)
    shape = [(0, 0), (0, 22), (6, 17), (10, 27), (14, 25), (10, 16), (17, 16)]
    d.polygon([(x + 1, y + 1) for x, y in shape], fill=(0, 0, 0, 90))
    d.polygon(shape, fill=(236, 214, 160, 255), outline=(40, 26, 14, 255))
    d.line([(2, 4), (2, 17)], fill=(255, 244, 210, 255))
    save(arrow, os.path.join(folder, "default.png"))
    no = Image.new("RGBA", (32, 32), (0, 0, 0, 0))
    d = ImageDraw.Draw(no)
    d.polygon([(0, 0), (0, 12), (4, 9), (9, 0)], fill=(236, 214, 160, 255), outline=(40, 26, 14, 255))
    d.ellipse([7, 7, 30, 30], outline=(40, 10, 10, 255), width=5)
    d.ellipse([9, 9, 28, 28], outline=(210, 40, 36, 255), width=3)
    d.line([(12, 26), (26, 12)], fill=(40, 10, 10, 255), width=5)
    d.line([(13, 25), (25, 13)], fill=(210, 40, 36, 255), width=3)
    save(no, os.path.join(folder, "no.png"))


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_textures.py TEXTURES_DIR")
    out = sys.argv[1]
    make_palette(out)
    make_stone(out)
    make_ground(out)
    make_sky(out)
    make_cursors(out)


if __name__ == "__main__":
    main()
