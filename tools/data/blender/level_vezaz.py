"""The level "Vezaz": a meadow valley ringed by cliffs, a cobbled road winding from a ruined gate in the
north-west to the Hollow Heart, the crystal the monsters attack, in the south-east.

The road winds in three runs through a compact middle of the valley (about 12 by 11 units), so that the
whole road fits the first camera close enough to read a monster at a glance, and so that plots between
two runs see the road twice.
"""
import math

from mathutils import Vector, noise

import hollow as H
from level import Level, leafy, pine, smoothstep


class Vezaz(Level):
    name = "Vezaz"
    prefix = "vezaz"
    seed = 4242
    roads = [[(-6.0, 5.0), (-2.0, 4.8), (2.0, 4.6), (4.2, 3.4), (3.8, 1.6), (1.0, 1.0), (-2.0, 0.8),
              (-4.2, -0.4), (-4.0, -2.4), (-1.5, -3.2), (1.5, -3.0)]]
    path_seconds = [4.7]    # played at 0.05 to 0.08: 59 to 94 seconds from the gate to the core
    core = Vector((3.7, -3.9, 0))
    notice_offset = Vector((1.6, 2.4, 0))
    plot_count = 18
    outlying_plots = 3
    # What the first camera frames: the middle of the road's area, seen from the south.
    view_centre = Vector((0.3, -0.7, 0.0))
    view_distance = 13.3
    view_elevation = 47
    intro = [(0, (-26, 24, 22), (-8, 4, 0)), (36, (-24, -6, 18), (-2, 0, 0)), (72, (-10, -20, 17), (0, -1, 0))]
    sweep = [(0, (22, -12, 12), (6, -3, 0)), (40, (10, 8, 14), (0, 0, 0)),
             (80, (-8, 14, 13), (-4, 2, 0)), (120, (-22, 4, 10), (-6, 0, 0))]
    plot_flight = [(0, (-9, -6, 1.5), (-4, -1, 0.5)), (40, (-3, -5, 1.8), (2, 0, 0.5)),
                   (80, (4, -2, 2.2), (8, -4, 0.5)), (120, (4, -16, 9), (8, -6, 0))]

    def plot_clear(self, q):
        return True

    def in_first_view(self, q):
        # The first camera looks north over the valley: its frame is narrow at the near (southern) side.
        return q.y >= 1.0 or abs(q.x - self.view_centre.x) <= 5.0

    def height(self, x, y):
        r = math.sqrt((x / 17.5) ** 2 + (y / 15.5) ** 2)
        d = self.distance(x, y)
        n = noise.noise(Vector((x * 0.18, y * 0.18, 0.5)))
        hills = (0.55 + 0.45 * n) * 0.9 * smoothstep(1.8, 4.5, d)
        cliff = smoothstep(0.82, 1.02, r) * (5.0 + 1.5 * noise.noise(Vector((x * 0.3, y * 0.3, 2.0))))
        h = hills + cliff
        # the road cuts a level track, also through the cliff at the gate
        h *= smoothstep(0.75, 1.9, d)
        for s in self.spots:
            h *= smoothstep(0.7, 1.5, (Vector((x, y, 0)) - s).length)
        h *= smoothstep(2.6, 4.5, (Vector((x, y, 0)) - self.core).length)
        return h - 0.04

    def scenery(self):
        self.forest()
        self.cliffs()
        self.boulders([(-8.0, 1.5), (7.0, 0.5), (-7.5, -4.5), (6.5, 6.0), (-3.0, 8.0), (-9.5, 6.5)])

    def forest(self):
        rng = self.rng(2)
        m = H.Mesh(seed=self.seed + 2)
        placed = []
        tries = 0
        while len(placed) < 95 and tries < 4000:
            tries += 1
            x, y = rng.uniform(-19, 19), rng.uniform(-17, 17)
            r = math.sqrt((x / 17.5) ** 2 + (y / 15.5) ** 2)
            # Trees keep a wide berth of the road: seen from the first camera they would hide it.
            if r > 1.18 or self.distance(x, y) < 2.8 or (Vector((x, y, 0)) - self.core).length < 4.0:
                continue
            if any((Vector((x, y, 0)) - s).length < 1.6 for s in self.spots):
                continue
            if any((Vector((x, y, 0)) - q).length < 1.1 for q in placed):
                continue
            if r < 0.75 and rng.random() < 0.55:
                continue   # keep the valley floor open, the slopes wooded
            p = Vector((x, y, self.height(x, y) - 0.05))
            s = rng.uniform(0.9, 1.6)
            (pine if rng.random() < 0.6 else leafy)(m, rng, p, s)
            placed.append(p)
        return m.object("Forest", H.color_picker())

    def cliffs(self):
        rng = self.rng(3)
        m = H.Mesh(seed=self.seed + 3)
        for k in range(46):
            a = 2 * math.pi * k / 46 + rng.uniform(-0.04, 0.04)
            rr = rng.uniform(1.0, 1.12)
            x, y = 17.5 * rr * math.cos(a), 15.5 * rr * math.sin(a)
            if self.distance(x, y) < 2.6:
                continue
            if -2.1 < a - 2 * math.pi < -1.0 or -2.1 < a < -1.0:
                continue   # keep the main camera's view over the southern rim open
            s = rng.uniform(1.4, 2.6)
            m.ball(rng.choice(["cliff", "cliff_dark", "rock", "stone_warm"]), s,
                   location=(x, y, 4.2 + rng.uniform(-1, 1)),
                   scale=(1.0, rng.uniform(0.7, 1.2), rng.uniform(0.8, 1.5)), rotation=(0, 0, a), jitter=0.25)
        # small rocks scattered on the meadow
        for k in range(40):
            x, y = rng.uniform(-15, 15), rng.uniform(-13, 13)
            if self.distance(x, y) < 1.6:
                continue
            m.ball(rng.choice(["rock", "stone", "rock_dark"]), rng.uniform(0.1, 0.3), location=(x, y, 0.0),
                   scale=(1, 1, 0.6), jitter=0.3)
        return m.object("Cliffs", H.color_picker())

