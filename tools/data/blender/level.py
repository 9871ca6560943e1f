"""The level "Vezaz": a meadow valley ringed by cliffs, a cobbled road winding from a ruined gate in the
north-west to the Hollow Heart, the crystal the monsters attack, in the south-east.

Everything is laid out from one road curve: the terrain is flattened along it, the tower-base plots sit
beside it, and the "EnemyPath" animation moves the carrier along it at constant speed.

The road winds in three runs through a compact middle of the valley (about 12 by 11 units), so that the
whole road fits the first camera close enough to read a monster at a glance, and so that plots between
two runs see the road twice. The path's timing and the plots are balanced with hollowmere-sim (see
docs/level-design.md for the targets and the figures).
"""
import math
import os
import random

import bpy
from mathutils import Vector, noise

import hollow as H

ROAD_POINTS = [(-6.0, 5.0), (-2.0, 4.8), (2.0, 4.6), (4.2, 3.4), (3.8, 1.6), (1.0, 1.0), (-2.0, 0.8),
               (-4.2, -0.4), (-4.0, -2.4), (-1.5, -3.2), (1.5, -3.0)]
CORE = Vector((3.7, -3.9, 0))
PATH_SECONDS = 4.7      # played at 0.05 to 0.08: 59 to 94 seconds from the gate to the core
PLOT_COUNT = 18
OUTLYING_PLOTS = 3     # extra plots that see only a short piece of road: a poor choice for an arrow tower
# What the first camera frames: the middle of the road's area, seen from the south.
VIEW_CENTRE = Vector((0.3, -0.7, 0.0))
NOTICE_BOARD = CORE + Vector((1.6, 2.4, 0))
FPS = 24
BASE_TOP = 0.35         # tower-base plinths stand this high; their origin is the top face
SEED = 4242


def catmull_rom(points, per_segment=24):
    pts = [Vector((p[0], p[1], 0)) for p in points]
    pts = [pts[0] * 2 - pts[1]] + pts + [pts[-1] * 2 - pts[-2]]
    out = []
    for i in range(1, len(pts) - 2):
        p0, p1, p2, p3 = pts[i - 1], pts[i], pts[i + 1], pts[i + 2]
        for k in range(per_segment):
            t = k / per_segment
            t2, t3 = t * t, t * t * t
            out.append(0.5 * ((2 * p1) + (-p0 + p2) * t + (2 * p0 - 5 * p1 + 4 * p2 - p3) * t2
                              + (-p0 + 3 * p1 - 3 * p2 + p3) * t3))
    out.append(pts[-2])
    return out


class Road:
    def __init__(self):
        self.pts = catmull_rom(ROAD_POINTS)
        self.cum = [0.0]
        for a, b in zip(self.pts, self.pts[1:]):
            self.cum.append(self.cum[-1] + (b - a).length)
        self.length = self.cum[-1]

    def at(self, s):
        """Point and unit tangent at arc length s."""
        s = max(0.0, min(self.length, s))
        for i in range(len(self.cum) - 1):
            if self.cum[i + 1] >= s:
                seg = self.cum[i + 1] - self.cum[i]
                t = 0 if seg == 0 else (s - self.cum[i]) / seg
                a, b = self.pts[i], self.pts[i + 1]
                return a.lerp(b, t), (b - a).normalized()
        return self.pts[-1], (self.pts[-1] - self.pts[-2]).normalized()

    def distance(self, x, y):
        p = Vector((x, y, 0))
        best = 1e9
        for a, b in zip(self.pts, self.pts[1:]):
            ab = b - a
            t = max(0.0, min(1.0, (p - a).dot(ab) / max(ab.length_squared, 1e-9)))
            best = min(best, (a + ab * t - p).length)
        return best


def smoothstep(a, b, x):
    t = max(0.0, min(1.0, (x - a) / (b - a)))
    return t * t * (3 - 2 * t)


