"""The prototype models: the tower base, both towers, the three stone monsters and both projectiles.

Conventions shared by all of them (Blender frame, z up):
- the model stands on z = 0 (the tower base has its top face there, because towers stand on it);
- monsters face -Y (the file's +Z), which is the direction their path carrier moves in;
- skinned models keep mesh and rig at the origin; rotations of bones are given in world axes
  (see `Rig.rot`), so that "forward" and "up" mean the same for every bone.
"""
import math

from mathutils import Euler, Vector

import hollow as H

D = math.radians


class Rig:
    """Helper that turns world-axis poses into the pose-bone values of a rig."""

    def __init__(self, rig):
        self.rig = rig

    def _rest(self, bone):
        return (self.rig.matrix_world @ self.rig.data.bones[bone].matrix_local).to_quaternion()

    def rot(self, bone, degrees_xyz):
        """World-axis rotation about the bone's head, as the bone's local rotation (Euler triple)."""
        r = self._rest(bone)
        q = Euler([D(a) for a in degrees_xyz]).to_quaternion()
        return tuple((r.inverted() @ q @ r).to_euler())

    def loc(self, bone, offset):
        """World-axis offset of the bone, as the bone's local location (ignores parents' motion)."""
        r = self._rest(bone)
        return tuple(r.inverted() @ Vector(offset))


def channel(rig, bone, rot=None, loc=None, scale=None):
    """Build one bone's curves from world-axis keys: rot/loc/scale are lists of (frame, value)."""
    out = {}
    if rot:
        out["rotation"] = [(f, rig.rot(bone, v)) for f, v in rot]
    if loc:
        out["location"] = [(f, rig.loc(bone, v)) for f, v in loc]
    if scale:
        out["scale"] = [(f, (v, v, v) if isinstance(v, (int, float)) else v) for f, v in scale]
    return out


# =========================================================================== tower base

def tower_base():
    H.reset()
    plinth = H.Mesh(seed=11)
    r = 0.42
    pts8 = [(r * math.cos(D(22.5 + 45 * i)), r * math.sin(D(22.5 + 45 * i))) for i in range(8)]
    plinth.polygon_prism("@box", pts8, -0.55, -0.07)
    r2 = 0.46
    cap = [(r2 * math.cos(D(22.5 + 45 * i)), r2 * math.sin(D(22.5 + 45 * i))) for i in range(8)]
    plinth.polygon_prism("@box", cap, -0.09, 0.0)
    base = plinth.object("BuildingBase", H.dressed_stone(), tile=0.5)
    H.props(base, Body="BoundingBox", ActorType=0, BodyBoxSize=[0.92, 0.3, 0.92])

    ring = H.Mesh(seed=12)
    ring.torus("ring", 0.34, 0.035, location=(0, 0, 0.012), segments=24, sides=4, flat=0.5)
    for i in range(4):
        a = D(45 + 90 * i)
        ring.box("ring_dark", (0.08, 0.08, 0.03), location=(0.34 * math.cos(a), 0.34 * math.sin(a), 0.02),
                 rotation=(0, 0, a + D(45)))
    ring.object("BuildingBaseRing", H.color_picker(), parent=base)
    return {"root": base}


# =========================================================================== towers

LEVELS = (1, 2, 3)  # a tower's levels; each has a complete mesh of its own


