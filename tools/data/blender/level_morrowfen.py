"""The level "Morrowfen": a marsh at dusk. Two plank causeways come out of two mossy gates in the north-west
and the north-east, wind down between black pools, reeds and dead trees, and meet in the middle of the fen;
one causeway leads on to the Hollow Heart in the south.

The sun hangs low in the west and lights everything orange from the side; the sky is violet above an orange
horizon. The arms of the road bend towards each other, so that plots between them see both roads, and the
plots around the junction see the monsters of both gates.
"""
import math

from mathutils import Vector, noise

import hollow as H
from level import Level, smoothstep

# Black water in hollows of the peat: (x, y, radius x, radius y). Roads and plots keep clear of them.
POOLS = [(-0.3, 3.0, 0.7, 0.5), (2.8, -3.6, 1.3, 0.7), (-6.4, 1.9, 0.9, 1.3), (6.4, 1.2, 1.0, 1.3),
         (0.0, 7.7, 2.2, 0.8), (5.6, -5.0, 1.5, 0.8), (0.4, -6.6, 1.6, 0.8), (-10.0, -6.5, 2.0, 1.2),
         (10.5, -5.5, 2.2, 1.1)]


def pool_depth(x, y):
    """0 outside every pool, 1 in a pool's middle."""
    best = 0.0
    for px, py, rx, ry in POOLS:
        r = math.sqrt(((x - px) / rx) ** 2 + ((y - py) / ry) ** 2)
        best = max(best, 1.0 - smoothstep(0.55, 1.25, r))
    return best