def base_spots(road, count=PLOT_COUNT, reach=2.0):
    """Tower plots where an arrow tower (range 2) sees the most road: at bends and between two
    stretches of the road, greedily, each plot clear of the road, of the core and of the others.
    The last plot covers the end of the road, where the monsters attack the core."""
    samples = [road.at(road.length * i / 400.0)[0] for i in range(401)]

    def coverage(q, taken):
        return sum(1 for i, r in enumerate(samples) if (r - q).length <= reach and i not in taken)

    xs = [p.x for p in samples]
    ys = [p.y for p in samples]
    candidates = []
    for gx in range(-60, 61):
        for gy in range(-60, 61):
            q = Vector((gx * 0.25, gy * 0.25, 0))
            if not (min(xs) - 1.2 <= q.x <= max(xs) + 1.2 and min(ys) - 1.2 <= q.y <= max(ys) + 1.2):
                continue
            if road.distance(q.x, q.y) < 1.0 or (q - CORE).length < 2.3 or (q - NOTICE_BOARD).length < 1.4:
                continue
            candidates.append(q)

    def in_first_view(q):
        # The first camera looks north over the valley: its frame is narrow at the near (southern) side.
        return q.y >= 1.0 or abs(q.x - VIEW_CENTRE.x) <= 5.0

    end = samples[-1]
    spots = [min(candidates, key=lambda q: abs((q - end).length - 1.5) + (0 if (q - CORE).length > 2.5 else 5))]
    seen = {i for i, r in enumerate(samples) if (r - spots[0]).length <= reach}
    while len(spots) < count:
        best = max((q for q in candidates if all((q - s).length >= 1.8 for s in spots)),
                   key=lambda q: coverage(q, seen) + 0.25 * coverage(q, set()))
        spots.append(best)
        seen |= {i for i, r in enumerate(samples) if (r - best).length <= reach}
    # A few outlying plots see only a short piece of road within arrow range (a little more within cannon
    # range). A player who reads the road passes them by; one who builds anywhere wastes coins there.
    for _ in range(OUTLYING_PLOTS):
        best = min((q for q in candidates if all((q - s).length >= 1.8 for s in spots) and coverage(q, set()) >= 8
                    and in_first_view(q)),
                   key=lambda q: (coverage(q, set()), q.x, q.y))
        spots.append(best)
    # Numbered from the gate towards the core, as a player reads the road.
    def progress(q):
        return min(range(len(samples)), key=lambda i: (samples[i] - q).length)
    return sorted(spots, key=progress)


def height(road, spots, x, y):
    r = math.sqrt((x / 17.5) ** 2 + (y / 15.5) ** 2)
    d = road.distance(x, y)
    n = noise.noise(Vector((x * 0.18, y * 0.18, 0.5)))
    hills = (0.55 + 0.45 * n) * 0.9 * smoothstep(1.8, 4.5, d)
    cliff = smoothstep(0.82, 1.02, r) * (5.0 + 1.5 * noise.noise(Vector((x * 0.3, y * 0.3, 2.0))))
    h = hills + cliff
    # the road cuts a level track, also through the cliff at the gate
    h *= smoothstep(0.75, 1.9, d)
    for s in spots:
        h *= smoothstep(0.7, 1.5, (Vector((x, y, 0)) - s).length)
    h *= smoothstep(2.6, 4.5, (Vector((x, y, 0)) - CORE).length)
    return h - 0.04


def terrain(road, spots):
    nx, ny = 72, 64
    x0, x1, y0, y1 = -21.0, 21.0, -19.0, 19.0
    verts, faces = [], []
    for j in range(ny + 1):
        for i in range(nx + 1):
            x = x0 + (x1 - x0) * i / nx
            y = y0 + (y1 - y0) * j / ny
            verts.append((x, y, height(road, spots, x, y)))
    for j in range(ny):
        for i in range(nx):
            a = j * (nx + 1) + i
            faces.append((a, a + 1, a + nx + 2, a + nx + 1))
    m = H.Mesh()
    m.faces_from("@box", verts, faces)
    ob = m.object("Terrain", H.valley_ground(), tile=4.0)
    for f in ob.data.polygons:
        f.use_smooth = True
    # top-down projection everywhere, so the meadow does not stretch on slopes
    uv = ob.data.uv_layers[0].data
    for loop in ob.data.loops:
        co = ob.data.vertices[loop.vertex_index].co
        uv[loop.index].uv = (co.x / 4.0, co.y / 4.0)
    H.props(ob, Body="Mesh", ActorType=0, BodyBufferFile="vezaz_terrain")
    return ob


