"""Building blocks for Hollowmere's models, run inside Blender (bpy).

Every model is built from scratch in an empty scene: low-poly parts are added
to a `Mesh` builder that gives each face a colour of the shared palette (or a
box-projected UV for textured surfaces) and optionally a bone, then turned into
an object. `export` writes the scene as FBX with the settings the game's
importer is written against.

Frames of reference. Blender is z-up; the game and the FBX files are y-up. We
export with `bake_space_transform`, so meshes and empties arrive with plain
y-up transforms that compose correctly when the game hangs one model below
another (a tower below a tower base, a monster below its path carrier). The
exporter does not bake armatures, and it misplaces plain children of skinned
meshes; `armature` and `attach_to_skinned` compensate for both, so the
exported rig node is the identity and a child keeps the offset it was given.
"""
import datetime
import math
import os
import random
import types

import bmesh
import bpy
from mathutils import Matrix, Quaternion, Vector

import palette

# Blender z-up to the file's y-up, as the exporter bakes it.
G = Matrix.Rotation(-math.pi / 2, 4, 'X')

# Direction towards the sun in Blender's frame (the sky texture uses the same one, y-up).
SUN_DIRECTION = Vector((-0.52, -0.58, 0.62)).normalized()

TEXTURES = os.environ.get("HOLLOW_TEXTURES", "GAME_DATA/textures")


def reset(fps=24):
    bpy.ops.wm.read_factory_settings(use_empty=True)
    scene = bpy.context.scene
    scene.render.fps = fps
    # The game's window is square; cameras export their aspect from this.
    scene.render.resolution_x = 800
    scene.render.resolution_y = 800
    scene.frame_start = 0
    scene.frame_current = 0
    return scene


def link(ob, parent=None):
    bpy.context.scene.collection.objects.link(ob)
    if parent is not None:
        ob.parent = parent
    return ob


def empty(name, location=(0, 0, 0), parent=None, size=0.2):
    ob = bpy.data.objects.new(name, None)
    ob.empty_display_size = size
    ob.location = location
    return link(ob, parent)


def props(ob, **values):
    """Object-level custom properties: the only kind the exporter turns into node metadata."""
    for key, value in values.items():
        ob[key] = value
    return ob


# --------------------------------------------------------------------------- materials

def _material(name):
    mat = bpy.data.materials.get(name)
    if mat is not None:
        return mat, False
    mat = bpy.data.materials.new(name)
    mat.use_nodes = True
    return mat, True


def _bsdf(mat):
    return mat.node_tree.nodes["Principled BSDF"]


def _image(path):
    full = os.path.abspath(os.path.join(TEXTURES, path))
    img = bpy.data.images.load(full, check_existing=True)
    return img


def _image_base_colour(mat, path):
    tex = mat.node_tree.nodes.new("ShaderNodeTexImage")
    tex.image = _image(path)
    tex.interpolation = 'Closest'
    mat.node_tree.links.new(tex.outputs["Color"], _bsdf(mat).inputs["Base Color"])


def color_picker():
    """The shared palette material; the game swaps highlighted nodes back to it by this name."""
    mat, new = _material("ColorPicker")
    if new:
        _image_base_colour(mat, palette.TEXTURE)
        _bsdf(mat).inputs["Roughness"].default_value = 0.85
        props(mat, Albedo=palette.TEXTURE, Roughness=0.85, Metallic=0.0, DisableAutoTextureLookup=1)
    return mat


def emissive(name, colour, strength=1.0):
    """Glowing surfaces: an emission colour above 0.01 makes the importer pick the unlit shader."""
    mat, new = _material(name)
    if new:
        bsdf = _bsdf(mat)
        bsdf.inputs["Base Color"].default_value = (*colour, 1)
        bsdf.inputs["Emission"].default_value = (*colour, 1)
        bsdf.inputs["Emission Strength"].default_value = strength
    return mat


def plain(name, colour, roughness=0.7):
    """A PBR material whose albedo is the Base Color value (no texture)."""
    mat, new = _material(name)
    if new:
        bsdf = _bsdf(mat)
        bsdf.inputs["Base Color"].default_value = (*colour, 1)
        bsdf.inputs["Roughness"].default_value = roughness
        props(mat, DisableAutoTextureLookup=1, Roughness=roughness)
    return mat