def arrow_mesh(level):
    """The arrow tower at a level: level 2 stands taller under a higher roof with blue banners on
    two sides; level 3 is taller again, with a two-tier roof, gold trims, banners on every side and
    a second crossbow."""
    m = H.Mesh(seed=21)
    lift = {1: 0.0, 2: 0.16, 3: 0.3}[level]   # how much higher the roof sits
    # stone footing
    m.cylinder("stone", 0.3, 0.4, location=(0, 0, 0.15), segments=8, radius_top=0.26, bone="TA_Base")
    m.cylinder("gold" if level == 3 else "stone_light", 0.31, 0.06, location=(0, 0, 0.37), segments=8,
               bone="TA_Base")
    if level >= 2:
        m.cylinder("stone_light", 0.32, 0.05, location=(0, 0, 0.05), segments=8, bone="TA_Base")
    # timber frame
    for sx in (-1, 1):
        for sy in (-1, 1):
            m.box("wood_dark", (0.07, 0.07, 0.72), location=(0.2 * sx, 0.2 * sy, 0.72), bone="TA_Body")
    for z in (0.55, 0.85):
        for a in range(4):
            rot = (0, 0, D(90 * a))
            off = H.trs((0, 0, 0), rot) @ Vector((0.0, 0.2, z))
            m.box("wood", (0.42, 0.045, 0.05), location=off, rotation=rot, bone="TA_Body")
    m.box("wood_light", (0.3, 0.3, 0.05), location=(0, 0, 0.5), bone="TA_Body")
    # banners hanging from the platform: front and back at level 2, every side at level 3
    if level >= 2:
        sides = (0, 2) if level == 2 else (0, 1, 2, 3)
        for a in sides:
            rot = (0, 0, D(90 * a))
            off = H.trs((0, 0, 0), rot) @ Vector((0.0, 0.245, 0.8))
            m.box("banner_blue", (0.2, 0.015, 0.36), location=off, rotation=rot, bone="TA_Body")
            trim = H.trs((0, 0, 0), rot) @ Vector((0.0, 0.252, 0.63))
            m.box("gold" if level == 3 else "cloth", (0.2, 0.01, 0.03), location=trim, rotation=rot,
                  bone="TA_Body")
    # platform with railing
    m.box("wood_light", (0.66, 0.66, 0.07), location=(0, 0, 1.04), bone="TA_Top")
    for a in range(4):
        rot = (0, 0, D(90 * a))
        off = H.trs((0, 0, 0), rot) @ Vector((0.0, 0.31, 1.14))
        m.box("gold" if level == 3 else "wood", (0.66, 0.04, 0.05), location=off, rotation=rot, bone="TA_Top")
        for t in (-0.3, 0.0, 0.3):
            p = H.trs((0, 0, 0), rot) @ Vector((t, 0.31, 1.1))
            m.box("wood_dark", (0.04, 0.04, 0.12), location=p, bone="TA_Top")
    # little crossbow on the platform (two at level 3)
    for sx in ((0.0,) if level < 3 else (-0.14, 0.14)):
        m.box("wood_dark", (0.05, 0.3, 0.05), location=(sx, -0.05, 1.17), bone="TA_Top")
        m.box("wood_light", (0.34 if level < 3 else 0.24, 0.04, 0.03), location=(sx, -0.17, 1.17), bone="TA_Top")
    # roof posts and pyramid roof, raised with the level
    post = 0.26 + lift
    for sx in (-1, 1):
        for sy in (-1, 1):
            m.box("wood_dark", (0.04, 0.04, post), location=(0.27 * sx, 0.27 * sy, 1.11 + post / 2), bone="TA_Roof")
    m.cone("roof_red", 0.56, 0.42, location=(0, 0, 1.56 + lift), rotation=(0, 0, D(45)), segments=4,
           bone="TA_Roof")
    m.cylinder("gold" if level == 3 else "roof_dark", 0.56, 0.05, location=(0, 0, 1.36 + lift),
               rotation=(0, 0, D(45)), segments=4, radius_top=0.5, bone="TA_Roof")
    if level == 3:
        # a second, smaller tier and a gold finial
        m.cone("roof_red", 0.34, 0.32, location=(0, 0, 1.86 + lift), rotation=(0, 0, D(45)), segments=4,
               bone="TA_Roof")
        m.cylinder("gold", 0.34, 0.04, location=(0, 0, 1.72 + lift), rotation=(0, 0, D(45)), segments=4,
                   radius_top=0.3, bone="TA_Roof")
    # flag
    top = 2.02 + lift + (0.2 if level == 3 else 0.0)
    m.cylinder("wood_dark", 0.015, 0.4 + lift, location=(0, 0, top - 0.12 - lift / 2), segments=4, bone="TA_Flag")
    m.box("banner_blue", (0.01, 0.2 + 0.06 * (level - 1), 0.12 + 0.03 * (level - 1)),
          location=(0, 0.1 + 0.03 * (level - 1), top), bone="TA_Flag")
    if level == 3:
        m.ball("gold", 0.045, location=(0, 0, top + 0.1), subdiv=1, bone="TA_Flag")
    return m


