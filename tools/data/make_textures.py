#!/usr/bin/python3
"""Generates the textures of Hollowmere's models, the sky and the cursors.

Usage: make_textures.py TEXTURES_DIR

Writes below TEXTURES_DIR (normally GAME_DATA/textures):
  palette/colorpicker.png      flat colour cells for every "ColorPicker" prop
  stone/{ab,no,me,ro,ao}_stone.png   a PBR set laid out for the automatic lookup
  terrain/ab_ground.dds        DXT1 albedo of the valley floor (ImageMagick)
  terrain/{no,ro}_ground.png   found beside it by the automatic lookup
  terrain_fen/, terrain_ash/   the same set for the marsh of Morrowfen and the ash of Cinderpass
  skybox/hollowmere_sky/{pos,neg}{x,y,z}.png   the cube-map sky of Vezaz (and the menu)
  skybox/morrowfen_sky/, skybox/cinderpass_sky/   the dusk and the night sky of the other levels
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


def game_direction(blender):
    """A Blender direction (x, y, z up) in the game's frame (x, y up, z = -Blender y), normalised."""
    d = np.array([blender[0], blender[2], -blender[1]], dtype=float)
    return d / np.linalg.norm(d)


# The low evening sun of Morrowfen in the west and the moon of Cinderpass in the north-east; the levels'
# descriptions (blender/level_morrowfen.py, level_cinderpass.py) give the same Blender directions.
DUSK_SUN = game_direction((-0.90, 0.18, 0.42))
MOON = game_direction((0.42, 0.62, 0.66))


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


def save_ground(out, name, albedo, height, roughness):
    """A ground set: DXT1 albedo (one mip level), normal map and roughness map in one folder."""
    folder = os.path.join(out, name)
    os.makedirs(folder, exist_ok=True)
    with tempfile.TemporaryDirectory() as tmp:
        png = os.path.join(tmp, "ground.png")
        rgb(albedo).save(png)
        dds = os.path.join(folder, "ab_ground.dds")
        subprocess.run(["convert", png, "-define", "dds:compression=dxt1", "-define", "dds:mipmaps=0", dds],
                       check=True)
    save(normal_map(height, 3.0).resize((256, 256), Image.LANCZOS), os.path.join(folder, "no_ground.png"))
    save(grey(roughness).resize((128, 128), Image.LANCZOS), os.path.join(folder, "ro_ground.png"))


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
    save_ground(out, "terrain", albedo, blades * 0.6 + clumps * 0.4, 0.82 + 0.15 * blades - 0.1 * mix[..., 0])


def make_fen_ground(out):
    """Marsh: dark moss and sedge over peat, with wet black-brown mud between the tussocks (shinier)."""
    rng = np.random.default_rng(7212)
    n = 512
    patches = periodic_noise(rng, n, 4, 4)
    blades = periodic_noise(rng, n, 72, 3, 0.6)
    tussocks = periodic_noise(rng, n, 16, 3)
    moss = np.array([0.28, 0.31, 0.14]) * (0.7 + 0.5 * tussocks[..., None]) * (0.8 + 0.4 * blades[..., None])
    sedge = np.array([0.44, 0.36, 0.19]) * (0.8 + 0.35 * blades[..., None])
    mud = np.array([0.20, 0.15, 0.10]) * (0.85 + 0.3 * tussocks[..., None])
    dry = np.clip((blades - 0.45) * 4, 0, 1)[..., None] * np.clip((tussocks - 0.35) * 3, 0, 1)[..., None]
    wet = np.clip((patches - 0.55) * 5, 0, 1)[..., None]
    albedo = (moss * (1 - dry) + sedge * dry) * (1 - wet) + mud * wet
    height = blades * 0.4 + tussocks * 0.6 - wet[..., 0] * 0.5
    save_ground(out, "terrain_fen", albedo, height, 0.86 + 0.1 * blades - 0.45 * wet[..., 0])