def dressed_stone():
    """Textured stone: the albedo is named, the other four maps are found by the automatic lookup."""
    mat, new = _material("DressedStone")
    if new:
        _image_base_colour(mat, "stone/ab_stone.png")
        props(mat, Albedo="stone/ab_stone.png")
    return mat


def ground(name, albedo):
    """A terrain material: a DXT1 albedo plus normal and roughness maps found beside it."""
    mat, new = _material(name)
    if new:
        _image_base_colour(mat, albedo)
        props(mat, Albedo=albedo)
    return mat


def valley_ground():
    """The meadow of Vezaz and the menu."""
    return ground("ValleyGround", "terrain/ab_ground.dds")


def tv_screen():
    """The banner screen; the level swaps its albedo for the looping "tv" frames."""
    mat, new = _material("TVScreen")
    if new:
        _image_base_colour(mat, "tv/frame_000.png")
        props(mat, Albedo="tv/frame_000.png", DisableAutoTextureLookup=1, Roughness=0.9)
    return mat


# --------------------------------------------------------------------------- meshes

def trs(location=(0, 0, 0), rotation=(0, 0, 0), scale=(1, 1, 1)):
    if isinstance(scale, (int, float)):
        scale = (scale, scale, scale)
    rot = rotation if isinstance(rotation, Quaternion) else Quaternion()
    if not isinstance(rotation, Quaternion):
        from mathutils import Euler
        rot = Euler(rotation).to_quaternion()
    return Matrix.LocRotScale(Vector(location), rot, Vector(scale))