def tower_arrow():
    H.reset()
    bones = [
        ("TA_Base", (0, 0, 0), (0, 0, 0.35), None),
        ("TA_Body", (0, 0, 0.35), (0, 0, 1.0), "TA_Base"),
        ("TA_Top", (0, 0, 1.0), (0, 0, 1.22), "TA_Body"),
        ("TA_Roof", (0, 0, 1.22), (0, 0, 1.62), "TA_Top"),
        ("TA_Flag", (0, 0, 1.62), (0, 0, 1.95), "TA_Roof"),
    ]
    rig_ob = H.armature("TowerArrowRig", bones)
    body = arrow_mesh(1).object("TowerArrow", H.color_picker())
    H.skin(body, rig_ob)
    H.attach_to_skinned(H.empty("TowerArrowMuzzle", size=0.05), body, (0, -0.1, 1.2))
    levels = []
    for level in LEVELS[1:]:
        part = arrow_mesh(level).object("TowerArrowLevel%d" % level, H.color_picker(), parent=body)
        H.skin(part, rig_ob)
        levels.append(part)
    rig = Rig(rig_ob)
    H.bone_action(rig_ob, "Construction", {
        "TA_Base": channel(rig, "TA_Base", loc=[(0, (0, 0, -2.1)), (20, (0, 0, -0.2)), (28, (0, 0, 0))]),
        "TA_Top": channel(rig, "TA_Top", scale=[(0, 0.001), (18, 0.001), (28, 1.15), (34, 1.0)]),
        "TA_Roof": channel(rig, "TA_Roof", scale=[(0, 0.001), (26, 0.001), (36, 1.1), (40, 1.0)],
                           rot=[(0, (0, 0, -90)), (26, (0, 0, -90)), (40, (0, 0, 0))]),
        "TA_Flag": channel(rig, "TA_Flag", scale=[(0, 0.001), (38, 0.001), (46, 1.0), (48, 1.0)]),
    })
    H.bone_action(rig_ob, "idle", {
        "TA_Flag": channel(rig, "TA_Flag", rot=[(0, (0, 0, 0)), (12, (0, 0, 14)), (24, (0, 0, 0)),
                                                (36, (0, 0, -14)), (48, (0, 0, 0))]),
    })
    return {"root": body, "rig": rig_ob, "levels": levels, "poses": [("Construction", 12), ("idle", 12)]}


def cannon_mesh(level):
    """The cannon tower at a level: level 2 has a bigger barrel, iron bands round its drum and red
    banners on both sides; level 3 a bigger barrel again with gold bands, a taller crenellated top
    and banners all round."""
    m = H.Mesh(seed=31)
    scale = {1: 1.0, 2: 1.2, 3: 1.42}[level]   # of the barrel
    crown = {1: 0.14, 2: 0.14, 3: 0.22}[level]   # height of the battlements
    m.cylinder("stone", 0.42, 0.58, location=(0, 0, 0.27), segments=10, radius_top=0.38, bone="TC_Base")
    m.cylinder("stone_dark", 0.44, 0.08, location=(0, 0, 0.04), segments=10, bone="TC_Base")
    m.cylinder("gold" if level == 3 else "stone_light", 0.42, 0.06, location=(0, 0, 0.57), segments=10,
               bone="TC_Top")
    for i in range(10):
        a = D(36 * i)
        if i % 2 == 0:
            m.box("stone_light", (0.16, 0.1, crown), location=(0.36 * math.cos(a), 0.36 * math.sin(a), 0.59 + crown / 2),
                  rotation=(0, 0, a + D(90)), bone="TC_Top")
    m.box("iron", (0.5, 0.05, 0.02), location=(0, 0.0, 0.43), bone="TC_Base")
    if level >= 2:
        for z in (0.16, 0.36):
            m.cylinder("gold" if level == 3 else "iron", 0.425 - 0.07 * z, 0.03, location=(0, 0, z), segments=10,
                       bone="TC_Base")
    banners = {1: ((0, -1),), 2: ((0, -1), (0, 1)), 3: ((0, -1), (0, 1), (-1, 0), (1, 0))}[level]
    for bx, by in banners:
        rot = (0, 0, D(90)) if bx else (0, 0, 0)
        m.box("banner_red", (0.16, 0.01, 0.26 + 0.04 * (level - 1)), location=(0.41 * bx, 0.41 * by, 0.3),
              rotation=rot, bone="TC_Base")
        if level == 3:
            m.box("gold", (0.16, 0.012, 0.025), location=(0.415 * bx, 0.415 * by, 0.45), rotation=rot,
                  bone="TC_Base")
    # carriage
    for sx in (-1, 1):
        m.box("wood", (0.05, 0.34, 0.16), location=(0.1 * sx, 0.0, 0.7), bone="TC_Top")
        m.cylinder("wood_dark", 0.09, 0.04, location=(0.14 * sx, 0.08, 0.66), rotation=(0, D(90), 0),
                   segments=8, bone="TC_Top")
        m.cylinder("wood_dark", 0.09, 0.04, location=(0.14 * sx, -0.12, 0.66), rotation=(0, D(90), 0),
                   segments=8, bone="TC_Top")
    m.box("wood_dark", (0.25, 0.3, 0.05), location=(0, 0, 0.63), bone="TC_Top")
    # barrel along the barrel bone, pitched up; bigger with the level, its mouth where it was
    pitch = math.atan2(0.16, 0.5)
    axis = Vector((0, -math.cos(pitch), math.sin(pitch)))
    mouth = Vector((0, -0.47, 0.975))
    length = 0.55 * scale
    centre = mouth - axis * (length / 2 + 0.03)
    m.cylinder("iron_dark", 0.085 * scale, length, location=centre, rotation=(D(90) - pitch, 0, 0),
               segments=10, radius_top=0.065 * scale, bone="TC_Barrel")
    m.cylinder("gold" if level == 3 else "iron", 0.08 * scale, 0.06, location=mouth - axis * 0.03,
               rotation=(D(90) - pitch, 0, 0), segments=10, bone="TC_Barrel")
    m.ball("iron", 0.09 * scale, location=mouth - axis * (length + 0.06), subdiv=1, bone="TC_Barrel")
    for k in range(level):
        m.cylinder("gold", 0.09 * scale, 0.03, location=mouth - axis * (length * (0.75 - 0.2 * k)),
                   rotation=(D(90) - pitch, 0, 0), segments=10, bone="TC_Barrel")
    return m


