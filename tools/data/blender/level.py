"""The shared builders of the levels.

A level is a description (a subclass of `Level`: its roads, path times, core, plots, camera, colours,
sun, sky and scenery) fed to the builders below, which lay everything out from the road curves: the
terrain is flattened along them, the tower-base plots sit beside them, and the "EnemyPath" animations
move the carriers along them at constant speed.

Road 1 is the curve through the first list of control points. Every further road ends on one of road 1's
control points, where it joins road 1, and follows road 1 from there to the core; its carrier, animation
and spawn point are numbered ("EnemyPathNode2", "EnemyPath2", "EnemySpawnPoint2").

The levels themselves: level_vezaz.py, level_morrowfen.py, level_cinderpass.py (registered in LEVELS at
the end of this file). Their timing and plots are balanced with hollowmere-sim (see docs/level-design.md).
"""
import math
import os
import random

import bpy
from mathutils import Vector

import hollow as H

FPS = 24
BASE_TOP = 0.35         # tower-base plinths stand this high; their origin is the top face
SCREEN = 800            # the game's window, in pixels
SENSOR = 36.0           # Blender's default sensor width in millimetres (the horizontal field of view)


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
    """A road's centre line as a polyline, measured by arc length. A road that joins another ends its own
    curve on one of the other's control points and follows the other road from there."""

    def __init__(self, points, joins=None):
        self.pts = catmull_rom(points)
        self.join = None   # arc length at which this road runs into the road it joins
        if joins is not None:
            end = self.pts[-1]
            k = min(range(len(joins.pts)), key=lambda i: (joins.pts[i] - end).length)
            if (joins.pts[k] - end).length > 1e-4:
                raise ValueError("a joining road must end on a control point of road 1")
            own = len(self.pts)
            self.pts = self.pts + joins.pts[k + 1:]
        self.cum = [0.0]
        for a, b in zip(self.pts, self.pts[1:]):
            self.cum.append(self.cum[-1] + (b - a).length)
        self.length = self.cum[-1]
        if joins is not None:
            self.join = self.cum[own - 1]

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


def flight(cam, name, points, frames):
    """points: (frame, eye, target); rotations aim the camera at the target."""
    keys = [(f, Vector(e), H.look_rotation(e, t), None) for f, e, t in points]
    # keep quaternions on one hemisphere so the interpolation takes the short way
    for i in range(1, len(keys)):
        if keys[i][2].dot(keys[i - 1][2]) < 0:
            keys[i] = (keys[i][0], keys[i][1], -keys[i][2], None)
    return H.object_action(cam, name, keys)


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


def lights_and_sky(direction=None, colour=(1.0, 0.95, 0.86), energy=1.2, ambient=0.35,
                   sky="skybox/hollowmere_sky"):
    """The "Sun" (direction towards the sun, in Blender's frame) and the scene's sky folder."""
    direction = H.SUN_DIRECTION if direction is None else direction
    sun = H.link(bpy.data.objects.new("Sun", bpy.data.lights.new("Sun", 'SUN')))
    sun.data.color = colour
    sun.data.energy = energy
    sun.location = direction * 30
    sun.rotation_mode = 'QUATERNION'
    sun.rotation_quaternion = (-direction).to_track_quat('-Z', 'Y')
    H.props(sun, AmbientLight=ambient)
    H.props(H.empty("_sceneProperties"), Ambient=sky)