class Morrowfen(Level):
    name = "Morrowfen"
    prefix = "morrowfen"
    seed = 5353
    junction = (0.3, -0.8)
    roads = [
        # road 1: from the western gate, through the junction, to the core
        [(-5.6, 5.1), (-3.4, 5.8), (-2.0, 4.7), (-2.6, 2.8), (-4.1, 1.7), (-3.9, -0.4), (-2.3, -0.8),
         (-0.8, 0.1), junction, (0.4, -2.6), (-0.9, -3.6)],
        # road 2: from the north-eastern gate down to the junction
        [(5.4, 5.6), (3.3, 6.0), (1.5, 5.1), (1.5, 3.3), (3.1, 2.4), (3.4, 0.5), (2.0, 0.1), (0.5, 0.9),
         junction],
    ]
    path_seconds = [4.6, 4.6]
    core = Vector((-3.0, -4.8, 0))
    notice_offset = Vector((-2.4, 1.6, 0))
    plot_count = 20
    outlying_plots = 1
    view_centre = Vector((0.0, -1.0, 0.0))
    view_distance = 12.4
    view_elevation = 48
    view_azimuth = 0
    intro = [(0, (-2, 26, 16), (0, 4, 0)), (36, (-20, 10, 15), (-3, 2, 0)), (72, (-13, -16, 15), (-1, -1, 0))]
    intro_frames = 100
    core_orbit_start = 200
    sweep = [(0, (-22, -10, 9), (-6, -2, 0)), (40, (-10, 10, 12), (0, 1, 0)),
             (80, (8, 14, 12), (3, 2, 0)), (120, (22, -4, 9), (6, -1, 0))]
    plot_flight = [(0, (-7, -4, 1.4), (-2, 0, 0.5)), (40, (-2, -3, 1.7), (2, 1, 0.5)),
                   (80, (4, -2, 2.0), (6, 3, 0.5)), (120, (2, -16, 9), (0, -3, 0))]
    terrain_extent = (-24.0, 24.0, -22.0, 22.0)
    terrain_cells = (72, 66)
    road_colours = ["wood", "wood_dark", "wood_light", "bark", "wood", "wood_dark"]
    curb_colours = ["wood_dark", "bark", "mud"]
    road_half_width = 0.55
    gate_colours = ("rock_dark", "golem_moss", "moss")
    gate_height = 1.8
    # A low evening sun in the west, orange; violet shade (the sky texture's sun shares the direction).
    sun_direction = Vector((-0.90, 0.18, 0.42)).normalized()
    sun_colour = (1.0, 0.62, 0.34)
    sun_energy = 2.2
    ambient = [0.30, 0.27, 0.38]
    sky = "skybox/morrowfen_sky"
    preview_sky = (0.45, 0.3, 0.4)

    def ground(self):
        return H.ground("FenGround", "terrain_fen/ab_ground.dds")

    def plot_clear(self, q):
        return Level.plot_clear(self, q) and pool_depth(q.x, q.y) == 0.0 and pool_depth(q.x, q.y + 0.6) == 0.0

    def height(self, x, y):
        d = self.distance(x, y)
        # the rim of the fen: low wooded banks all around
        r = math.sqrt((x / 19.0) ** 2 + (y / 17.0) ** 2)
        bank = smoothstep(0.8, 1.1, r) * (2.2 + 1.0 * noise.noise(Vector((x * 0.25, y * 0.25, 4.0))))
        tussocks = (0.5 + 0.5 * noise.noise(Vector((x * 0.45, y * 0.45, 1.5)))) * 0.35 * smoothstep(1.3, 3.0, d)
        h = tussocks + bank
        h *= smoothstep(0.7, 1.5, d)
        for s in self.spots:
            h *= smoothstep(0.7, 1.4, (Vector((x, y, 0)) - s).length)
        h *= smoothstep(2.6, 4.2, (Vector((x, y, 0)) - self.core).length)
        return h - 0.04 - 0.42 * pool_depth(x, y)

    def scenery(self):
        self.pools()
        self.reeds()
        self.dead_trees()
        self.wisps()
        self.boulders([(-6.8, 3.6), (5.8, 3.4), (-2.6, -3.6), (3.2, -3.4), (-8.2, -0.6), (8.6, -0.8)],
                      colour="golem_moss")

    def pools(self):
        """Flat black water over the hollows of the terrain."""
        mat = H.plain("FenWater", (0.11, 0.16, 0.16), roughness=0.08)
        m = H.Mesh(seed=self.seed + 20)
        for px, py, rx, ry in POOLS:
            n = 20
            ring = [(px + rx * 1.02 * math.cos(2 * math.pi * k / n), py + ry * 1.02 * math.sin(2 * math.pi * k / n),
                     -0.12) for k in range(n)]
            m.faces_from("water", ring, [tuple(range(n))])
        pools = m.object("Pools", mat)
        rng = self.rng(24)
        pads = H.Mesh(seed=self.seed + 24)
        for px, py, rx, ry in POOLS:
            for k in range(int(3 + 3 * rx * ry)):
                a, f = rng.uniform(0, 2 * math.pi), rng.uniform(0.2, 0.85)
                pads.cylinder(rng.choice(["leaf_dark", "moss", "golem_moss"]), rng.uniform(0.1, 0.2), 0.02,
                              location=(px + rx * f * math.cos(a), py + ry * f * math.sin(a), -0.1), segments=6)
        pads.object("LilyPads", H.color_picker())
        return pools

    def reeds(self):
        """Clumps of reeds on the pools' shores and scattered over the fen, short near the road."""
        rng = self.rng(21)
        m = H.Mesh(seed=self.seed + 21)
        spots = []
        for px, py, rx, ry in POOLS:
            for k in range(int(4 + 3 * (rx + ry))):
                a = rng.uniform(0, 2 * math.pi)
                f = rng.uniform(0.85, 1.25)
                spots.append((px + rx * f * math.cos(a), py + ry * f * math.sin(a)))
        for k in range(90):
            spots.append((rng.uniform(-17, 17), rng.uniform(-15, 15)))
        placed = 0
        for x, y in spots:
            d = self.distance(x, y)
            if d < 1.35 or (Vector((x, y, 0)) - self.core).length < 3.0:
                continue
            if any((Vector((x, y, 0)) - s).length < 0.95 for s in self.spots):
                continue
            tall = 0.35 + 0.5 * smoothstep(1.3, 3.5, d)
            z = max(self.height(x, y), -0.12)
            for b in range(rng.randint(3, 5)):
                ox, oy = rng.uniform(-0.18, 0.18), rng.uniform(-0.18, 0.18)
                h = tall * rng.uniform(0.6, 1.0)
                lean = (rng.uniform(-0.25, 0.25), rng.uniform(-0.25, 0.25), 0)
                # open three-sided blades: their bottoms sit in the peat
                m.cylinder(rng.choice(["moss", "grass_dark", "sand", "moss"]), 0.035, h,
                           location=(x + ox, y + oy, z + h * 0.5), rotation=lean, segments=3, radius_top=0.0,
                           cap=False)
                if rng.random() < 0.35:
                    m.cylinder("wood_dark", 0.03, 0.12, location=(x + ox + lean[1] * h * 0.4,
                               y + oy - lean[0] * h * 0.4, z + h * 0.78), rotation=lean, segments=3)
            placed += 1
        return m.object("Reeds", H.color_picker())

    def dead_trees(self):
        """Bare, leaning trunks with a few crooked branches, thickest on the banks."""
        rng = self.rng(22)
        m = H.Mesh(seed=self.seed + 22)
        placed = []
        tries = 0
        while len(placed) < 56 and tries < 5000:
            tries += 1
            x, y = rng.uniform(-20, 20), rng.uniform(-18, 18)
            r = math.sqrt((x / 19.0) ** 2 + (y / 17.0) ** 2)
            if r > 1.2 or self.distance(x, y) < 3.0 or (Vector((x, y, 0)) - self.core).length < 4.0:
                continue
            if any((Vector((x, y, 0)) - s).length < 1.8 for s in self.spots) or pool_depth(x, y) > 0.2:
                continue
            if any((Vector((x, y, 0)) - q).length < 1.3 for q in placed):
                continue
            if r < 0.7 and rng.random() < 0.6:
                continue   # the open fen in the middle, the trees on the banks
            if y < -8.0 and abs(x) < 8.0:
                continue   # keep the first camera's view over the southern bank open
            p = Vector((x, y, self.height(x, y) - 0.05))
            s = rng.uniform(0.9, 1.5)
            if self.blocks_view(p, 0.5 * s, 1.9 * s):
                continue
            bark = rng.choice(["bark", "wood_dark", "rock_dark", "bark"])
            lean = (rng.uniform(-0.12, 0.12), rng.uniform(-0.12, 0.12), 0)
            m.cylinder(bark, 0.12 * s, 1.9 * s, location=p + Vector((0, 0, 0.95 * s)), rotation=lean, segments=5,
                       radius_top=0.04 * s)
            for b in range(rng.randint(2, 4)):
                z = rng.uniform(0.9, 1.6) * s
                a = rng.uniform(0, 2 * math.pi)
                length = rng.uniform(0.4, 0.8) * s
                tilt = rng.uniform(0.6, 1.1)
                mid = p + Vector((math.cos(a) * length * 0.45 * math.sin(tilt), math.sin(a) * length * 0.45 *
                                  math.sin(tilt), z + length * 0.45 * math.cos(tilt)))
                m.cylinder(bark, 0.045 * s, length, location=mid, rotation=(0, tilt, a), segments=4,
                           radius_top=0.015 * s)
            m.cone(rng.choice(["moss", "golem_moss"]), 0.22 * s, 0.25 * s, location=p + Vector((0, 0, 0.1)),
                   segments=5)
            placed.append(p)
        return m.object("DeadTrees", H.color_picker())

    def wisps(self):
        """Will-o'-the-wisps: pale lights hovering over the pools."""
        rng = self.rng(23)
        m = H.Mesh(seed=self.seed + 23)
        for px, py, rx, ry in POOLS:
            for k in range(rng.randint(1, 2)):
                a = rng.uniform(0, 2 * math.pi)
                m.ball("white", rng.uniform(0.05, 0.09),
                       location=(px + 0.5 * rx * math.cos(a), py + 0.5 * ry * math.sin(a), rng.uniform(0.5, 1.1)))
        return m.object("Wisps", H.emissive("Wisp", (0.75, 1.0, 0.55), 1.5))