def tower_cannon():
    H.reset()
    bones = [
        ("TC_Base", (0, 0, 0), (0, 0, 0.55), None),
        ("TC_Top", (0, 0, 0.55), (0, 0, 0.75), "TC_Base"),
        ("TC_Barrel", (0, 0.05, 0.82), (0, -0.45, 0.98), "TC_Top"),
    ]
    rig_ob = H.armature("TowerCannonRig", bones)
    body = cannon_mesh(1).object("TowerCannon", H.color_picker())
    H.skin(body, rig_ob)
    H.attach_to_skinned(H.empty("TowerCannonMuzzle", size=0.05), body, (0, -0.5, 0.99))
    levels = []
    for level in LEVELS[1:]:
        part = cannon_mesh(level).object("TowerCannonLevel%d" % level, H.color_picker(), parent=body)
        H.skin(part, rig_ob)
        levels.append(part)
    rig = Rig(rig_ob)
    H.bone_action(rig_ob, "Construction", {
        "TC_Base": channel(rig, "TC_Base", loc=[(0, (0, 0, -1.4)), (30, (0, 0, -0.1)), (36, (0, 0, 0))]),
        "TC_Top": channel(rig, "TC_Top", scale=[(0, 0.001), (30, 0.001), (40, 1.12), (44, 1.0)]),
        "TC_Barrel": channel(rig, "TC_Barrel", scale=[(0, 0.001), (38, 0.001), (46, 1.1), (48, 1.0)],
                             rot=[(0, (25, 0, 0)), (38, (25, 0, 0)), (48, (0, 0, 0))]),
    })
    H.bone_action(rig_ob, "idle", {
        "TC_Barrel": channel(rig, "TC_Barrel", rot=[(0, (0, 0, 0)), (36, (0, 0, 6)), (72, (0, 0, 0)),
                                                    (108, (0, 0, -6)), (144, (0, 0, 0))]),
    })
    return {"root": body, "rig": rig_ob, "levels": levels, "poses": [("Construction", 24), ("idle", 36)]}


# =========================================================================== monsters

def core_crystal(name_suffix, colour):
    return H.emissive("CoreCrystal" + name_suffix, colour, 1.0)


def enemy_common(body, rig_ob, core_mesh, crystal, target_height, radius, height):
    """Kinematic capsule, the glowing core (skinned to the same rig) and the aiming point."""
    H.props(body, Body="BoundingCapsule", ActorType=2, BodyRadius=radius, BodyHeight=height, BodyOrientation=1,
            Gravity=0)
    core = core_mesh.object("Core", crystal, parent=body)
    H.skin(core, rig_ob)
    H.attach_to_skinned(H.empty("EnemyTarget", size=0.1), body, (0, 0, target_height))
    return core