def road_mesh(road):
    rng = random.Random(SEED + 1)
    m = H.Mesh(seed=SEED + 1)
    step = 0.45
    n = int(road.length / step)
    prev = None
    for k in range(n + 1):
        p, t = road.at(road.length * k / n)
        side = Vector((-t.y, t.x, 0)) * 0.6
        cur = (p - side + Vector((0, 0, 0.03)), p + side + Vector((0, 0, 0.03)))
        if prev is not None:
            colour = rng.choice(["cobble", "cobble_light", "cobble_dark", "cobble", "dirt_light"])
            # Counter-clockwise seen from above, so the road faces the sky.
            m.faces_from(colour, [prev[0], cur[0], cur[1], prev[1]], [(0, 1, 2, 3)])
        prev = cur
        if k % 3 == 0:
            for sgn in (-1, 1):
                q = p + side * sgn * 1.12 + Vector((0, 0, 0.02))
                m.box(rng.choice(["stone", "stone_light", "stone_dark"]), (0.16, 0.12, 0.1), location=q,
                      rotation=(0, 0, rng.uniform(0, 3)))
    return m.object("Road", H.color_picker())


def pine(m, rng, p, s):
    m.cylinder("bark", 0.08 * s, 0.5 * s, location=p + Vector((0, 0, 0.25 * s)), segments=5)
    col = rng.choice(["pine", "pine_dark", "leaf_dark"])
    for k, (r, z) in enumerate([(0.55, 0.75), (0.42, 1.15), (0.28, 1.5)]):
        m.cone(col, r * s, 0.7 * s, location=p + Vector((0, 0, z * s)), rotation=(0, 0, rng.uniform(0, 1)),
               segments=7)


def leafy(m, rng, p, s):
    m.cylinder("bark", 0.09 * s, 0.7 * s, location=p + Vector((0, 0, 0.35 * s)), segments=5, radius_top=0.06 * s)
    col = rng.choice(["leaf", "leaf_light", "leaf", "autumn"])
    m.ball(col, 0.55 * s, location=p + Vector((0, 0, 1.05 * s)), scale=(1, 1, 0.85), jitter=0.15)
    m.ball(col, 0.38 * s, location=p + Vector((0.25 * s, 0.1 * s, 1.35 * s)), jitter=0.15)


def forest(road, spots):
    rng = random.Random(SEED + 2)
    m = H.Mesh(seed=SEED + 2)
    placed = []
    tries = 0
    while len(placed) < 95 and tries < 4000:
        tries += 1
        x, y = rng.uniform(-19, 19), rng.uniform(-17, 17)
        r = math.sqrt((x / 17.5) ** 2 + (y / 15.5) ** 2)
        # Trees keep a wide berth of the road: seen from the first camera they would hide it.
        if r > 1.18 or road.distance(x, y) < 2.8 or (Vector((x, y, 0)) - CORE).length < 4.0:
            continue
        if any((Vector((x, y, 0)) - s).length < 1.6 for s in spots):
            continue
        if any((Vector((x, y, 0)) - q).length < 1.1 for q in placed):
            continue
        if r < 0.75 and rng.random() < 0.55:
            continue   # keep the valley floor open, the slopes wooded
        p = Vector((x, y, height(road, spots, x, y) - 0.05))
        s = rng.uniform(0.9, 1.6)
        (pine if rng.random() < 0.6 else leafy)(m, rng, p, s)
        placed.append(p)
    return m.object("Forest", H.color_picker())


