"""The main menu "menu_main": a forest clearing before the ruined gate into Hollowmere's valley.

The camera flies in over the trees, halts in front of the two wooden signs (the game pauses the "Scene"
animation at 52 % of its length, so the camera holds still around that moment), and after a click on
"WoodStart" flies on through the gate, where the level takes over.
"""
import math
import os
import random

import bpy
from mathutils import Vector

import hollow as H
import level

FPS = 24
LENGTH = 240          # frames of "Scene"
PAUSE = 0.52          # the game halts the flight here
SEED = 5151


def ground():
    n, r = 40, 30.0
    verts, faces = [], []
    for j in range(n + 1):
        for i in range(n + 1):
            x, y = -r + 2 * r * i / n, -r + 2 * r * j / n
            d = math.hypot(x, y - 2)
            h = 0.0 if abs(x) < 3.5 and y > -12 else 0.25 * math.sin(x * 0.7) * math.cos(y * 0.5)
            h += max(0.0, d - 14) * 0.5 if y < 6 else 0.0
            h += max(0.0, abs(x) - 6) * 0.6 if y > 6 else 0.0
            verts.append((x, y, h - 0.03))
    for j in range(n):
        for i in range(n):
            a = j * (n + 1) + i
            faces.append((a, a + 1, a + n + 2, a + n + 1))
    m = H.Mesh()
    m.faces_from("@box", verts, faces)
    ob = m.object("MenuGround", H.valley_ground(), tile=4.0)
    uv = ob.data.uv_layers[0].data
    for loop in ob.data.loops:
        co = ob.data.vertices[loop.vertex_index].co
        uv[loop.index].uv = (co.x / 4.0, co.y / 4.0)
    for f in ob.data.polygons:
        f.use_smooth = True
    return ob


def path_and_trees():
    rng = random.Random(SEED + 1)
    m = H.Mesh(seed=SEED + 1)
    for k in range(40):
        y0, y1 = -14 + k * 0.8, -14 + (k + 1) * 0.8
        m.faces_from(rng.choice(["dirt", "dirt_light", "cobble_dark"]),
                     [(-0.7, y0, 0.02), (0.7, y0, 0.02), (0.7, y1, 0.02), (-0.7, y1, 0.02)], [(0, 1, 2, 3)])
    m.object("MenuPath", H.color_picker())
    t = H.Mesh(seed=SEED + 2)
    placed = []
    while len(placed) < 70:
        x, y = rng.uniform(-24, 24), rng.uniform(-22, 22)
        if abs(x) < 4.2 and y > -16:
            continue
        if math.hypot(x, y - 8) < 5:
            continue
        if any((Vector((x, y, 0)) - q).length < 1.6 for q in placed):
            continue
        p = Vector((x, y, 0))
        s = rng.uniform(1.1, 2.0)
        (level.pine if rng.random() < 0.6 else level.leafy)(t, rng, p, s)
        placed.append(p)
    for k in range(20):
        x, y = rng.uniform(-12, 12), rng.uniform(-12, 6)
        if abs(x) < 2.5:
            continue
        t.ball(rng.choice(["rock", "stone", "moss"]), rng.uniform(0.15, 0.45), location=(x, y, 0), scale=(1, 1, 0.6),
               jitter=0.3)
    t.object("MenuForest", H.color_picker())


def gate():
    m = H.Mesh(seed=SEED + 3)
    for sx in (-1, 1):
        m.box("stone_light", (1.0, 1.0, 4.2), location=(sx * 2.2, 8, 2.1), taper=0.9)
        m.box("stone", (1.3, 1.3, 0.5), location=(sx * 2.2, 8, 0.25))
    m.box("stone_light", (5.6, 1.2, 0.8), location=(0, 8, 4.6))
    m.box("banner_blue", (1.2, 0.05, 2.0), location=(0, 7.35, 3.3))
    m.box("gold", (0.4, 0.06, 0.4), location=(0, 7.3, 3.6), rotation=(0, math.radians(45), 0))
    for sx in (-1, 1):
        m.ball("cliff", 3.5, location=(sx * 8.5, 9, 2.0), scale=(1.3, 1.0, 1.1), jitter=0.2)
        m.ball("cliff_dark", 3.0, location=(sx * 13, 11, 3.0), scale=(1.2, 1.0, 1.3), jitter=0.2)
    m.object("ValleyGate", H.color_picker())