def enemy_floating():
    """A hovering knot of boulders around a glowing heart; 0.67 units tall before its 0.6 scale."""
    H.reset()
    bones = [("FS_Root", (0, 0, 0), (0, 0, 0.2), None),
             ("FS_Body", (0, 0, 0.2), (0, 0, 0.4), "FS_Root"),
             ("FS_Heart", (0, 0, 0.4), (0, 0, 0.5), "FS_Body"),
             ("FS_Orbit", (0, 0, 0.4), (0, 0, 0.6), "FS_Body")]
    chunks = []
    for i in range(6):
        name = "FS_Chunk%d" % i
        a = D(60 * i + 15)
        up = 0.07 if i % 2 else -0.05
        head = (0.16 * math.cos(a), 0.16 * math.sin(a), 0.4 + up)
        bones.append((name, head, (head[0], head[1], head[2] + 0.12), "FS_Body"))
        chunks.append((name, a, up))
    rig_ob = H.armature("FloatingStoneRig", bones)
    m = H.Mesh(seed=41)
    for name, a, up in chunks:
        m.ball(["golem", "golem_light", "golem_dark"][int(name[-1]) % 3], 0.13,
               location=(0.17 * math.cos(a), 0.17 * math.sin(a), 0.4 + up), scale=(1.0, 0.8, 0.9),
               rotation=(a, 0.3, a), subdiv=1, jitter=0.25, bone=name)
    m.ball("golem_dark", 0.12, location=(0, 0.02, 0.56), scale=(1.1, 1.0, 0.6), subdiv=1, jitter=0.2, bone="FS_Body")
    m.ball("golem", 0.11, location=(0, 0.02, 0.25), scale=(1.0, 1.0, 0.7), subdiv=1, jitter=0.2, bone="FS_Body")
    # eyes on the front
    for sx in (-1, 1):
        m.box("ember", (0.04, 0.02, 0.03), location=(0.06 * sx, -0.26, 0.47), bone="FS_Body")
    # three shards circling the body
    for i in range(3):
        a = D(120 * i)
        m.cone("basalt_light", 0.05, 0.16, location=(0.32 * math.cos(a), 0.32 * math.sin(a), 0.42),
               rotation=(D(20), D(10 * i), a), segments=4, bone="FS_Orbit")
    body = m.object("EnemyFloatingStoneMonster", H.color_picker())
    H.skin(body, rig_ob)
    core_mesh = H.Mesh(seed=42)
    core_mesh.ball("crystal", 0.085, location=(0, 0, 0.42), scale=(1, 1, 1.35), subdiv=0, bone="FS_Heart")
    enemy_common(body, rig_ob, core_mesh, core_crystal("Floating", (0.35, 0.85, 1.0)), 0.4, 0.3, 0.35)

    rig = Rig(rig_ob)
    bob = [(0, (0, 0, 0)), (12, (0, 0, 0.05)), (24, (0, 0, 0))]
    H.bone_action(rig_ob, "Walk", {
        "FS_Root": channel(rig, "FS_Root", loc=bob, rot=[(0, (6, 0, 0)), (12, (9, 0, 0)), (24, (6, 0, 0))]),
        "FS_Orbit": channel(rig, "FS_Orbit", rot=[(0, (0, 0, 0)), (8, (0, 0, 120)), (16, (0, 0, 240)),
                                                  (24, (0, 0, 360))]),
        "FS_Heart": channel(rig, "FS_Heart", scale=[(0, 1.0), (12, 1.2), (24, 1.0)]),
    }, interpolation='LINEAR')
    H.bone_action(rig_ob, "Attack", {
        "FS_Root": channel(rig, "FS_Root", loc=[(0, (0, 0, 0)), (8, (0, 0.15, 0.1)), (14, (0, -0.35, -0.05)),
                                                (24, (0, 0, 0))],
                           rot=[(0, (0, 0, 0)), (8, (-20, 0, 0)), (14, (30, 0, 0)), (24, (0, 0, 0))]),
        "FS_Heart": channel(rig, "FS_Heart", scale=[(0, 1.0), (12, 1.6), (24, 1.0)]),
    })
    dying = {"FS_Root": channel(rig, "FS_Root", loc=[(0, (0, 0, 0)), (10, (0, 0, 0.08)), (24, (0, 0, -0.18))]),
             "FS_Heart": channel(rig, "FS_Heart", scale=[(0, 1.0), (8, 1.5), (24, 0.3), (36, 0.2)]),
             "FS_Orbit": channel(rig, "FS_Orbit", loc=[(0, (0, 0, 0)), (24, (0, 0, -0.3))],
                                 scale=[(0, 1.0), (24, 1.5), (36, 1.5)])}
    for name, a, up in chunks:
        out = (math.cos(a) * 0.25, math.sin(a) * 0.25, -0.2 - up)
        dying[name] = channel(rig, name, loc=[(0, (0, 0, 0)), (8, (out[0] * 0.4, out[1] * 0.4, 0.05)),
                                             (24, out), (36, out)],
                              rot=[(0, (0, 0, 0)), (24, (70 * math.sin(a), 60, 40 * math.cos(a))),
                                   (36, (70 * math.sin(a), 60, 40 * math.cos(a)))])
    H.bone_action(rig_ob, "Dying", dying)
    return {"root": body, "rig": rig_ob, "poses": [("Walk", 6), ("Attack", 14), ("Dying", 36)]}