def make_ash_ground(out):
    """Cinder field: black basalt grit under drifts of grey ash, rusty scoria and a net of dark cracks."""
    rng = np.random.default_rng(7222)
    n = 512
    drifts = periodic_noise(rng, n, 3, 4)
    grit = periodic_noise(rng, n, 96, 2, 0.6)
    stones = periodic_noise(rng, n, 20, 3)
    veins = periodic_noise(rng, n, 6, 3)
    basalt = np.array([0.13, 0.12, 0.12]) * (0.75 + 0.5 * grit[..., None]) * (0.85 + 0.3 * stones[..., None])
    ash = np.array([0.40, 0.38, 0.36]) * (0.85 + 0.25 * grit[..., None])
    scoria = np.array([0.32, 0.16, 0.10]) * (0.8 + 0.4 * grit[..., None])
    ash_mix = np.clip((drifts - 0.66) * 5, 0, 1)[..., None] * 0.85
    rust = np.clip((stones - 0.72) * 6, 0, 1)[..., None] * (1 - ash_mix)
    crack = np.clip(1 - np.abs(veins - 0.5) * 90, 0, 1)[..., None]
    albedo = basalt * (1 - ash_mix) + ash * ash_mix
    albedo = albedo * (1 - rust) + scoria * rust
    albedo = albedo * (1 - 0.8 * crack)
    height = grit * 0.35 + stones * 0.5 - crack[..., 0] * 0.6 + ash_mix[..., 0] * 0.2
    save_ground(out, "terrain_ash", albedo, height, 0.9 + 0.08 * grit - 0.15 * rust[..., 0])


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


def ridge_waves(rng, first, last):
    return [(k, rng.uniform(0, 2 * math.pi), rng.uniform(0.2, 1.0) / k) for k in range(first, last)]


def ridge(az, waves, base, amp):
    return base + amp * sum(a * np.sin(k * az + p) for k, p, a in waves)


def cloud_layer(clouds, x, y, z, scale=0.18):
    """Cloud texture value on a flat layer above the level, and how much of the sky it covers there."""
    up = np.maximum(y, 0.02)
    u = (x / up * scale) % 1.0
    v = (z / up * scale) % 1.0
    return clouds[(v * 255).astype(int), (u * 255).astype(int)]


def make_dusk_sky(out, n=512):
    """Morrowfen: the sun just above the western horizon, an orange band under violet-blue heights, dark
    streaks of cloud lit from below on the sun's side, and a low line of far trees."""
    rng = np.random.default_rng(7313)
    clouds = periodic_noise(rng, 256, 3, 5, 0.55)
    trees = ridge_waves(rng, 20, 90)
    hills = ridge_waves(rng, 1, 12)
    zenith = np.array([0.12, 0.12, 0.30])
    high = np.array([0.30, 0.24, 0.45])
    horizon_sun = np.array([1.0, 0.58, 0.26])
    horizon_away = np.array([0.46, 0.34, 0.46])
    below = np.array([0.10, 0.10, 0.08])
    sun_az = math.atan2(DUSK_SUN[2], DUSK_SUN[0])
    folder = os.path.join(out, "skybox", "morrowfen_sky")
    for face in ("posx", "negx", "posy", "negy", "posz", "negz"):
        d = face_directions(face, n)
        x, y, z = d[..., 0], d[..., 1], d[..., 2]
        elev = np.arcsin(np.clip(y, -1, 1))
        az = np.arctan2(z, x)
        towards = (0.5 + 0.5 * np.cos(az - sun_az))[..., None] ** 2
        horizon = horizon_away * (1 - towards) + horizon_sun * towards
        t = np.clip(elev / (math.pi / 2), 0, 1)
        lower = np.clip(t / 0.25, 0, 1)[..., None] ** 0.7
        upper = np.clip((t - 0.25) / 0.75, 0, 1)[..., None] ** 0.8
        col = horizon * (1 - lower) + high * lower
        col = col * (1 - upper) + zenith * upper
        sun_dot = np.clip(d @ DUSK_SUN, -1, 1)
        glow = np.clip(sun_dot, 0, 1) ** 6 * 0.45 + np.clip(sun_dot, 0, 1) ** 150 * 0.5
        col = col + np.array([1.0, 0.55, 0.2]) * glow[..., None]
        col = np.where((sun_dot > 0.9988)[..., None], np.array([1.0, 0.97, 0.85]), col)
        ci = cloud_layer(clouds, x, y, z, 0.1)
        cover = np.clip((ci - 0.5) * 3.0, 0, 1) * np.clip(y * 5, 0, 1)
        lit = (towards[..., 0] * 0.8 + 0.2) * np.clip(1 - t * 2.5, 0.1, 1)
        cloud_col = np.array([0.16, 0.12, 0.18]) + np.array([0.85, 0.40, 0.18]) * lit[..., None]
        col = col * (1 - cover[..., None] * 0.8) + cloud_col * (cover[..., None] * 0.8)
        h_hills = ridge(az, hills, 0.03, 0.025)
        h_trees = h_hills + np.abs(ridge(az, trees, 0.0, 0.02))
        col = np.where((elev < h_trees)[..., None], np.array([0.10, 0.09, 0.10]) + 0.12 * horizon * towards, col)
        col = np.where((elev < h_hills)[..., None], np.array([0.07, 0.07, 0.08]), col)
        col = np.where((elev < 0)[..., None], below, col)
        save(rgb(col), os.path.join(folder, face + ".png"))