def cliffs(road):
    rng = random.Random(SEED + 3)
    m = H.Mesh(seed=SEED + 3)
    for k in range(46):
        a = 2 * math.pi * k / 46 + rng.uniform(-0.04, 0.04)
        rr = rng.uniform(1.0, 1.12)
        x, y = 17.5 * rr * math.cos(a), 15.5 * rr * math.sin(a)
        if road.distance(x, y) < 2.6:
            continue
        if -2.1 < a - 2 * math.pi < -1.0 or -2.1 < a < -1.0:
            continue   # keep the main camera's view over the southern rim open
        s = rng.uniform(1.4, 2.6)
        m.ball(rng.choice(["cliff", "cliff_dark", "rock", "stone_warm"]), s, location=(x, y, 4.2 + rng.uniform(-1, 1)),
               scale=(1.0, rng.uniform(0.7, 1.2), rng.uniform(0.8, 1.5)), rotation=(0, 0, a), jitter=0.25)
    # small rocks scattered on the meadow
    for k in range(40):
        x, y = rng.uniform(-15, 15), rng.uniform(-13, 13)
        if road.distance(x, y) < 1.6:
            continue
        m.ball(rng.choice(["rock", "stone", "rock_dark"]), rng.uniform(0.1, 0.3), location=(x, y, 0.0),
               scale=(1, 1, 0.6), jitter=0.3)
    return m.object("Cliffs", H.color_picker())


def boulders(road, spots):
    out = []
    rng = random.Random(SEED + 4)
    # Boulders have collision bodies: they keep clear of the road and of the plots, so that no click
    # meant for a plot lands on a boulder.
    clear = [(x, y) for x, y in [(-8.0, 1.5), (7.0, 0.5), (-7.5, -4.5), (6.5, 6.0), (-3.0, 8.0), (-9.5, 6.5)]
             if road.distance(x, y) > 2.4 and all((Vector((x, y, 0)) - s).length > 2.4 for s in spots)
             and (Vector((x, y, 0)) - CORE).length > 3.0]
    for i, (x, y) in enumerate(clear[:3]):
        m = H.Mesh(seed=SEED + 10 + i)
        s = rng.uniform(0.6, 0.9)
        m.ball("rock", s, location=(0, 0, s * 0.45), scale=(1.2, 1.0, 0.8), jitter=0.2)
        ob = m.object("Boulder%d" % (i + 1), H.color_picker())
        ob.location = (x, y, height(road, spots, x, y))
        H.props(ob, Body="ConvexHull", ActorType=0, BodyBufferFile="vezaz_boulder%d" % (i + 1), BodyMaxVerts=16)
        out.append(ob)
    return out


def spawn_gate(road):
    p, t = road.at(0.0)
    rng = random.Random(SEED + 5)
    m = H.Mesh(seed=SEED + 5)
    side = Vector((-t.y, t.x, 0))
    for sgn in (-1, 1):
        base = p + side * sgn * 1.3 + t * 0.6
        m.box("basalt", (0.6, 0.6, 2.6), location=base + Vector((0, 0, 1.3)), rotation=(0, 0, math.atan2(t.y, t.x)),
              taper=0.85)
        m.ball("basalt_light", 0.45, location=base + Vector((0, 0, 2.7)), jitter=0.2)
    m.box("basalt", (0.7, 3.4, 0.5), location=p + t * 0.6 + Vector((0, 0, 2.85)),
          rotation=(0, 0, math.atan2(t.y, t.x)))
    for k in range(6):
        m.ball(rng.choice(["purple", "basalt_light"]), rng.uniform(0.1, 0.2),
               location=p + side * rng.uniform(-1.0, 1.0) + Vector((0, 0, rng.uniform(0.1, 0.4))), jitter=0.3)
    return m.object("SpawnGate", H.color_picker())