def golem(name, prefix, s, style):
    """A two-legged stone golem. s scales the whole figure; style picks proportions and colours."""
    H.reset()
    massive = style == "massive"
    hip_z = (0.8 if massive else 0.9) * s
    chest_top = (2.6 if massive else 2.0) * s
    shoulder_x = (0.95 if massive else 0.62) * s
    hand_z = (0.25 if massive else 0.85) * s
    leg_x = (0.42 if massive else 0.28) * s
    hunch = -0.35 * s if massive else 0.0
    head_z = chest_top - (0.3 if massive else 0.0) * s
    head_y = hunch * 1.2 - (0.45 if massive else 0.0) * s
    P = prefix
    bones = [(P + "Hips", (0, 0, hip_z), (0, 0, hip_z + 0.2 * s), None),
             (P + "Chest", (0, 0, hip_z + 0.2 * s), (0, hunch, chest_top), P + "Hips"),
             (P + "Head", (0, head_y, head_z), (0, head_y, head_z + 0.4 * s), P + "Chest")]
    for side, sx in (("L", 1), ("R", -1)):
        bones.append((P + "Arm" + side, (sx * shoulder_x, hunch, chest_top - 0.15 * s),
                      (sx * (shoulder_x + 0.05 * s), hunch * 0.5, hand_z), P + "Chest"))
        bones.append((P + "Leg" + side, (sx * leg_x, 0, hip_z), (sx * leg_x, 0, 0.05 * s), P + "Hips"))
    rig_ob = H.armature(name + "Rig", bones)

    c_main, c_light, c_dark, c_accent = (("basalt", "basalt_light", "rock_dark", "ember") if massive
                                         else ("golem", "golem_light", "golem_dark", "golem_moss"))
    m = H.Mesh(seed=51 if massive else 61)
    # legs
    for side, sx in (("L", 1), ("R", -1)):
        b = P + "Leg" + side
        m.box(c_dark, (0.42 * s, 0.46 * s, hip_z * 0.62), location=(sx * leg_x, 0, hip_z * 0.62), bone=b, taper=0.85)
        m.box(c_main, (0.5 * s, 0.62 * s, 0.22 * s), location=(sx * leg_x, -0.06 * s, 0.11 * s), bone=b)
    # pelvis and torso
    m.box(c_main, (1.0 * s if massive else 0.78 * s, 0.55 * s, 0.35 * s), location=(0, 0, hip_z + 0.1 * s),
          bone=P + "Hips")
    torso_h = chest_top - hip_z - 0.25 * s
    m.box(c_main, ((1.7 if massive else 1.05) * s, (1.0 if massive else 0.62) * s, torso_h),
          location=(0, hunch * 0.5, hip_z + 0.25 * s + torso_h / 2), bone=P + "Chest",
          taper=1.25 if massive else 1.15)
    m.box(c_light, ((1.2 if massive else 0.8) * s, 0.2 * s, torso_h * 0.45),
          location=(0, hunch * 0.5 - (0.5 if massive else 0.31) * s, hip_z + 0.3 * s + torso_h * 0.6),
          bone=P + "Chest")
    # shoulder boulders and back crystals / moss
    for sx in (-1, 1):
        m.ball(c_light, (0.42 if massive else 0.28) * s, location=(sx * shoulder_x * 0.95, hunch, chest_top - 0.1 * s),
               subdiv=1, jitter=0.18, bone=P + "Chest")
    if massive:
        for i, (x, z, t) in enumerate([(-0.35, 2.5, 0.2), (0.1, 2.7, -0.1), (0.45, 2.45, 0.3), (-0.05, 2.2, 0.0),
                                               (-0.6, 2.2, -0.3), (0.65, 2.1, 0.25), (0.3, 1.9, 0.1)]):
            m.cone("crystal" if i % 2 else c_accent, 0.14 * s, 0.75 * s, location=(x * s, 0.5 * s + hunch * 0.5, z * s),
                   rotation=(D(-35), D(t * 60), 0), segments=5, bone=P + "Chest")
    else:
        m.box(c_accent, (0.7 * s, 0.3 * s, 0.12 * s), location=(0, 0.05 * s, chest_top + 0.02 * s), bone=P + "Chest")
    # head
    hz = head_z + 0.2 * s
    if massive:
        m.box(c_light, (0.62 * s, 0.55 * s, 0.46 * s), location=(0, head_y - 0.12 * s, hz + 0.1 * s),
              bone=P + "Head", taper=0.75)
        m.box(c_dark, (0.5 * s, 0.3 * s, 0.14 * s), location=(0, head_y - 0.3 * s, hz - 0.16 * s), bone=P + "Head")
    else:
        m.box(c_main, (0.42 * s, 0.44 * s, 0.38 * s), location=(0, head_y - 0.05 * s, hz), bone=P + "Head",
              taper=0.8)
    for sx in (-1, 1):
        m.box("ember" if not massive else "crystal", (0.08 * s, 0.04 * s, 0.05 * s),
              location=(sx * 0.12 * s, head_y - (0.4 if massive else 0.28) * s, hz + (0.14 if massive else 0.04) * s),
              bone=P + "Head")
    # arms and fists
    for side, sx in (("L", 1), ("R", -1)):
        b = P + "Arm" + side
        top = Vector((sx * shoulder_x, hunch, chest_top - 0.15 * s))
        bottom = Vector((sx * (shoulder_x + 0.05 * s), hunch * 0.5, hand_z))
        mid = (top + bottom) / 2
        length = (top - bottom).length
        tilt = math.atan2(bottom.y - top.y, top.z - bottom.z)
        m.box(c_main, ((0.42 if massive else 0.3) * s, (0.42 if massive else 0.3) * s, length * 0.85),
              location=mid, rotation=(-tilt, 0, 0), bone=b, taper=0.8)
        m.ball(c_dark, (0.36 if massive else 0.24) * s, location=bottom, subdiv=1, jitter=0.15, bone=b)
    body = m.object(name, H.color_picker())
    H.skin(body, rig_ob)

    core_mesh = H.Mesh(seed=71)
    core_z = hip_z + 0.3 * s + torso_h * 0.6
    front = hunch * 0.5 - (0.55 if massive else 0.37) * s
    core_mesh.ball("crystal", (0.2 if massive else 0.15) * s, location=(0, front, core_z), scale=(1, 0.7, 1.3),
                   subdiv=0, bone=P + "Chest")
    colour = (1.0, 0.45, 0.15) if massive else (0.4, 1.0, 0.55)
    enemy_common(body, rig_ob, core_mesh, core_crystal("Massive" if massive else "Walking", colour),
                 core_z, (0.9 if massive else 0.55) * s, chest_top * (0.9 if massive else 0.8))

    rig = Rig(rig_ob)
    n = 32 if not massive else 40
    h = n // 2
    q = n // 4
    swing = 22 if not massive else 16
    walk = {
        P + "Hips": channel(rig, P + "Hips", loc=[(0, (0, 0, 0)), (q, (0, 0, 0.05 * s)), (h, (0, 0, 0)),
                                                  (h + q, (0, 0, 0.05 * s)), (n, (0, 0, 0))],
                            rot=[(0, (0, 0, 4)), (h, (0, 0, -4)), (n, (0, 0, 4))]),
        P + "LegL": channel(rig, P + "LegL", rot=[(0, (swing, 0, 0)), (h, (-swing, 0, 0)), (n, (swing, 0, 0))]),
        P + "LegR": channel(rig, P + "LegR", rot=[(0, (-swing, 0, 0)), (h, (swing, 0, 0)), (n, (-swing, 0, 0))]),
        P + "ArmL": channel(rig, P + "ArmL", rot=[(0, (-swing, 0, 0)), (h, (swing, 0, 0)), (n, (-swing, 0, 0))]),
        P + "ArmR": channel(rig, P + "ArmR", rot=[(0, (swing, 0, 0)), (h, (-swing, 0, 0)), (n, (swing, 0, 0))]),
        P + "Head": channel(rig, P + "Head", rot=[(0, (0, 0, -5)), (h, (0, 0, 5)), (n, (0, 0, -5))]),
    }
    H.bone_action(rig_ob, "Walk", walk)
    a = 36 if not massive else 44
    H.bone_action(rig_ob, "Attack", {
        P + "ArmL": channel(rig, P + "ArmL", rot=[(0, (0, 0, 0)), (a * 0.4, (-160, 0, -10)), (a * 0.6, (-50, 0, 0)),
                                                  (a * 0.75, (-55, 0, 0)), (a, (0, 0, 0))]),
        P + "ArmR": channel(rig, P + "ArmR", rot=[(0, (0, 0, 0)), (a * 0.4, (-160, 0, 10)), (a * 0.6, (-50, 0, 0)),
                                                  (a * 0.75, (-55, 0, 0)), (a, (0, 0, 0))]),
        P + "Chest": channel(rig, P + "Chest", rot=[(0, (0, 0, 0)), (a * 0.4, (-12, 0, 0)), (a * 0.6, (22, 0, 0)),
                                                    (a * 0.75, (20, 0, 0)), (a, (0, 0, 0))]),
        P + "Hips": channel(rig, P + "Hips", loc=[(0, (0, 0, 0)), (a * 0.6, (0, 0, -0.08 * s)), (a, (0, 0, 0))]),
    })
    d = 40
    H.bone_action(rig_ob, "Dying", {
        P + "Hips": channel(rig, P + "Hips", loc=[(0, (0, 0, 0)), (d * 0.4, (0, 0, -0.3 * hip_z)),
                                                  (d * 0.8, (0, 0, -0.75 * hip_z)), (d, (0, 0, -0.8 * hip_z))]),
        P + "Chest": channel(rig, P + "Chest", rot=[(0, (0, 0, 0)), (d * 0.5, (-25, 0, 8)), (d * 0.8, (-80, 0, 12)),
                                                    (d, (-85, 0, 12))]),
        P + "Head": channel(rig, P + "Head", loc=[(0, (0, 0, 0)), (d * 0.6, (0.2 * s, -0.3 * s, 0.1 * s)),
                                                  (d, (0.5 * s, -0.8 * s, -0.2 * s))],
                            rot=[(0, (0, 0, 0)), (d, (40, 30, 60))]),
        P + "ArmL": channel(rig, P + "ArmL", rot=[(0, (0, 0, 0)), (d * 0.6, (0, 50, 0)), (d, (0, 85, 0))]),
        P + "ArmR": channel(rig, P + "ArmR", rot=[(0, (0, 0, 0)), (d * 0.6, (0, -50, 0)), (d, (0, -85, 0))]),
        P + "LegL": channel(rig, P + "LegL", rot=[(0, (0, 0, 0)), (d * 0.5, (30, 10, 0)), (d, (60, 25, 0))]),
        P + "LegR": channel(rig, P + "LegR", rot=[(0, (0, 0, 0)), (d * 0.5, (30, -10, 0)), (d, (60, -25, 0))]),
    })
    return {"root": body, "rig": rig_ob, "poses": [("Walk", q), ("Attack", int(a * 0.4)), ("Dying", d)]}