class View:
    """The first camera's play view and its projection into the game's square window."""

    def __init__(self, centre, distance, elevation, azimuth, lens):
        self.at = centre
        e, a = math.radians(elevation), math.radians(azimuth)
        # azimuth 0 looks north from the south; positive turns the camera's seat towards the east
        self.eye = centre + distance * Vector((math.sin(a) * math.cos(e), -math.cos(a) * math.cos(e), math.sin(e)))
        self.lens = lens
        self.forward = (self.at - self.eye).normalized()
        self.right = self.forward.cross(Vector((0, 0, 1))).normalized()
        self.up = self.right.cross(self.forward)

    def pixel(self, p):
        """Window pixel (origin top left) of a Blender point."""
        d = Vector(p) - self.eye
        z = d.dot(self.forward)
        f = SCREEN * self.lens / SENSOR
        return Vector((SCREEN / 2 + f * d.dot(self.right) / z, SCREEN / 2 - f * d.dot(self.up) / z))

    def inside(self, p, margin=0.0):
        px = self.pixel(p)
        return margin <= px.x <= SCREEN - margin and margin <= px.y <= SCREEN - margin


class Level:
    """A level's description. Subclasses set the fields and write `height` and `scenery`; `build` lays
    the level out with the shared builders."""

    name = ""
    prefix = ""                 # stem of the physics cache names (BodyBufferFile)
    seed = 1
    roads = []                  # control points (x, y) per road; road N >= 2 ends on a control point of road 1
    path_seconds = []           # per road: the carrier's walk along the road, in animation seconds
    core = Vector((0, 0, 0))
    notice_offset = Vector((1.6, 2.4, 0))   # the notice board, from the core
    plot_count = 18
    outlying_plots = 3
    plot_spacing = 1.8
    plot_grid = 60              # candidate plots on a 0.25 grid from -15 to 15 units
    view_centre = Vector((0, 0, 0))
    view_distance = 13.3
    view_elevation = 47.0
    view_azimuth = 0.0
    lens = 35
    intro = []                  # (frame, eye, target) of the intro flight before the play view
    intro_frames = 100
    core_orbit_start = 250      # degrees: where the flight around the core ("trackshot2") begins
    sweep = []                  # "trackshot3": a high flight across the level
    plot_flight = []            # "trackshot4": a low flight past the plots
    terrain_extent = (-21.0, 21.0, -19.0, 19.0)
    terrain_cells = (72, 64)
    ground_tile = 4.0
    road_colours = ["cobble", "cobble_light", "cobble_dark", "cobble", "dirt_light"]
    curb_colours = ["stone", "stone_light", "stone_dark"]
    road_half_width = 0.6
    gate_colours = ("basalt", "basalt_light", "purple")
    gate_height = 2.6
    sun_direction = H.SUN_DIRECTION
    sun_colour = (1.0, 0.95, 0.86)
    sun_energy = 1.2
    ambient = 0.35
    sky = "skybox/hollowmere_sky"
    preview_sky = (0.45, 0.6, 0.85)

    def __init__(self):
        self.road_list = []
        self.spots = []
        self.view = View(self.view_centre, self.view_distance, self.view_elevation, self.view_azimuth, self.lens)

    # ------------------------------------------------------------------ what a description writes

    def ground(self):
        """The terrain's material."""
        return H.valley_ground()

    def height(self, x, y):
        raise NotImplementedError

    def scenery(self):
        """Everything between the road and the core: trees, rocks, water, ..."""

    def plot_clear(self, q):
        """False where a plot may not stand: outside the first camera's picture, by a gate's pillars, or
        where the description plans scenery."""
        for road in self.road_list:
            p, t = road.at(0.0)
            side = Vector((-t.y, t.x, 0))
            if any((q - (p + side * sgn * 1.3 + t * 0.6)).length < 1.3 for sgn in (-1, 1)):
                return False
        for i in range(4):
            a = math.radians(90 * i + 45)
            if (q - self.core - Vector((2.4 * math.cos(a), 2.4 * math.sin(a), 0))).length < 1.2:
                return False   # a torch of the core
        if any(self.hides(box, q) for box in self.tall_boxes()):
            return False
        return self.view.inside(q + Vector((0, 0, BASE_TOP)), 40)

    def tall_boxes(self):
        """The tall parts of the core (standing stones, torches, the notice board) and the gates' pillars as
        (low, high) corners."""
        boxes = []
        for road in self.road_list:
            p, t = road.at(0.0)
            side = Vector((-t.y, t.x, 0))
            for sgn in (-1, 1):
                c = p + side * sgn * 1.3 + t * 0.6
                boxes.append((c - Vector((0.45, 0.45, 0)), c + Vector((0.45, 0.45, self.gate_height + 0.5))))
        for i in range(6):
            a = math.radians(60 * i + 30)
            c = self.core + Vector((1.55 * math.cos(a), 1.55 * math.sin(a), 0))
            boxes.append((c - Vector((0.2, 0.2, 0)), c + Vector((0.2, 0.2, 1.95))))
        for i in range(4):
            a = math.radians(90 * i + 45)
            c = self.core + Vector((2.4 * math.cos(a), 2.4 * math.sin(a), 0))
            boxes.append((c - Vector((0.18, 0.18, 0)), c + Vector((0.18, 0.18, 1.9))))
        b = self.notice_board
        boxes.append((b - Vector((1.35, 0.3, 0)), b + Vector((1.35, 0.3, 2.6))))
        return boxes

    def hides(self, box, q):
        """Whether a box nearer to the first camera than the plot at q covers part of the plot on screen."""
        v = self.view
        low, high = box
        centre = (low + high) / 2
        plot = q + Vector((0, 0, BASE_TOP))
        if (centre - v.eye).length >= (plot - v.eye).length:
            return False

        def extent(points):
            px = [v.pixel(p) for p in points]
            return min(p.x for p in px), max(p.x for p in px), min(p.y for p in px), max(p.y for p in px)
        corners = [Vector((x, y, z)) for x in (low.x, high.x) for y in (low.y, high.y) for z in (low.z, high.z)]
        top = [plot + Vector((dx, dy, 0)) for dx in (-0.45, 0.45) for dy in (-0.45, 0.45)]
        a, b = extent(corners), extent(top)
        return a[0] < b[1] and b[0] < a[1] and a[2] < b[3] and b[2] < a[3]

    def blocks_view(self, centre, radius, height):
        """Whether scenery standing at centre (a column of that radius and height) would hide a plot or a
        monster on the road from the first camera."""
        box = (centre - Vector((radius, radius, 0)), centre + Vector((radius, radius, height)))
        if any(self.hides(box, s) for s in self.spots):
            return True
        v = self.view
        low, high = box
        near = ((low + high) / 2 - v.eye).length
        corners = [v.pixel(Vector((x, y, z))) for x in (low.x, high.x) for y in (low.y, high.y)
                   for z in (low.z, high.z)]
        x0, x1 = min(c.x for c in corners), max(c.x for c in corners)
        y0, y1 = min(c.y for c in corners), max(c.y for c in corners)
        for road in self.road_list:
            for i in range(81):
                p, _ = road.at(road.length * i / 80)
                head = v.pixel(p + Vector((0, 0, 0.72)))
                foot = v.pixel(p)
                if (p - v.eye).length > near and x0 < foot.x < x1 and y0 < max(foot.y, head.y) and min(foot.y, head.y) < y1:
                    return True
        return False

    def in_first_view(self, q):
        return self.view.inside(q + Vector((0, 0, BASE_TOP)), 60)

    # ------------------------------------------------------------------ helpers for descriptions

    def distance(self, x, y):
        """Distance to the nearest road's centre line."""
        return min(road.distance(x, y) for road in self.road_list)

    @property
    def notice_board(self):
        return self.core + self.notice_offset

    def rng(self, offset):
        return random.Random(self.seed + offset)

    # ------------------------------------------------------------------ builders

    def base_spots(self, reach=2.0):
        """Tower plots where an arrow tower (range 2) sees the most road: at bends, between two stretches
        of road and near a junction, greedily, each plot clear of the roads, of the core and of the others.
        The first plot covers the end of the road, where the monsters attack the core. A road's stretch
        shared with another counts once per road, as both roads' monsters walk it."""
        samples = []
        for road in self.road_list:
            samples += [road.at(road.length * i / 400.0)[0] for i in range(401)]
        left = []   # distance along its road to the core, per sample
        for road in self.road_list:
            left += [road.length - road.length * i / 400.0 for i in range(401)]

        def coverage(q, taken):
            return sum(1 for i, r in enumerate(samples) if (r - q).length <= reach and i not in taken)

        xs = [p.x for p in samples]
        ys = [p.y for p in samples]
        core, board = self.core, self.notice_board
        candidates = []
        g = self.plot_grid
        for gx in range(-g, g + 1):
            for gy in range(-g, g + 1):
                q = Vector((gx * 0.25, gy * 0.25, 0))
                if not (min(xs) - 1.2 <= q.x <= max(xs) + 1.2 and min(ys) - 1.2 <= q.y <= max(ys) + 1.2):
                    continue
                if self.distance(q.x, q.y) < 1.0 or (q - core).length < 2.3 or (q - board).length < 1.4:
                    continue
                if not self.plot_clear(q):
                    continue
                candidates.append(q)

        end = samples[400]
        spots = [min(candidates, key=lambda q: abs((q - end).length - 1.5) + (0 if (q - core).length > 2.5 else 5))]
        seen = {i for i, r in enumerate(samples) if (r - spots[0]).length <= reach}
        spacing = self.plot_spacing
        while len(spots) < self.plot_count:
            best = max((q for q in candidates if all((q - s).length >= spacing for s in spots)),
                       key=lambda q: coverage(q, seen) + 0.25 * coverage(q, set()))
            spots.append(best)
            seen |= {i for i, r in enumerate(samples) if (r - best).length <= reach}
        # A few outlying plots see only a short piece of road within arrow range (a little more within
        # cannon range). A player who reads the road passes them by; one who builds anywhere wastes coins.
        for _ in range(self.outlying_plots):
            free = [q for q in candidates if all((q - s).length >= spacing for s in spots)
                    and coverage(q, set()) >= 8 and self.in_first_view(q)]
            if not free:
                print("warning: %s: no room for another outlying plot" % self.name)
                break
            spots.append(min(free, key=lambda q: (coverage(q, set()), q.x, q.y)))

        # Numbered from the gates towards the core, as a player reads the road: by the distance left to
        # walk from the nearest point of road.
        def progress(q):
            return -left[min(range(len(samples)), key=lambda i: (samples[i] - q).length)]
        return sorted(spots, key=progress)

    def terrain(self):
        nx, ny = self.terrain_cells
        x0, x1, y0, y1 = self.terrain_extent
        verts, faces = [], []
        for j in range(ny + 1):
            for i in range(nx + 1):
                x = x0 + (x1 - x0) * i / nx
                y = y0 + (y1 - y0) * j / ny
                verts.append((x, y, self.height(x, y)))
        for j in range(ny):
            for i in range(nx):
                a = j * (nx + 1) + i
                faces.append((a, a + 1, a + nx + 2, a + nx + 1))
        m = H.Mesh()
        m.faces_from("@box", verts, faces)
        tile = self.ground_tile
        ob = m.object("Terrain", self.ground(), tile=tile)
        for f in ob.data.polygons:
            f.use_smooth = True
        # top-down projection everywhere, so the ground does not stretch on slopes
        uv = ob.data.uv_layers[0].data
        for loop in ob.data.loops:
            co = ob.data.vertices[loop.vertex_index].co
            uv[loop.index].uv = (co.x / tile, co.y / tile)
        H.props(ob, Body="Mesh", ActorType=0, BodyBufferFile=self.prefix + "_terrain")
        return ob

    def road_mesh(self):
        """All roads in one mesh; a joining road stops where it meets the road it joins."""
        rng = self.rng(1)
        m = H.Mesh(seed=self.seed + 1)
        step = 0.45
        w = self.road_half_width
        for r, road in enumerate(self.road_list):
            others = self.road_list[:r]
            stop = road.length if road.join is None else road.join + 0.3
            n = int(stop / step)
            prev = None
            for k in range(n + 1):
                p, t = road.at(stop * k / n)
                side = Vector((-t.y, t.x, 0)) * w
                lift = Vector((0, 0, 0.03 + 0.004 * r))
                cur = (p - side + lift, p + side + lift)
                if prev is not None:
                    colour = rng.choice(self.road_colours)
                    # Counter-clockwise seen from above, so the road faces the sky.
                    m.faces_from(colour, [prev[0], cur[0], cur[1], prev[1]], [(0, 1, 2, 3)])
                prev = cur
                if k % 3 == 0:
                    for sgn in (-1, 1):
                        q = p + side * sgn * 1.12 + Vector((0, 0, 0.02))
                        if any(o.distance(q.x, q.y) < w * 1.3 for o in others):
                            continue   # no curbstones on the road this one runs into
                        m.box(rng.choice(self.curb_colours), (0.16, 0.12, 0.1), location=q,
                              rotation=(0, 0, rng.uniform(0, 3)))
        return m.object("Road", H.color_picker())

    def boulders(self, places, count=3, colour="rock", clearance=2.4, offset=4):
        """Rocks with collision bodies ("Boulder1".."BoulderN"); they keep clear of the road and of the plots,
        so that no click meant for a plot lands on a boulder."""
        out = []
        rng = self.rng(offset)
        core = self.core
        clear = [(x, y) for x, y in places
                 if self.distance(x, y) > clearance and all((Vector((x, y, 0)) - s).length > clearance for s in self.spots)
                 and (Vector((x, y, 0)) - core).length > 3.0]
        for i, (x, y) in enumerate(clear[:count]):
            m = H.Mesh(seed=self.seed + 10 + i)
            s = rng.uniform(0.6, 0.9)
            m.ball(colour, s, location=(0, 0, s * 0.45), scale=(1.2, 1.0, 0.8), jitter=0.2)
            ob = m.object("Boulder%d" % (i + 1), H.color_picker())
            ob.location = (x, y, self.height(x, y))
            H.props(ob, Body="ConvexHull", ActorType=0, BodyBufferFile="%s_boulder%d" % (self.prefix, i + 1),
                    BodyMaxVerts=16)
            out.append(ob)
        return out

    def spawn_gate(self, r):
        road = self.road_list[r]
        p, t = road.at(0.0)
        rng = self.rng(5 + 100 * r)
        m = H.Mesh(seed=self.seed + 5 + 100 * r)
        side = Vector((-t.y, t.x, 0))
        pillar, cap, crumbs = self.gate_colours
        h = self.gate_height
        for sgn in (-1, 1):
            base = p + side * sgn * 1.3 + t * 0.6
            m.box(pillar, (0.6, 0.6, h), location=base + Vector((0, 0, h * 0.5)), rotation=(0, 0, math.atan2(t.y, t.x)),
                  taper=0.85)
            m.ball(cap, 0.45, location=base + Vector((0, 0, h + 0.1)), jitter=0.2)
        m.box(pillar, (0.7, 3.4, 0.5), location=p + t * 0.6 + Vector((0, 0, h + 0.25)),
              rotation=(0, 0, math.atan2(t.y, t.x)))
        for k in range(6):
            m.ball(rng.choice([crumbs, cap]), rng.uniform(0.1, 0.2),
                   location=p + side * rng.uniform(-1.0, 1.0) + Vector((0, 0, rng.uniform(0.1, 0.4))), jitter=0.3)
        return m.object("SpawnGate" + ("" if r == 0 else str(r + 1)), H.color_picker())

    def the_core(self):
        core, seed = self.core, self.seed
        root = H.empty("PlayerCore", core)
        m = H.Mesh(seed=seed + 6)
        pts = [(1.9 * math.cos(a), 1.9 * math.sin(a)) for a in [math.radians(22.5 + 45 * i) for i in range(8)]]
        m.polygon_prism("@box", pts, -0.3, 0.18)
        pts2 = [(1.2 * math.cos(a), 1.2 * math.sin(a)) for a in [math.radians(22.5 + 45 * i) for i in range(8)]]
        m.polygon_prism("@box", pts2, 0.18, 0.42)
        m.object("CoreDais", H.dressed_stone(), parent=root, tile=0.6)
        s = H.Mesh(seed=seed + 7)
        for i in range(6):
            a = math.radians(60 * i + 30)
            s.box("stone_light", (0.35, 0.3, 1.8), location=(1.55 * math.cos(a), 1.55 * math.sin(a), 1.05),
                  rotation=(0, 0, a), taper=0.8)
            s.box("gold", (0.2, 0.32, 0.1), location=(1.55 * math.cos(a), 1.55 * math.sin(a), 1.6), rotation=(0, 0, a))
        s.object("CoreStones", H.color_picker(), parent=root)
        c = H.Mesh(seed=seed + 8)
        c.cylinder("crystal", 0.42, 1.3, location=(0, 0, 1.5), segments=6, radius_top=0.3)
        c.cone("crystal", 0.3, 0.6, location=(0, 0, 2.45), segments=6)
        c.cone("crystal", 0.42, 0.5, location=(0, 0, 0.6), rotation=(math.pi, 0, 0), segments=6)
        for i in range(5):
            a = math.radians(72 * i)
            c.cone("crystal", 0.14, 0.7, location=(0.45 * math.cos(a), 0.45 * math.sin(a), 0.7),
                   rotation=(0.5 * math.sin(a), -0.5 * math.cos(a), 0), segments=5)
        c.object("HollowHeart", H.emissive("HollowHeart", (0.45, 0.85, 1.0), 1.5), parent=root)
        # four torches with their lights
        t = H.Mesh(seed=seed + 9)
        f = H.Mesh(seed=seed + 10)
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
        b = H.Mesh(seed=seed + 11)
        bp = self.notice_board - core
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

    def path_animations(self):
        parent = H.empty("EnemyPaths")
        carriers = []
        for r, road in enumerate(self.road_list):
            suffix = "" if r == 0 else str(r + 1)
            start, t0 = road.at(0)
            carrier = H.empty("EnemyPathNode" + suffix, start, parent, size=0.3)
            frames = int(self.path_seconds[r] * FPS)
            keys = []
            for f in range(frames + 1):
                p, t = road.at(road.length * f / frames)
                q = t.to_track_quat('-Y', 'Z')
                keys.append((f, p, q, None))
            carrier.rotation_mode = 'QUATERNION'
            carrier.rotation_quaternion = keys[0][2]
            H.object_action(carrier, "EnemyPath" + suffix, keys, interpolation='LINEAR')
            H.empty("EnemySpawnPoint" + suffix, start, size=0.5)
            carriers.append(carrier)
        return carriers

    def cameras(self):
        H.empty("OrbitCenter", self.view_centre)
        cam = H.link(bpy.data.objects.new("camera_main", bpy.data.cameras.new("camera_main")))
        # A narrow lens close by: the road's area just fills the picture, and a monster at the far end
        # of the road still stands a few dozen pixels tall.
        cam.data.lens = self.lens
        cam.data.clip_start = 0.1
        cam.data.clip_end = 200
        play_at = self.view.at
        play_eye = self.view.eye
        cam.location = play_eye
        cam.rotation_mode = 'QUATERNION'
        cam.rotation_quaternion = H.look_rotation(play_eye, play_at)
        H.props(cam, CameraType="Orbital", OrbitCenter="OrbitCenter")
        flight(cam, "Intro", self.intro + [(self.intro_frames, play_eye, play_at)], self.intro_frames)

        track = H.link(bpy.data.objects.new("camera_trackshot", bpy.data.cameras.new("camera_trackshot")))
        track.data.lens = 22
        track.data.clip_start = 0.05
        track.data.clip_end = 200
        track.location = (0, -12, 6)
        track.rotation_mode = 'QUATERNION'
        track.rotation_quaternion = H.look_rotation((0, -12, 6), (0, 0, 0))
        # 1: low along the first road from the gate
        road = self.road_list[0]
        pts = []
        for k in range(9):
            s = road.length * k / 8 * 0.95
            p, t = road.at(s)
            ahead, _ = road.at(s + 3.0)
            pts.append((k * 15, p - t * 2.0 + Vector((0, 0, 1.6)), ahead + Vector((0, 0, 0.4))))
        flight(track, "trackshot1", pts, 120)
        # 2: circling the Hollow Heart
        core = self.core
        pts = []
        for k in range(9):
            a = math.radians(self.core_orbit_start - 22 * k)
            pts.append((k * 15, core + Vector((4.6 * math.cos(a), 4.6 * math.sin(a), 2.4 + 0.3 * math.sin(k))),
                        core + Vector((0, 0, 1.4))))
        flight(track, "trackshot2", pts, 120)
        # 3: a high sweep across the level
        flight(track, "trackshot3", self.sweep, 120)
        # 4: past the tower plots, rising at the end
        flight(track, "trackshot4", self.plot_flight, 120)
        return cam, track

    def explosion(self):
        node = H.empty("ExplosionNode", (0, 0, -5), size=0.3)
        node.rotation_mode = 'QUATERNION'
        keys = [(0, node.location, None, (0.1, 0.1, 0.1)), (4, node.location, None, (0.7, 0.7, 0.7)),
                (8, node.location, None, (0.92, 0.92, 0.92)), (12, node.location, None, (1.0, 1.0, 1.0))]
        H.object_action(node, "ExplosionAnimation", keys)
        return node

    def guides(self):
        """Designer helpers that the game never loads."""
        g = H.empty("LayoutGuides")
        H.props(g, Ignore=1)
        m = H.Mesh()
        for road in self.road_list:
            for a, b in zip(road.pts[::6], road.pts[6::6]):
                m.box("red", ((b - a).length, 0.05, 0.05), location=(a + b) / 2 + Vector((0, 0, 0.3)),
                      rotation=(0, 0, math.atan2((b - a).y, (b - a).x)))
        m.object("RoadCentreLine", H.color_picker(), parent=g)
        return g

    def build(self):
        H.reset(FPS)
        self.road_list = []
        for r, points in enumerate(self.roads):
            self.road_list.append(Road(points, None if r == 0 else self.road_list[0]))
        self.spots = self.base_spots()
        self.terrain()
        self.road_mesh()
        self.scenery()
        for r in range(len(self.road_list)):
            self.spawn_gate(r)
        self.the_core()
        self.path_animations()
        for i, s in enumerate(self.spots):
            H.empty("TowerBase[%d]" % (i + 1), (s.x, s.y, BASE_TOP), size=0.4)
        self.cameras()
        self.explosion()
        lights_and_sky(self.sun_direction, self.sun_colour, self.sun_energy, self.ambient, self.sky)
        self.guides()
        self.report()
        return {"level": self}

    # ------------------------------------------------------------------ figures and previews

    def report(self):
        """What the first camera shows, in pixels of the 800 x 800 window (the game's legibility figures
        are measured by its own test; these guide the layout)."""
        if len(self.road_list) == 1:
            print("road length %.1f units, %d tower bases" % (self.road_list[0].length, len(self.spots)))
        else:
            for r, road in enumerate(self.road_list):
                turn = ""
                if road.join is not None:
                    _, before = road.at(road.join - 0.05)
                    _, after = road.at(road.join + 0.05)
                    turn = ", joins road 1 after %.1f units, turning %.0f degrees" % (
                        road.join, math.degrees(before.angle(after)))
                print("road %d: %.1f units, PATH_SECONDS %.2f (%.2f units a second)%s" % (
                    r + 1, road.length, self.path_seconds[r], road.length / self.path_seconds[r], turn))
            print("%d tower bases" % len(self.spots))
        v = self.view
        walker, massive, edge = 1e9, 1e9, 1e9
        for road in self.road_list:
            for i in range(201):
                p, _ = road.at(road.length * i / 200)
                walker = min(walker, (v.pixel(p + Vector((0, 0, 0.72))) - v.pixel(p)).length)
                massive = min(massive, (v.pixel(p + Vector((0, 0, 1.30))) - v.pixel(p)).length)
                px = v.pixel(p)
                edge = min(edge, px.x, px.y, SCREEN - px.x, SCREEN - px.y)
        plot, plot_edge = 1e9, 1e9
        for s in self.spots:
            corners = [v.pixel(Vector((s.x + dx, s.y + dy, z))) for dx in (-0.43, 0.43) for dy in (-0.43, 0.43)
                       for z in (0.0, BASE_TOP)]
            plot = min(plot, max(c.x for c in corners) - min(c.x for c in corners))
            plot_edge = min(plot_edge, min(min(c.x, c.y, SCREEN - c.x, SCREEN - c.y) for c in corners))
        print("first camera: walking monster >= %.0f px, massive >= %.0f px, plots >= %.0f px across; "
              "road %.0f px and plots %.0f px from the window's edge" % (walker, massive, plot, edge, plot_edge))

    def previews(self, folder):
        """Dress the plots with the exported prototypes and render a few views."""
        models = os.environ.get("HOLLOW_MODELS", "GAME_DATA/models")

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
        for i, s in enumerate(self.spots):
            place("tower_base.fbx", (s.x, s.y, BASE_TOP))
            if i in (1, 4, 7):
                place("tower_arrow.fbx", (s.x, s.y, BASE_TOP))
            if i in (3, 8):
                place("tower_cannon.fbx", (s.x, s.y, BASE_TOP))
        for r, road in enumerate(self.road_list):
            for f, file, sc in [(0.22, "enemy_floating_stone_monster.fbx", 0.6),
                                (0.5, "enemy_walking_stone_monster.fbx", 0.2),
                                (0.58, "enemy_walking_stone_monster.fbx", 0.2),
                                (0.8, "enemy_massive_stone_monster.fbx", 0.32)][r:]:
                p, t = road.at(road.length * f)
                place(file, p, math.atan2(t.y, t.x) + math.pi / 2, sc)
        bpy.data.objects["RoadCentreLine"].hide_render = True
        sun = dict(sun_direction=self.sun_direction, sky_colour=self.preview_sky)
        v = self.view
        H.preview(os.path.join(folder, self.name + "_main.png"), v.eye, v.at, lens=v.lens, resolution=(800, 800),
                  samples=20, **sun)
        core = self.core
        H.preview(os.path.join(folder, self.name + "_core.png"), core + Vector((-7.5, 2.5, 3.2)),
                  core + Vector((-1.0, -1.0, 0.8)), lens=28, resolution=(800, 600), samples=20, **sun)
        for r, road in enumerate(self.road_list):
            p, t = road.at(0.0)
            H.preview(os.path.join(folder, "%s_gate%d.png" % (self.name, r + 1)),
                      p + t * 5.0 + Vector((0, 0, 3.0)), p + Vector((0, 0, 1.0)), lens=24, resolution=(800, 600),
                      samples=20, **sun)


def levels():
    """The levels by name, in campaign order."""
    import level_cinderpass
    import level_morrowfen
    import level_vezaz
    return {"Vezaz": level_vezaz.Vezaz, "Morrowfen": level_morrowfen.Morrowfen,
            "Cinderpass": level_cinderpass.Cinderpass}