def the_core():
    root = H.empty("PlayerCore", CORE)
    m = H.Mesh(seed=SEED + 6)
    pts = [(1.9 * math.cos(a), 1.9 * math.sin(a)) for a in [math.radians(22.5 + 45 * i) for i in range(8)]]
    m.polygon_prism("@box", pts, -0.3, 0.18)
    pts2 = [(1.2 * math.cos(a), 1.2 * math.sin(a)) for a in [math.radians(22.5 + 45 * i) for i in range(8)]]
    m.polygon_prism("@box", pts2, 0.18, 0.42)
    m.object("CoreDais", H.dressed_stone(), parent=root, tile=0.6)
    s = H.Mesh(seed=SEED + 7)
    for i in range(6):
        a = math.radians(60 * i + 30)
        s.box("stone_light", (0.35, 0.3, 1.8), location=(1.55 * math.cos(a), 1.55 * math.sin(a), 1.05),
              rotation=(0, 0, a), taper=0.8)
        s.box("gold", (0.2, 0.32, 0.1), location=(1.55 * math.cos(a), 1.55 * math.sin(a), 1.6), rotation=(0, 0, a))
    s.object("CoreStones", H.color_picker(), parent=root)
    c = H.Mesh(seed=SEED + 8)
    c.cylinder("crystal", 0.42, 1.3, location=(0, 0, 1.5), segments=6, radius_top=0.3)
    c.cone("crystal", 0.3, 0.6, location=(0, 0, 2.45), segments=6)
    c.cone("crystal", 0.42, 0.5, location=(0, 0, 0.6), rotation=(math.pi, 0, 0), segments=6)
    for i in range(5):
        a = math.radians(72 * i)
        c.cone("crystal", 0.14, 0.7, location=(0.45 * math.cos(a), 0.45 * math.sin(a), 0.7),
               rotation=(0.5 * math.sin(a), -0.5 * math.cos(a), 0), segments=5)
    c.object("HollowHeart", H.emissive("HollowHeart", (0.45, 0.85, 1.0), 1.5), parent=root)
    # four torches with their lights
    t = H.Mesh(seed=SEED + 9)
    f = H.Mesh(seed=SEED + 10)
    for i in range(4):
        a = math.radians(90 * i + 45)
        p = Vector((2.4 * math.cos(a), 2.4 * math.sin(a), 0))
        t.cylinder("wood_dark", 0.06, 1.4, location=p + Vector((0, 0, 0.7)), segments=5)
        t.cylinder("iron_dark", 0.14, 0.14, location=p + Vector((0, 0, 1.45)), segments=6, radius_top=0.18)
        f.cone("lamp", 0.13, 0.38, location=p + Vector((0, 0, 1.68)), segments=5)
        light = bpy.data.lights.new("TorchLight%d" % (i + 1), 'POINT')
        light.color = (1.0, 0.62, 0.28)
        light.energy = 1.4
        ob = H.link(bpy.data.objects.new("TorchLight%d" % (i + 1), light), root)
        ob.location = p + Vector((0, 0, 1.75))
        H.props(ob, Attenuation=7.0)
    t.object("Torches", H.color_picker(), parent=root)
    f.object("TorchFlames", H.emissive("TorchFlame", (1.0, 0.55, 0.15), 1.0), parent=root)
    # notice board whose cloth shows the "tv" frames
    b = H.Mesh(seed=SEED + 11)
    bp = NOTICE_BOARD - CORE
    for sx in (-1, 1):
        b.box("wood_dark", (0.12, 0.12, 2.1), location=bp + Vector((sx * 0.95, 0, 1.05)))
    b.box("wood", (2.1, 0.12, 0.14), location=bp + Vector((0, 0, 2.05)))
    b.box("wood", (2.1, 0.12, 0.1), location=bp + Vector((0, 0, 0.72)))
    b.cone("roof_red", 1.35, 0.35, location=bp + Vector((0, 0, 2.3)), rotation=(0, 0, math.radians(45)),
           segments=4)
    b.object("NoticeBoard", H.color_picker(), parent=root)
    me = bpy.data.meshes.new("TVScreen")
    w = 0.6   # square like the frames
    me.from_pydata([(bp.x - w, bp.y - 0.07, 0.8), (bp.x + w, bp.y - 0.07, 0.8), (bp.x + w, bp.y - 0.07, 1.98),
                    (bp.x - w, bp.y - 0.07, 1.98)], [], [(0, 1, 2, 3)])
    uv = me.uv_layers.new(name="UVMap")
    for i, loop_uv in enumerate([(0, 0), (1, 0), (1, 1), (0, 1)]):
        uv.data[i].uv = loop_uv
    me.materials.append(H.tv_screen())
    H.link(bpy.data.objects.new("TVScreen", me), root)
    return root


def path_animation(road):
    parent = H.empty("EnemyPaths")
    start, t0 = road.at(0)
    carrier = H.empty("EnemyPathNode", start, parent, size=0.3)
    frames = int(PATH_SECONDS * FPS)
    keys = []
    for f in range(frames + 1):
        p, t = road.at(road.length * f / frames)
        q = t.to_track_quat('-Y', 'Z')
        keys.append((f, p, q, None))
    carrier.rotation_mode = 'QUATERNION'
    carrier.rotation_quaternion = keys[0][2]
    H.object_action(carrier, "EnemyPath", keys, interpolation='LINEAR')
    H.empty("EnemySpawnPoint", start, size=0.5)
    return carrier


