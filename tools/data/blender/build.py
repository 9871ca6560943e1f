"""Entry point run by Blender: builds the requested models and exports them as FBX.

blender -b --factory-startup -P tools/data/blender/build.py -- OUT_DIR [--previews DIR] [NAME ...]

NAME is a prototype ("tower_arrow", ...), a level ("Vezaz", "Morrowfen", "Cinderpass"), "menu_main",
"fixtures" or "tv" (the frames of the "tv" texture, which the levels' screen material names, so it comes
first); without names everything is built. With --previews, each model is also rendered (Cycles, CPU)
into DIR for review.
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

import bpy  # noqa: E402

import hollow as H  # noqa: E402
import level  # noqa: E402
import protos  # noqa: E402


def preview_prototype(name, built, folder):
    root = built["root"]
    dims = root.dimensions
    height = max(dims.z, 0.3)
    centre = (0, 0, height * 0.45)
    dist = max(dims.x, dims.y, dims.z) * 1.7 + 0.2
    eye = (dist * 0.75, -dist * 0.95, height * 0.45 + dist * 0.45)
    # ground plate so that the model has something to stand on
    m = H.Mesh()
    m.box("grass_dark", (dist * 3, dist * 3, 0.02), location=(0, 0, -0.01 if name != "tower_base" else -0.36))
    plate = m.object("_previewGround", H.color_picker())
    # A tower's higher levels are meshes of their own over the first: one picture per level.
    levels = built.get("levels", [])
    for part in levels:
        part.hide_render = True
    H.preview(os.path.join(folder, name + ".png"), eye, centre, lens=50)
    for number, part in enumerate(levels, start=2):
        root.hide_render = True
        part.hide_render = False
        H.preview(os.path.join(folder, "%s_level%d.png" % (name, number)), eye, centre, lens=50)
        part.hide_render = True
        root.hide_render = False
    rig = built.get("rig")
    for action_name, frame in built.get("poses", []):
        rig.animation_data.action = bpy.data.actions[action_name]
        bpy.context.scene.frame_set(int(frame))
        H.preview(os.path.join(folder, "%s_%s.png" % (name, action_name)), eye, centre, lens=50, samples=12,
                  resolution=(320, 240))
        rig.animation_data.action = None
    bpy.data.objects.remove(plate)


def main():
    argv = sys.argv[sys.argv.index("--") + 1:] if "--" in sys.argv else []
    out = argv.pop(0)
    previews = None
    if "--previews" in argv:
        i = argv.index("--previews")
        previews = argv[i + 1]
        del argv[i:i + 2]
    levels = level.levels()
    names = argv or ["tv"] + list(protos.PROTOTYPES) + list(levels) + ["menu_main", "fixtures"]
    for name in names:
        if name in protos.PROTOTYPES:
            built = protos.PROTOTYPES[name]()
            H.export(os.path.join(out, name + ".fbx"))
            if previews:
                preview_prototype(name, built, previews)
        elif name in levels:
            built = levels[name]()
            built.build()
            H.export(os.path.join(out, name + ".fbx"))
            if previews:
                built.previews(previews)
        elif name == "menu_main":
            import menu
            built = menu.build()
            H.export(os.path.join(out, "menu_main.fbx"))
            if previews:
                menu.previews(built, previews)
        elif name == "tv":
            import tv
            tv.render(os.path.join(H.TEXTURES, "tv"))
        elif name == "fixtures":
            import fixtures
            fixtures.build_all(os.environ.get("HOLLOW_FIXTURES", "tests/fixtures"))
        else:
            sys.exit("unknown model " + name)


main()
