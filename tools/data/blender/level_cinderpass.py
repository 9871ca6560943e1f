"""The level "Cinderpass": a mountain pass of black basalt and grey ash at night. One long road zig-zags in
hairpins from a gate of basalt and embers in the south up the pass to the Hollow Heart in the north, between
walls of basalt columns and two rivers of lava that light the pass red from below.

The first camera looks south, down the pass, with a cold moon from the north-east behind it; the lava and
the embers glow on their own. The road's runs lie close together, but fewer plots stand between them than
in the other levels, and the monsters walk a little faster.
"""
import math

import bpy
from mathutils import Vector, noise

import hollow as H
from level import Level, smoothstep

# Lava rivers flowing down the pass beside the play area: centre lines (x, y), south to north.
LAVA = [[(7.6, -22.0), (7.2, -14.0), (6.6, -8.0), (7.3, -3.0), (6.6, 2.0), (7.4, 7.0), (7.0, 13.0), (7.8, 22.0)],
        [(-7.8, -22.0), (-7.4, -14.0), (-6.6, -9.0), (-7.2, -4.0), (-6.5, 1.0), (-7.3, 6.0), (-6.9, 13.0),
         (-7.6, 22.0)]]
LAVA_HALF_WIDTH = 0.8


def river_distance(x, y):
    """Distance to the nearest lava river's centre line."""
    best = 1e9
    p = Vector((x, y, 0))
    for river in LAVA:
        for a, b in zip(river, river[1:]):
            a, b = Vector((a[0], a[1], 0)), Vector((b[0], b[1], 0))
            ab = b - a
            t = max(0.0, min(1.0, (p - a).dot(ab) / ab.length_squared))
            best = min(best, (a + ab * t - p).length)
    return best


