"""Turntable pictures of the towers for the building cards, rendered with Cycles on the CPU.

blender -b --factory-startup -noaudio -t 1 -P tools/data/blender/cards.py -- OUT_DIR [--frames N] [TOWER ...]

Writes OUT_DIR/ARROW/frame_000.png ... and OUT_DIR/CANNON/frame_000.png ...: the tower on a small
grassy clump, transparent around it, turning once over FRAMES frames (the camera and the lights
orbit together, so the lighting stays put while the tower turns). tools/data/make_hud.py
composites these onto the card frames; they are not game data themselves.
TOWER is "ARROW" or "CANNON"; without it both are rendered.
"""
import math
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

import bpy  # noqa: E402
from mathutils import Vector  # noqa: E402

import hollow as H  # noqa: E402
import protos  # noqa: E402

FRAMES = 32      # one turn; at the card texture's 24 frames per second about 1.3 s
WIDTH, HEIGHT = 216, 376   # make_hud.py scales this down by half, which also smooths the noise
SAMPLES = 12

TOWERS = {
    # card name: (prototype, clump radius, camera elevation in degrees)
    "ARROW": ("tower_arrow", 0.5, 16),
    "CANNON": ("tower_cannon", 0.6, 24),
}


def clump(radius):
    """A low-poly lump of meadow with a dirt rim for the tower to stand on."""
    m = H.Mesh(seed=7)
    m.cylinder("grass", radius, 0.06, location=(0, 0, -0.03), segments=12)
    m.cylinder("dirt", radius, 0.16, location=(0, 0, -0.14), segments=12, radius_top=radius * 1.0)
    m.cylinder("dirt_light", radius * 0.98, 0.1, location=(0, 0, -0.27), segments=12, radius_top=radius * 0.8)
    for i in range(5):
        a = math.radians(30 + 72 * i)
        r = radius * 0.82
        m.ball("stone_light" if i % 2 else "stone", 0.05 + 0.015 * (i % 3), location=(r * math.cos(a), r * math.sin(a), 0.01),
               scale=(1.2, 1.0, 0.6), subdiv=1, jitter=0.2)
    return m.object("_cardClump", H.color_picker())


def render(card, folder, frames=FRAMES):
    proto, radius, elevation_deg = TOWERS[card]
    built = protos.PROTOTYPES[proto]()
    root = built["root"]
    # The card shows the tower as it is built: its first level.
    for part in built.get("levels", []):
        part.hide_render = True
    clump(radius)
    scene = bpy.context.scene

    # Frame the tower and its clump from the rest pose's bounding box: fit both directions, then shift
    # the view so that the clump sits near the bottom of the (tall) picture.
    bpy.context.view_layer.update()
    corners = [root.matrix_world @ Vector(c) for c in root.bound_box]
    top = max(c.z for c in corners)
    bottom = -0.32
    elevation = math.radians(elevation_deg)
    fov_v = 2 * math.atan(18 / 50)
    fov_h = 2 * math.atan(math.tan(fov_v / 2) * WIDTH / HEIGHT)
    extent_v = (top - bottom) * math.cos(elevation) + 2 * radius * math.sin(elevation)
    dist = max(0.5 * extent_v / math.tan(fov_v / 2), radius * 1.1 / math.tan(fov_h / 2)) * 1.04
    used = extent_v / (2 * dist * math.tan(fov_v / 2))
    centre = Vector((0, 0, (top + bottom) * 0.5))
    pivot = H.empty("_turn")
    cam = H.link(bpy.data.objects.new("_cardCamera", bpy.data.cameras.new("_cardCamera")), pivot)
    cam.data.lens = 50
    cam.data.sensor_fit = 'VERTICAL'
    cam.data.sensor_height = 36
    cam.data.shift_y = max(0.0, (1 - used) / 2 - 0.04)
    eye = centre + Vector((0, -math.cos(elevation), math.sin(elevation))) * dist
    cam.location = eye
    cam.rotation_mode = 'QUATERNION'
    cam.rotation_quaternion = H.look_rotation(eye, centre)
    scene.camera = cam

    sun = H.link(bpy.data.objects.new("_cardSun", bpy.data.lights.new("_cardSun", 'SUN')), pivot)
    sun.data.energy = 3.5
    sun.data.angle = 0.2
    sun.rotation_mode = 'QUATERNION'
    sun.rotation_quaternion = Vector((-0.55, -0.75, 0.6)).normalized().to_track_quat('Z', 'Y')
    rim = H.link(bpy.data.objects.new("_cardRim", bpy.data.lights.new("_cardRim", 'SUN')), pivot)
    rim.data.energy = 1.5
    rim.data.color = (1.0, 0.85, 0.6)
    rim.rotation_mode = 'QUATERNION'
    rim.rotation_quaternion = Vector((0.8, 0.6, 0.35)).normalized().to_track_quat('Z', 'Y')

    world = bpy.data.worlds.new("_cardWorld")
    world.use_nodes = True
    bg = world.node_tree.nodes["Background"]
    bg.inputs["Color"].default_value = (0.55, 0.65, 0.8, 1)
    bg.inputs["Strength"].default_value = 0.8
    scene.world = world

    scene.render.engine = 'CYCLES'
    scene.cycles.device = 'CPU'
    scene.cycles.samples = SAMPLES
    scene.cycles.seed = 5
    scene.cycles.use_denoising = False
    scene.cycles.max_bounces = 3
    scene.render.film_transparent = True
    scene.render.resolution_x, scene.render.resolution_y = WIDTH, HEIGHT
    scene.render.resolution_percentage = 100
    scene.render.image_settings.file_format = 'PNG'
    scene.render.image_settings.color_mode = 'RGBA'
    scene.render.image_settings.compression = 90
    scene.view_settings.view_transform = 'Standard'
    H.no_render_stamps(scene)
    out = os.path.join(folder, card)
    os.makedirs(out, exist_ok=True)
    for f in range(frames):
        pivot.rotation_euler = (0, 0, 2 * math.pi * f / FRAMES)
        scene.render.filepath = os.path.join(out, "frame_%03d.png" % f)
        bpy.ops.render.render(write_still=True)


def main():
    argv = sys.argv[sys.argv.index("--") + 1:] if "--" in sys.argv else []
    if not argv:
        sys.exit("usage: cards.py OUT_DIR [TOWER ...]")
    folder = argv.pop(0)
    frames = FRAMES
    if "--frames" in argv:          # a quick look at the first few frames only
        i = argv.index("--frames")
        frames = int(argv[i + 1])
        del argv[i:i + 2]
    for card in argv or list(TOWERS):
        if card not in TOWERS:
            sys.exit("unknown tower " + card)
        render(card, folder, frames)


main()