class Mesh:
    """Collects low-poly parts into one mesh; each part gets a palette colour and optionally bone weights."""

    def __init__(self, seed=1):
        self.bm = bmesh.new()
        self.uv = self.bm.loops.layers.uv.new("UVMap")
        self.deform = self.bm.verts.layers.deform.new()
        self.groups = []
        self.rng = random.Random(seed)
        self.box_uv_faces = []

    # ---- bookkeeping
    def _group(self, bone):
        if bone not in self.groups:
            self.groups.append(bone)
        return self.groups.index(bone)

    def _finish(self, verts, colour, bone=None, weights=None):
        faces = {f for v in verts for f in v.link_faces}
        if colour == "@box":
            self.box_uv_faces.extend(faces)
        else:
            uv = palette.uv(colour)
            for f in faces:
                for loop in f.loops:
                    loop[self.uv].uv = uv
        for f in faces:
            f.smooth = False
        if bone is not None:
            weights = {bone: 1.0}
        if weights:
            for v in verts:
                for b, w in weights.items():
                    v[self.deform][self._group(b)] = w
        return verts

    # ---- primitives (all sizes in Blender units, z up)
    def box(self, colour, size, location=(0, 0, 0), rotation=(0, 0, 0), bone=None, weights=None, taper=1.0):
        sx, sy, sz = size if not isinstance(size, (int, float)) else (size, size, size)
        res = bmesh.ops.create_cube(self.bm, size=1.0)
        verts = res["verts"]
        for v in verts:
            if taper != 1.0 and v.co.z > 0:
                v.co.x *= taper
                v.co.y *= taper
        bmesh.ops.transform(self.bm, verts=verts, matrix=trs(location, rotation, (sx, sy, sz)))
        return self._finish(verts, colour, bone, weights)

    def cylinder(self, colour, radius, depth, location=(0, 0, 0), rotation=(0, 0, 0), segments=8, radius_top=None,
                 bone=None, weights=None, cap=True):
        res = bmesh.ops.create_cone(self.bm, cap_ends=cap, cap_tris=False, segments=segments, radius1=radius,
                                    radius2=radius if radius_top is None else radius_top, depth=depth,
                                    matrix=trs(location, rotation))
        return self._finish(res["verts"], colour, bone, weights)

    def cone(self, colour, radius, depth, location=(0, 0, 0), rotation=(0, 0, 0), segments=8, bone=None, weights=None):
        return self.cylinder(colour, radius, depth, location, rotation, segments, 0.0, bone, weights)

    def ball(self, colour, radius, location=(0, 0, 0), rotation=(0, 0, 0), scale=(1, 1, 1), subdiv=1, jitter=0.0,
             bone=None, weights=None):
        res = bmesh.ops.create_icosphere(self.bm, subdivisions=subdiv, radius=radius)
        verts = res["verts"]
        if jitter:
            for v in verts:
                v.co += Vector((self.rng.uniform(-1, 1), self.rng.uniform(-1, 1), self.rng.uniform(-1, 1))) * jitter * radius
        sx, sy, sz = scale if not isinstance(scale, (int, float)) else (scale,) * 3
        bmesh.ops.transform(self.bm, verts=verts, matrix=trs(location, rotation, (sx, sy, sz)))
        return self._finish(verts, colour, bone, weights)

    def torus(self, colour, radius, thickness, location=(0, 0, 0), rotation=(0, 0, 0), segments=16, sides=4,
              bone=None, weights=None, flat=1.0):
        verts = []
        rings = []
        for i in range(segments):
            a = 2 * math.pi * i / segments
            ring = []
            for j in range(sides):
                b = 2 * math.pi * j / sides + math.pi / sides
                r = radius + thickness * math.cos(b)
                z = thickness * math.sin(b) * flat
                ring.append(self.bm.verts.new((r * math.cos(a), r * math.sin(a), z)))
            rings.append(ring)
            verts.extend(ring)
        for i in range(segments):
            a, b = rings[i], rings[(i + 1) % segments]
            for j in range(sides):
                self.bm.faces.new((a[j], b[j], b[(j + 1) % sides], a[(j + 1) % sides]))
        bmesh.ops.transform(self.bm, verts=verts, matrix=trs(location, rotation))
        return self._finish(verts, colour, bone, weights)

    def polygon_prism(self, colour, points, z0, z1, bone=None, weights=None):
        """An extruded outline (points in x, y) between heights z0 and z1."""
        bottom = [self.bm.verts.new((x, y, z0)) for x, y in points]
        top = [self.bm.verts.new((x, y, z1)) for x, y in points]
        n = len(points)
        self.bm.faces.new(list(reversed(bottom)))
        self.bm.faces.new(top)
        for i in range(n):
            j = (i + 1) % n
            self.bm.faces.new((bottom[i], bottom[j], top[j], top[i]))
        return self._finish(bottom + top, colour, bone, weights)

    def faces_from(self, colour, verts_co, faces, bone=None, weights=None):
        """Arbitrary geometry: vertex coordinates and faces as index tuples."""
        verts = [self.bm.verts.new(co) for co in verts_co]
        for f in faces:
            self.bm.faces.new([verts[i] for i in f])
        return self._finish(verts, colour, bone, weights)

    # ---- output
    def _box_uvs(self, tile):
        for f in self.box_uv_faces:
            n = f.normal
            ax = max(range(3), key=lambda i: abs(n[i]))
            for loop in f.loops:
                co = loop.vert.co
                if ax == 0:
                    u, v = co.y, co.z
                elif ax == 1:
                    u, v = co.x, co.z
                else:
                    u, v = co.x, co.y
                loop[self.uv].uv = (u / tile, v / tile)

    def object(self, name, material, parent=None, tile=1.0, smooth=False):
        self.bm.normal_update()
        self._box_uvs(tile)
        if smooth:
            for f in self.bm.faces:
                f.smooth = True
        me = bpy.data.meshes.new(name)
        self.bm.to_mesh(me)
        self.bm.free()
        me.materials.append(material)
        ob = link(bpy.data.objects.new(name, me), parent)
        for g in self.groups:
            ob.vertex_groups.new(name=g)
        return ob


# --------------------------------------------------------------------------- rigs

def armature(name, bones):
    """A rig whose exported node is the identity. bones: (name, head, tail, parent) in world coordinates."""
    data = bpy.data.armatures.new(name)
    rig = link(bpy.data.objects.new(name, data))
    rig.matrix_world = G.inverted()
    bpy.context.view_layer.objects.active = rig
    bpy.ops.object.mode_set(mode='EDIT')
    for bname, head, tail, parent in bones:
        eb = data.edit_bones.new(bname)
        eb.head = G @ Vector(head)
        eb.tail = G @ Vector(tail)
        if parent:
            eb.parent = data.edit_bones[parent]
    bpy.ops.object.mode_set(mode='OBJECT')
    return rig