def flight(cam, name, points, frames):
    """points: (frame, eye, target); rotations aim the camera at the target."""
    keys = [(f, Vector(e), H.look_rotation(e, t), None) for f, e, t in points]
    # keep quaternions on one hemisphere so the interpolation takes the short way
    for i in range(1, len(keys)):
        if keys[i][2].dot(keys[i - 1][2]) < 0:
            keys[i] = (keys[i][0], keys[i][1], -keys[i][2], None)
    return H.object_action(cam, name, keys)


def cameras(road):
    H.empty("OrbitCenter", VIEW_CENTRE)
    cam = H.link(bpy.data.objects.new("camera_main", bpy.data.cameras.new("camera_main")))
    # A narrow lens close by: the road's area just fills the picture, and a monster at the far end
    # of the road still stands a few dozen pixels tall.
    cam.data.lens = 35
    cam.data.clip_start = 0.1
    cam.data.clip_end = 200
    play_at = VIEW_CENTRE
    play_eye = play_at + 13.3 * Vector((0.0, -math.cos(math.radians(47)), math.sin(math.radians(47))))
    cam.location = play_eye
    cam.rotation_mode = 'QUATERNION'
    cam.rotation_quaternion = H.look_rotation(play_eye, play_at)
    H.props(cam, CameraType="Orbital", OrbitCenter="OrbitCenter")
    gate, _ = road.at(0)
    flight(cam, "Intro", [(0, (-26, 24, 22), (-8, 4, 0)), (36, (-24, -6, 18), (-2, 0, 0)),
                          (72, (-10, -20, 17), (0, -1, 0)), (100, play_eye, play_at)], 100)

    track = H.link(bpy.data.objects.new("camera_trackshot", bpy.data.cameras.new("camera_trackshot")))
    track.data.lens = 22
    track.data.clip_start = 0.05
    track.data.clip_end = 200
    track.location = (0, -12, 6)
    track.rotation_mode = 'QUATERNION'
    track.rotation_quaternion = H.look_rotation((0, -12, 6), (0, 0, 0))
    # 1: low along the road from the gate
    pts = []
    for k in range(9):
        s = road.length * k / 8 * 0.95
        p, t = road.at(s)
        ahead, _ = road.at(s + 3.0)
        pts.append((k * 15, p - t * 2.0 + Vector((0, 0, 1.6)), ahead + Vector((0, 0, 0.4))))
    flight(track, "trackshot1", pts, 120)
    # 2: circling the Hollow Heart
    pts = []
    for k in range(9):
        a = math.radians(250 - 22 * k)
        pts.append((k * 15, CORE + Vector((4.6 * math.cos(a), 4.6 * math.sin(a), 2.4 + 0.3 * math.sin(k))),
                    CORE + Vector((0, 0, 1.4))))
    flight(track, "trackshot2", pts, 120)
    # 3: a high sweep across the valley from east to west
    flight(track, "trackshot3", [(0, (22, -12, 12), (6, -3, 0)), (40, (10, 8, 14), (0, 0, 0)),
                                 (80, (-8, 14, 13), (-4, 2, 0)), (120, (-22, 4, 10), (-6, 0, 0))], 120)
    # 4: past the tower plots in the middle of the valley, rising at the end
    flight(track, "trackshot4", [(0, (-9, -6, 1.5), (-4, -1, 0.5)), (40, (-3, -5, 1.8), (2, 0, 0.5)),
                                 (80, (4, -2, 2.2), (8, -4, 0.5)), (120, (4, -16, 9), (8, -6, 0))], 120)
    return cam, track


def explosion():
    node = H.empty("ExplosionNode", (0, 0, -5), size=0.3)
    node.rotation_mode = 'QUATERNION'
    keys = [(0, node.location, None, (0.1, 0.1, 0.1)), (4, node.location, None, (0.7, 0.7, 0.7)),
            (8, node.location, None, (0.92, 0.92, 0.92)), (12, node.location, None, (1.0, 1.0, 1.0))]
    H.object_action(node, "ExplosionAnimation", keys)
    return node


