"""The looping frames of the "tv" texture: the Hollow Heart spinning above the valley's crest,
rendered with Cycles on the CPU (24 frames, one second at the texture's 24 frames per second)."""
import math
import os

import bpy

import hollow as H

FRAMES = 24
SIZE = 128


def render(folder):
    H.reset()
    scene = bpy.context.scene
    bg = H.Mesh()
    bg.box("banner_blue", (4, 0.1, 4), location=(0, 1.0, 0))
    bg.torus("gold", 1.05, 0.06, location=(0, 0.9, 0), rotation=(math.radians(90), 0, 0), segments=24)
    bg.object("Backdrop", H.plain("TvBackdrop", (0.05, 0.1, 0.3), 0.8))
    c = H.Mesh()
    c.cylinder("crystal", 0.35, 0.9, location=(0, 0, 0), segments=6, radius_top=0.25)
    c.cone("crystal", 0.25, 0.45, location=(0, 0, 0.67), segments=6)
    c.cone("crystal", 0.35, 0.4, location=(0, 0, -0.65), rotation=(math.pi, 0, 0), segments=6)
    heart = c.object("Heart", H.emissive("TvHeart", (0.45, 0.85, 1.0), 2.0))
    heart.rotation_mode = 'XYZ'
    cam = H.link(bpy.data.objects.new("cam", bpy.data.cameras.new("cam")))
    cam.location = (0, -4.2, 0.2)
    cam.rotation_mode = 'QUATERNION'
    cam.rotation_quaternion = H.look_rotation(cam.location, (0, 0, 0))
    cam.data.lens = 50
    scene.camera = cam
    key = H.link(bpy.data.objects.new("key", bpy.data.lights.new("key", 'POINT')))
    key.location = (-2, -3, 2)
    key.data.energy = 300
    world = bpy.data.worlds.new("w")
    world.use_nodes = True
    world.node_tree.nodes["Background"].inputs["Color"].default_value = (0.02, 0.03, 0.06, 1)
    scene.world = world
    scene.render.engine = 'CYCLES'
    scene.cycles.device = 'CPU'
    scene.cycles.samples = 16
    scene.cycles.seed = 3
    scene.cycles.use_denoising = False
    scene.render.resolution_x = scene.render.resolution_y = SIZE
    scene.render.image_settings.file_format = 'PNG'
    scene.render.image_settings.color_mode = 'RGB'
    scene.view_settings.view_transform = 'Standard'
    H.no_render_stamps(scene)
    os.makedirs(folder, exist_ok=True)
    for f in range(FRAMES):
        heart.rotation_euler = (0, 0, 2 * math.pi * f / FRAMES / 3)   # hexagonal: a third of a turn loops
        heart.location = (0, 0, 0.06 * math.sin(2 * math.pi * f / FRAMES))
        scene.render.filepath = os.path.join(folder, "frame_%03d.png" % f)
        bpy.ops.render.render(write_still=True)