def skin(ob, rig):
    mod = ob.modifiers.new("Skeleton", 'ARMATURE')
    mod.object = rig
    return ob


def attach_to_skinned(child, parent, location=(0, 0, 0)):
    """Parent a plain object to a skinned mesh so that it exports with exactly this offset."""
    child.parent = parent
    child.matrix_parent_inverse = G.copy()
    child.location = location
    return child


# --------------------------------------------------------------------------- animation

def _fcurves(action, path, values_by_frame, group, interpolation):
    n = len(values_by_frame[0][1])
    for i in range(n):
        fc = action.fcurves.new(path, index=i, action_group=group)
        fc.keyframe_points.add(len(values_by_frame))
        for k, (frame, value) in enumerate(values_by_frame):
            kp = fc.keyframe_points[k]
            kp.co = (frame, value[i])
            kp.interpolation = interpolation
        fc.update()


def _owner_tag(ob):
    """A custom property only this object has. The exporter offers every action to every animated object
    whose paths it can resolve; an action that also keys this property resolves on its owner only."""
    key = "_anim_" + ob.name
    ob[key] = 0.0
    return '["%s"]' % key


def object_action(ob, name, keys, interpolation='BEZIER'):
    """keys: list of (frame, location, rotation quaternion or None, scale or None)."""
    ob.rotation_mode = 'QUATERNION'
    act = bpy.data.actions.new(name)
    act.use_fake_user = True
    _fcurves(act, "location", [(f, tuple(l)) for f, l, _, _ in keys], "Object Transforms", interpolation)
    if any(k[2] is not None for k in keys):
        _fcurves(act, "rotation_quaternion", [(f, tuple(r)) for f, _, r, _ in keys], "Object Transforms", interpolation)
    if any(k[3] is not None for k in keys):
        _fcurves(act, "scale", [(f, tuple(s)) for f, _, _, s in keys], "Object Transforms", interpolation)
    _fcurves(act, _owner_tag(ob), [(keys[0][0], (0.0,))], "Owner", 'CONSTANT')
    if ob.animation_data is None:
        ob.animation_data_create()
    return act


def bone_action(rig, name, channels, interpolation='BEZIER'):
    """channels: bone -> {"location"|"rotation"|"scale": [(frame, value), ...]} in the bone's rest frame;
    rotations are Euler triples in radians (converted to quaternions)."""
    act = bpy.data.actions.new(name)
    act.use_fake_user = True
    for bone, curves in channels.items():
        pb = rig.pose.bones[bone]
        pb.rotation_mode = 'QUATERNION'
        base = 'pose.bones["%s"].' % bone
        for kind, keys in curves.items():
            if kind == "rotation":
                from mathutils import Euler
                vals = [(f, tuple(Euler(v).to_quaternion())) for f, v in keys]
                _fcurves(act, base + "rotation_quaternion", vals, bone, interpolation)
            else:
                _fcurves(act, base + kind, [(f, tuple(v)) for f, v in keys], bone, interpolation)
    if rig.animation_data is None:
        rig.animation_data_create()
    return act


def look_rotation(eye, target, up=(0, 0, 1)):
    """Quaternion that turns a Blender camera (looking down its -Z, up +Y) from eye towards target."""
    d = (Vector(target) - Vector(eye)).normalized()
    return d.to_track_quat('-Z', 'Y')


# --------------------------------------------------------------------------- export

class _FixedClock(datetime.datetime):
    @classmethod
    def now(cls, tz=None):
        return cls(2024, 1, 1)


def _relative_vid_path(img, scene_data):
    """The exporter writes every texture's file name twice, once as an absolute path of this machine;
    both become the path relative to the exported file, so the models work wherever the game lies."""
    import bpy_extras
    msetts = scene_data.settings.media_settings
    rel = bpy_extras.io_utils.path_reference(img.filepath, msetts.base_src, msetts.base_dst, msetts.path_mode,
                                             msetts.subdir, msetts.copy_set, img.library)
    rel = rel.replace("\\", "/")
    return rel, rel