def letters(text, size):
    """Carved letters as a mesh, centred on the origin in the x-z plane, facing -Y."""
    curve = bpy.data.curves.new("_text", 'FONT')
    curve.body = text
    curve.size = size
    curve.extrude = 0.02
    curve.align_x = 'CENTER'
    curve.align_y = 'CENTER'
    ob = H.link(bpy.data.objects.new("_text", curve))
    ob.rotation_euler = (math.radians(90), 0, 0)
    bpy.context.view_layer.update()
    deps = bpy.context.evaluated_depsgraph_get()
    me = bpy.data.meshes.new_from_object(ob.evaluated_get(deps))
    me.transform(ob.matrix_world)
    bpy.data.objects.remove(ob)
    return me


def sign(name, text, location, yaw):
    """A signpost: the node carries the posts and the pick box; first child the board, then the letters."""
    m = H.Mesh(seed=len(name))
    for sx in (-1, 1):
        m.box("wood_dark", (0.12, 0.12, 1.75), location=(sx * 0.62, 0.05, -0.43), rotation=(0, 0, 0))
    m.box("wood_dark", (0.3, 0.3, 0.12), location=(-0.62, 0.05, -1.28))
    m.box("wood_dark", (0.3, 0.3, 0.12), location=(0.62, 0.05, -1.28))
    post = m.object(name, H.color_picker())
    post.location = location
    post.rotation_euler = (0, 0, yaw)
    H.props(post, Body="BoundingBox", ActorType=0, BodyBoxSize=[1.6, 0.62, 0.3])
    b = H.Mesh(seed=len(name) + 1)
    b.box("wood_light", (1.5, 0.1, 0.52), location=(0, 0, 0))
    b.box("wood", (1.6, 0.12, 0.06), location=(0, 0, 0.28))
    b.box("wood", (1.6, 0.12, 0.06), location=(0, 0, -0.28))
    b.cone("wood", 0.12, 0.3, location=(0.86 if "Start" in name else -0.86, 0, 0),
           rotation=(0, math.radians(90 if "Start" in name else -90), 0), segments=4)
    b.object(name + "Board", H.color_picker(), parent=post)
    me = letters(text, 0.3)
    me.transform(H.trs((0, -0.07, 0)))
    me.name = name + "Text"
    me.materials.append(H.plain("SignLetters", (0.08, 0.05, 0.03), 0.9))
    H.link(bpy.data.objects.new(name + "Text", me), post)
    return post


def camera():
    cam = H.link(bpy.data.objects.new("camera_menu", bpy.data.cameras.new("camera_menu")))
    cam.data.lens = 30
    cam.data.clip_start = 0.1
    cam.data.clip_end = 300
    view_eye, view_at = Vector((0.0, -6.2, 1.9)), Vector((0.0, -1.8, 1.15))
    cam.location = view_eye
    cam.rotation_mode = 'QUATERNION'
    cam.rotation_quaternion = H.look_rotation(view_eye, view_at)
    p = PAUSE * LENGTH
    points = [(0, (9, -34, 16), (0, -2, 1)), (50, (5, -22, 8), (0, -2, 1)), (95, (1.0, -11, 3.2), (0, -2, 1.1)),
              (p - 10, view_eye + Vector((0, -0.3, 0.05)), view_at), (p, view_eye, view_at),
              (p + 10, view_eye + Vector((0, 0.25, 0.0)), view_at + Vector((0, 0.6, 0.1))),
              (165, (0, 2.0, 2.2), (0, 9, 2.4)), (205, (0, 9.5, 2.4), (0, 20, 1.5)), (LENGTH, (0, 17, 4.5), (0, 30, 0))]
    level.flight(cam, "Scene", points, LENGTH)
    return cam


def build():
    H.reset(FPS)
    ground()
    path_and_trees()
    gate()
    sign("WoodStart", "START", (-1.1, -1.9, 1.3), math.radians(12))
    sign("WoodExit", "EXIT", (1.15, -1.7, 1.25), math.radians(-14))
    camera()
    level.lights_and_sky()
    return {}


def previews(built, folder):
    cam = bpy.data.objects["camera_menu"]
    H.preview(os.path.join(folder, "menu_main_signs.png"), cam.location, (0.0, -1.8, 1.15), lens=30,
              resolution=(800, 600), samples=20)
    H.preview(os.path.join(folder, "menu_main_wide.png"), (6, -20, 7), (0, 2, 1.5), lens=30,
              resolution=(800, 600), samples=20)