def lights_and_sky():
    sun = H.link(bpy.data.objects.new("Sun", bpy.data.lights.new("Sun", 'SUN')))
    sun.data.color = (1.0, 0.95, 0.86)
    sun.data.energy = 1.2
    sun.location = H.SUN_DIRECTION * 30
    sun.rotation_mode = 'QUATERNION'
    sun.rotation_quaternion = (-H.SUN_DIRECTION).to_track_quat('-Z', 'Y')
    H.props(sun, AmbientLight=0.35)
    H.props(H.empty("_sceneProperties"), Ambient="skybox/hollowmere_sky")


def guides(road):
    """Designer helpers that the game never loads."""
    g = H.empty("LayoutGuides")
    H.props(g, Ignore=1)
    m = H.Mesh()
    for a, b in zip(road.pts[::6], road.pts[6::6]):
        m.box("red", ((b - a).length, 0.05, 0.05), location=(a + b) / 2 + Vector((0, 0, 0.3)),
              rotation=(0, 0, math.atan2((b - a).y, (b - a).x)))
    m.object("RoadCentreLine", H.color_picker(), parent=g)
    return g


def build():
    H.reset(FPS)
    road = Road()
    spots = base_spots(road)
    terrain(road, spots)
    road_mesh(road)
    forest(road, spots)
    cliffs(road)
    boulders(road, spots)
    spawn_gate(road)
    the_core()
    path_animation(road)
    for i, s in enumerate(spots):
        H.empty("TowerBase[%d]" % (i + 1), (s.x, s.y, BASE_TOP), size=0.4)
    cameras(road)
    explosion()
    lights_and_sky()
    guides(road)
    print("road length %.1f units, %d tower bases" % (road.length, len(spots)))
    return {"road": road, "spots": spots}


def previews(built, folder):
    """Dress the plots with the exported prototypes and render a few views."""
    models = os.environ.get("HOLLOW_MODELS", "GAME_DATA/models")
    road, spots = built["road"], built["spots"]

    def place(file, location, yaw=0.0, scale=1.0):
        before = set(bpy.data.objects)
        bpy.ops.import_scene.fbx(filepath=os.path.join(models, file))
        for ob in set(bpy.data.objects) - before:
            if ob.animation_data is not None:
                ob.animation_data.action = None   # the importer starts the first take (towers underground)
            if ob.type == 'ARMATURE':
                for pb in ob.pose.bones:
                    pb.matrix_basis.identity()
            if ob.parent is None:
                ob.location = location
                ob.rotation_euler.z += yaw
                ob.scale = ob.scale * scale
    for i, s in enumerate(spots):
        place("tower_base.fbx", (s.x, s.y, BASE_TOP))
        if i in (1, 4, 7):
            place("tower_arrow.fbx", (s.x, s.y, BASE_TOP))
        if i in (3, 8):
            place("tower_cannon.fbx", (s.x, s.y, BASE_TOP))
    for f, file, sc in [(0.22, "enemy_floating_stone_monster.fbx", 0.6), (0.5, "enemy_walking_stone_monster.fbx", 0.2),
                        (0.58, "enemy_walking_stone_monster.fbx", 0.2), (0.8, "enemy_massive_stone_monster.fbx", 0.32)]:
        p, t = road.at(road.length * f)
        place(file, p, math.atan2(t.y, t.x) + math.pi / 2, sc)
    bpy.data.objects["RoadCentreLine"].hide_render = True
    cam = bpy.data.objects["camera_main"]
    H.preview(os.path.join(folder, "Vezaz_main.png"), cam.location, (0, -1.5, 0), lens=26, resolution=(800, 600),
              samples=20)
    H.preview(os.path.join(folder, "Vezaz_core.png"), CORE + Vector((-7.5, 2.5, 3.2)), CORE + Vector((-1.0, -1.0, 0.8)),
              lens=28, resolution=(800, 600), samples=20)
    H.preview(os.path.join(folder, "Vezaz_gate.png"), (-9, 3, 3), (-12, 9.5, 1), lens=24, resolution=(800, 600),
              samples=20)