def _fix_export_clock():
    """Keep regenerated files byte-identical: the exporter stamps files with the current time, and it
    numbers objects through a table that lives as long as Blender, so ids would depend on what was
    exported before in the same run."""
    import io_scene_fbx.export_fbx_bin as fbx_bin
    import io_scene_fbx.fbx_utils as fbx_utils
    fbx_bin.datetime = types.SimpleNamespace(datetime=_FixedClock)
    fbx_bin._gen_vid_path = _relative_vid_path
    fbx_utils._keys_to_uuids.clear()
    fbx_utils._uuids_to_keys.clear()


def no_render_stamps(scene):
    """Blender writes the render date and time into PNG metadata; leave it out so frames are reproducible."""
    for attr in dir(scene.render):
        if attr.startswith("use_stamp"):
            setattr(scene.render, attr, False)


def export(path):
    """Write the scene as FBX. Active actions are cleared and poses reset first: the node tree stores
    the pose of the current frame, so it must be the rest pose."""
    for ob in bpy.context.scene.objects:
        if ob.animation_data is not None:
            ob.animation_data.action = None
        if ob.type == 'ARMATURE':
            for pb in ob.pose.bones:
                pb.location = (0, 0, 0)
                pb.rotation_quaternion = (1, 0, 0, 0)
                pb.rotation_euler = (0, 0, 0)
                pb.scale = (1, 1, 1)
    bpy.context.scene.frame_set(0)
    os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
    _fix_export_clock()
    bpy.ops.export_scene.fbx(
        filepath=path, axis_forward='-Z', axis_up='Y', apply_unit_scale=True, apply_scale_options='FBX_SCALE_ALL',
        global_scale=1.0, bake_space_transform=True, use_custom_props=True, add_leaf_bones=False,
        bake_anim=True, bake_anim_use_all_actions=True, bake_anim_use_nla_strips=False,
        bake_anim_force_startend_keying=True, bake_anim_simplify_factor=0.0, path_mode='RELATIVE',
        use_mesh_modifiers=False, mesh_smooth_type='FACE')
    print("exported", path)


# --------------------------------------------------------------------------- previews

def preview(path, eye, target, lens=40, resolution=(640, 480), samples=24, sky=True, sun_strength=4.0,
            sun_direction=None, sky_colour=(0.45, 0.6, 0.85)):
    """Render a Cycles CPU picture of the scene for review (not part of the game data)."""
    scene = bpy.context.scene
    old = (scene.render.resolution_x, scene.render.resolution_y)
    cam = bpy.data.objects.new("_previewCamera", bpy.data.cameras.new("_previewCamera"))
    link(cam)
    cam.data.lens = lens
    cam.data.clip_end = 500
    cam.location = eye
    cam.rotation_mode = 'QUATERNION'
    cam.rotation_quaternion = look_rotation(eye, target)
    sun = bpy.data.objects.new("_previewSun", bpy.data.lights.new("_previewSun", 'SUN'))
    link(sun)
    sun.data.energy = sun_strength
    sun.data.angle = 0.1
    sun.rotation_mode = 'QUATERNION'
    sun.rotation_quaternion = (-(SUN_DIRECTION if sun_direction is None else sun_direction)).to_track_quat('-Z', 'Y')
    world = bpy.data.worlds.new("_previewWorld")
    world.use_nodes = True
    bg = world.node_tree.nodes["Background"]
    bg.inputs["Color"].default_value = (*sky_colour, 1) if sky else (0.2, 0.2, 0.22, 1)
    bg.inputs["Strength"].default_value = 0.9
    scene.world = world
    scene.camera = cam
    scene.render.engine = 'CYCLES'
    scene.cycles.device = 'CPU'
    scene.cycles.samples = samples
    scene.cycles.use_denoising = False
    scene.render.resolution_x, scene.render.resolution_y = resolution
    scene.render.image_settings.file_format = 'PNG'
    scene.render.filepath = path
    scene.view_settings.view_transform = 'Standard'
    no_render_stamps(scene)
    os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
    bpy.ops.render.render(write_still=True)
    bpy.data.objects.remove(cam)
    bpy.data.objects.remove(sun)
    scene.render.resolution_x, scene.render.resolution_y = old
    print("preview", path)