def make_night_sky(out, n=512):
    """Cinderpass: a black-blue night with stars and a pale moon in the north-east, jagged peaks all around
    and the red glow of lava behind the ridges, strongest in the south-west beyond the pass."""
    rng = np.random.default_rng(7323)
    smoke = periodic_noise(rng, 256, 5, 5, 0.6)
    peaks = ridge_waves(rng, 2, 40)
    near = ridge_waves(rng, 3, 50)
    zenith = np.array([0.02, 0.025, 0.06])
    horizon = np.array([0.10, 0.06, 0.10])
    fire = np.array([0.75, 0.18, 0.05])
    fire_az = math.atan2(-MOON[2], -MOON[0])
    folder = os.path.join(out, "skybox", "cinderpass_sky")
    for face in ("posx", "negx", "posy", "negy", "posz", "negz"):
        d = face_directions(face, n)
        x, y, z = d[..., 0], d[..., 1], d[..., 2]
        elev = np.arcsin(np.clip(y, -1, 1))
        az = np.arctan2(z, x)
        t = np.clip(elev / (math.pi / 2), 0, 1) ** 0.5
        col = horizon * (1 - t[..., None]) + zenith * t[..., None]
        towards_fire = (0.5 + 0.5 * np.cos(az - fire_az)) ** 1.5
        glow = np.exp(-np.maximum(elev, 0) / 0.12) * (0.35 + 0.65 * towards_fire)
        col = col + fire * glow[..., None]
        # stars: a hash of the direction, thinned out near the horizon glow
        cell = np.floor((d + 1) * 700).astype(np.int64)
        h = (cell[..., 0] * 73856093 ^ cell[..., 1] * 19349663 ^ cell[..., 2] * 83492791) % 100003
        star = (h < 60) & (elev > 0.12)
        bright = 0.35 + (h % 7) / 10.0
        col = np.where(star[..., None], col + np.array([0.75, 0.8, 1.0]) * bright[..., None], col)
        moon_dot = np.clip(d @ MOON, -1, 1)
        halo = np.clip(moon_dot, 0, 1) ** 60 * 0.25 + np.clip(moon_dot, 0, 1) ** 600 * 0.5
        col = col + np.array([0.55, 0.65, 0.9]) * halo[..., None]
        col = np.where((moon_dot > 0.99955)[..., None], np.array([0.86, 0.9, 1.0]), col)
        si = cloud_layer(smoke, x, y, z, 0.12)
        cover = np.clip((si - 0.55) * 2.5, 0, 1) * np.clip(y * 4, 0, 1)
        smoke_col = np.array([0.06, 0.04, 0.05]) + fire * 0.4 * np.exp(-np.maximum(elev, 0) / 0.3)[..., None]
        col = col * (1 - cover[..., None] * 0.7) + smoke_col * (cover[..., None] * 0.7)
        h_peaks = ridge(az, peaks, 0.11, 0.09)
        h_near = ridge(az, near, 0.05, 0.05)
        rim = np.clip(1 - (h_peaks - elev) / 0.01, 0, 1)[..., None] * (0.2 + 0.8 * towards_fire[..., None])
        col = np.where((elev < h_peaks)[..., None], np.array([0.05, 0.04, 0.05]) + fire * 0.5 * rim, col)
        col = np.where((elev < h_near)[..., None], np.array([0.03, 0.025, 0.03]), col)
        col = np.where((elev < 0)[..., None], np.array([0.04, 0.02, 0.02]), col)
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
    make_fen_ground(out)
    make_ash_ground(out)
    make_sky(out)
    make_dusk_sky(out)
    make_night_sky(out)
    make_cursors(out)


if __name__ == "__main__":
    main()