class Cinderpass(Level):
    name = "Cinderpass"
    prefix = "cinderpass"
    seed = 6464
    roads = [[(-4.6, -6.4), (-2.2, -5.6), (1.0, -5.0), (3.6, -4.4), (4.3, -3.1), (2.8, -2.2), (-0.4, -2.0),
              (-3.2, -1.5), (-4.2, -0.3), (-2.9, 0.8), (0.4, 1.0), (3.0, 1.6), (3.8, 2.9), (2.2, 3.7), (-0.6, 3.8)]]
    path_seconds = [5.6]
    core = Vector((-2.9, 4.7, 0))
    notice_offset = Vector((-2.2, -1.8, 0))
    plot_count = 16
    outlying_plots = 3
    # The first camera sits in the north, by the core, and looks south down the pass.
    view_centre = Vector((0.0, -0.6, 0.0))
    view_distance = 12.6
    view_elevation = 46
    view_azimuth = 180
    intro = [(0, (-3, -28, 18), (-3, -6, 0)), (36, (12, -16, 14), (1, -3, 0)), (72, (12, 10, 14), (0, -1, 0))]
    core_orbit_start = 60
    sweep = [(0, (-20, 8, 10), (-6, 0, 0)), (40, (-10, -12, 12), (0, -3, 0)),
             (80, (8, -14, 12), (3, -2, 0)), (120, (20, 6, 10), (6, 0, 0))]
    plot_flight = [(0, (5, 2.5, 1.6), (1, 0, 0.5)), (40, (1, 3.2, 1.8), (-3, -1, 0.5)),
                   (80, (-4, 1.2, 2.2), (-2, -5, 0.5)), (120, (0, 14, 9), (0, 1, 0))]
    terrain_extent = (-22.0, 22.0, -22.0, 22.0)
    terrain_cells = (66, 66)
    road_colours = ["stone", "cobble", "stone_dark", "cobble_light", "stone", "cobble"]
    curb_colours = ["ember", "basalt", "rock_dark"]
    gate_colours = ("basalt", "ember", "rock_dark")
    gate_height = 2.4
    # A cold moon in the north-east; the lava's red comes in as the ambient light (the sky shares the moon).
    sun_direction = Vector((0.42, 0.62, 0.66)).normalized()
    sun_colour = (0.62, 0.74, 1.0)
    sun_energy = 1.8
    ambient = [0.30, 0.17, 0.16]
    sky = "skybox/cinderpass_sky"
    preview_sky = (0.08, 0.05, 0.1)

    def ground(self):
        return H.ground("AshGround", "terrain_ash/ab_ground.dds")

    def plot_clear(self, q):
        return Level.plot_clear(self, q) and river_distance(q.x, q.y) > LAVA_HALF_WIDTH + 1.5

    def height(self, x, y):
        d = self.distance(x, y)
        # the walls of the pass: steep east and west, a notch in the south where the road comes in
        wall = smoothstep(8.6, 11.5, abs(x)) * (5.5 + 2.0 * noise.noise(Vector((x * 0.2, y * 0.2, 7.0))))
        far = smoothstep(9.5, 14.0, -y) * smoothstep(3.0, 7.0, abs(x + 4.6)) * 4.5
        near = smoothstep(10.0, 15.0, y) * 2.5
        rubble = (0.5 + 0.5 * noise.noise(Vector((x * 0.35, y * 0.35, 3.0)))) * 0.5 * smoothstep(1.6, 3.5, d)
        h = max(wall, far, near) + rubble
        h *= smoothstep(0.7, 1.6, d)
        for s in self.spots:
            h *= smoothstep(0.7, 1.5, (Vector((x, y, 0)) - s).length)
        h *= smoothstep(2.6, 4.4, (Vector((x, y, 0)) - self.core).length)
        # the lava runs in a channel below the floor of the pass
        channel = 1.0 - smoothstep(LAVA_HALF_WIDTH * 0.9, LAVA_HALF_WIDTH * 2.0, river_distance(x, y))
        return h * (1.0 - channel) - 0.04 - 0.5 * channel

    def scenery(self):
        self.lava()
        self.columns()
        self.charred_trees()
        self.boulders([(2.5, -9.0), (-3.5, -9.5), (4.5, 7.5)],
                      colour="basalt")

    def lava(self):
        """Glowing rivers in their channels, crusts drifting on them, embers above and lights that carry
        their glow onto the rocks."""
        glow = H.emissive("LavaGlow", (1.0, 0.3, 0.04), 1.0)
        m = H.Mesh(seed=self.seed + 30)
        for river in LAVA:
            pts = [Vector((x, y, 0)) for x, y in river]
            for a, b in zip(pts, pts[1:]):
                t = (b - a).normalized()
                side = Vector((-t.y, t.x, 0)) * LAVA_HALF_WIDTH * 1.15
                lift = Vector((0, 0, -0.12))
                m.faces_from("ember", [a - side + lift, b - side + lift, b + side + lift, a + side + lift],
                             [(0, 1, 2, 3)])
            for a in pts[1:-1]:   # round the joints
                m.cylinder("ember", LAVA_HALF_WIDTH * 1.15, 0.01, location=a + Vector((0, 0, -0.12)), segments=8)
        rivers = m.object("Lava", glow)
        # a brighter, hotter vein down the middle of each river
        hot = H.Mesh(seed=self.seed + 35)
        for river in LAVA:
            pts = [Vector((x, y, 0)) for x, y in river]
            for a, b in zip(pts, pts[1:]):
                t = (b - a).normalized()
                side = Vector((-t.y, t.x, 0)) * LAVA_HALF_WIDTH * 0.35
                lift = Vector((0, 0, -0.11))
                hot.faces_from("ember", [a - side + lift, b - side + lift, b + side + lift, a + side + lift],
                               [(0, 1, 2, 3)])
        hot.object("LavaVeins", H.emissive("LavaVein", (1.0, 0.62, 0.16), 1.0))
        rng = self.rng(31)
        crust = H.Mesh(seed=self.seed + 31)
        sparks = H.Mesh(seed=self.seed + 32)
        for river in LAVA:
            for (ax, ay), (bx, by) in zip(river, river[1:]):
                for k in range(5):
                    f = rng.uniform(0, 1)
                    x, y = ax + (bx - ax) * f, ay + (by - ay) * f
                    crust.ball(rng.choice(["basalt", "rock_dark", "black"]), rng.uniform(0.12, 0.3),
                               location=(x + rng.uniform(-0.45, 0.45), y, -0.12), scale=(1.3, 1.0, 0.3), jitter=0.3)
                for k in range(4):
                    f = rng.uniform(0, 1)
                    sparks.ball("ember", rng.uniform(0.03, 0.06),
                                location=(ax + (bx - ax) * f + rng.uniform(-0.6, 0.6), ay + (by - ay) * f,
                                          rng.uniform(0.3, 1.6)))
        crust.object("LavaCrust", H.color_picker())
        sparks.object("Embers", H.emissive("Ember", (1.0, 0.55, 0.15), 1.5))
        for i, (x, y) in enumerate([(7.0, -5.0), (6.9, 3.0), (-6.9, -5.5), (-6.8, 3.5)]):
            light = bpy.data.lights.new("LavaLight%d" % (i + 1), 'POINT')
            light.color = (1.0, 0.4, 0.12)
            light.energy = 1.6
            ob = H.link(bpy.data.objects.new("LavaLight%d" % (i + 1), light))
            ob.location = (x, y, 1.2)
            H.props(ob, Attenuation=7.0)
        return rivers

    def columns(self):
        """Clusters of hexagonal basalt columns on the walls of the pass and a few on its floor."""
        rng = self.rng(33)
        m = H.Mesh(seed=self.seed + 33)
        placed = []
        tries = 0
        while len(placed) < 46 and tries < 4000:
            tries += 1
            x, y = rng.uniform(-16, 16), rng.uniform(-16, 14)
            inner = abs(x) < 8.4 and -9.0 < y < 9.0
            if self.distance(x, y) < 3.0 or (Vector((x, y, 0)) - self.core).length < 4.2:
                continue
            if river_distance(x, y) < LAVA_HALF_WIDTH + 0.8:
                continue
            if any((Vector((x, y, 0)) - s).length < 2.0 for s in self.spots):
                continue
            if any((Vector((x, y, 0)) - q).length < 1.6 for q in placed):
                continue
            if inner and rng.random() < 0.7:
                continue   # the floor of the pass stays open
            if y > 6.5 and abs(x) < 6.0:
                continue   # nothing tall between the first camera and the road
            z = self.height(x, y) - 0.1
            s = rng.uniform(0.6, 1.0) if inner else rng.uniform(1.0, 1.8)
            if self.blocks_view(Vector((x, y, z)), 0.8 * s, 2.4 * s):
                continue
            for k in range(rng.randint(3, 6)):
                a = rng.uniform(0, 2 * math.pi)
                r = rng.uniform(0.0, 0.5) * s
                h = rng.uniform(0.8, 2.4) * s
                top = rng.choice(["basalt", "basalt_light", "rock_dark"])
                m.cylinder(top, 0.26 * s, h, location=(x + r * math.cos(a), y + r * math.sin(a), z + h * 0.5),
                           segments=6, rotation=(0, 0, rng.uniform(0, 1)))
            placed.append(Vector((x, y, z)))
        return m.object("BasaltColumns", H.color_picker())

    def charred_trees(self):
        """Burnt trunks with glowing cracks, here and there on the floor of the pass."""
        rng = self.rng(34)
        m = H.Mesh(seed=self.seed + 34)
        placed = []
        tries = 0
        while len(placed) < 14 and tries < 3000:
            tries += 1
            x, y = rng.uniform(-9, 9), rng.uniform(-10, 9)
            if self.distance(x, y) < 2.6 or (Vector((x, y, 0)) - self.core).length < 4.0:
                continue
            if river_distance(x, y) < 2.0 or any((Vector((x, y, 0)) - s).length < 1.6 for s in self.spots):
                continue
            if any((Vector((x, y, 0)) - q).length < 2.0 for q in placed) or (y > 6.0 and abs(x) < 6.0):
                continue
            p = Vector((x, y, self.height(x, y) - 0.05))
            s = rng.uniform(0.8, 1.3)
            if self.blocks_view(p, 0.4 * s, 1.5 * s):
                continue
            lean = (rng.uniform(-0.15, 0.15), rng.uniform(-0.15, 0.15), 0)
            m.cylinder("black", 0.11 * s, 1.5 * s, location=p + Vector((0, 0, 0.75 * s)), rotation=lean, segments=5,
                       radius_top=0.05 * s)
            for b in range(rng.randint(1, 3)):
                z = rng.uniform(0.7, 1.3) * s
                a = rng.uniform(0, 2 * math.pi)
                length = rng.uniform(0.35, 0.6) * s
                tilt = rng.uniform(0.7, 1.2)
                mid = p + Vector((math.cos(a) * length * 0.45 * math.sin(tilt), math.sin(a) * length * 0.45 *
                                  math.sin(tilt), z + length * 0.45 * math.cos(tilt)))
                m.cylinder("black", 0.04 * s, length, location=mid, rotation=(0, tilt, a), segments=4,
                           radius_top=0.015 * s)
            m.ball("ember", 0.09 * s, location=p + Vector((0, 0, 0.08)), scale=(1.4, 1.4, 0.5), jitter=0.3)
            placed.append(p)
        return m.object("CharredTrees", H.color_picker())