def enemy_walking():
    # 3.75 units tall: the prototype scale 0.2 makes it 0.75 on the road, tall enough to read from the
    # first camera
    return golem("EnemyWalkingStoneMonster", "WS_", 1.5, "walking")


def enemy_massive():
    # 4.2 units tall: the prototype scale 0.32 makes it 1.35 units on the road
    return golem("EnemyMassiveStoneMonster", "MS_", 1.35, "massive")


# =========================================================================== projectiles

def projectile_arrow():
    """Points along +Z here, which is the file's +Y: the tower turns the arrow's up axis onto its flight."""
    H.reset()
    m = H.Mesh(seed=81)
    m.cylinder("wood_light", 0.035, 1.0, location=(0, 0, 0.0), segments=5)
    m.cone("iron", 0.08, 0.2, location=(0, 0, 0.6), segments=4)
    arrow = m.object("ProjectileArrow", H.color_picker())
    H.props(arrow, Body="BoundingBox", ActorType=1, BodyBoxSize=[0.3, 1.2, 0.3], Density=2.0)
    f = H.Mesh(seed=82)
    for i in range(3):
        a = D(120 * i)
        f.box("banner_red", (0.01, 0.16, 0.22), location=(0.07 * math.cos(a), 0.07 * math.sin(a), -0.42),
              rotation=(0, 0, a + D(90)))
    f.object("ProjectileArrowFletching", H.color_picker(), parent=arrow)
    return {"root": arrow}


def projectile_cannonball():
    H.reset()
    m = H.Mesh(seed=91)
    m.ball("iron_dark", 0.5, subdiv=2)
    m.box("iron", (0.12, 0.12, 0.1), location=(0, 0, 0.5))
    ball = m.object("ProjectileCannonball", H.color_picker())
    H.props(ball, Body="BoundingSphere", ActorType=1, BodyRadius=0.5, Density=4.0)
    e = H.Mesh(seed=92)
    e.ball("ember", 1.0, subdiv=2, jitter=0.12)
    boom = e.object("ProjectileCannonballExplosion", H.emissive("Explosion", (1.0, 0.42, 0.08), 1.0), parent=ball)
    boom.scale = (0.01, 0.01, 0.01)   # hidden inside the ball until the impact resets its transform
    return {"root": ball}


PROTOTYPES = {
    "tower_base": tower_base,
    "tower_arrow": tower_arrow,
    "tower_cannon": tower_cannon,
    "enemy_floating_stone_monster": enemy_floating,
    "enemy_walking_stone_monster": enemy_walking,
    "enemy_massive_stone_monster": enemy_massive,
    "projectile_arrow": projectile_arrow,
    "projectile_cannonball": projectile_cannonball,
}
