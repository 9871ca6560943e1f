"""Small FBX files for the model importer's tests, one situation each (see tests/fixtures/README.md)."""
import os

import bpy

import hollow as H


def _cube(name, size=(1, 1, 1), material=None, colour="stone", parent=None):
    m = H.Mesh()
    m.box(colour, size)
    return m.object(name, material or H.color_picker(), parent=parent)


def two_meshes(out):
    """One node whose mesh has two materials: the importer sees two meshes on one node."""
    H.reset()
    m = H.Mesh()
    m.cylinder("bark", 0.1, 1.0, location=(0, 0, 0.5))
    m.ball("leaf", 0.5, location=(0, 0, 1.2))
    tree = m.object("tree", H.plain("Bark", (0.3, 0.2, 0.1)))
    tree.data.materials.append(H.plain("Leaves", (0.1, 0.5, 0.1)))
    for i, poly in enumerate(tree.data.polygons):
        poly.material_index = 0 if i < 8 else 1
    H.export(os.path.join(out, "two_meshes.fbx"))


def ignored_subtree(out):
    H.reset()
    _cube("Kept")
    helper = H.props(H.empty("Helper"), Ignore=1)
    child = _cube("HelperChild", parent=helper)
    _cube("HelperGrandchild", parent=child)
    H.export(os.path.join(out, "ignored_subtree.fbx"))


def materials(out):
    """Albedo switched off by an integer -1; emission just below and just above the unlit threshold."""
    H.reset()
    off = H.plain("AlbedoOff", (0.5, 0.5, 0.5))
    H.props(off, Albedo=-1)
    _cube("NoAlbedo", material=off)
    _cube("Dim", material=H.emissive("DimGlow", (0.005, 0.0, 0.0)))
    _cube("Bright", material=H.emissive("BrightGlow", (0.02, 0.0, 0.0)))
    H.export(os.path.join(out, "materials.fbx"))


def five_weights(out):
    """Vertex 0 of "Blob" has five bone weights 0.30 0.25 0.20 0.15 0.10; vertex 1 has 0.3 0.25 0.2 0.15 0.15
    (its fifth equals the smallest of the first four)."""
    H.reset()
    names = ["B%d" % i for i in range(5)]
    rig = H.armature("BlobRig", [(n, (0.3 * i, 0, 0), (0.3 * i, 0, 0.3), None) for i, n in enumerate(names)])
    me = bpy.data.meshes.new("Blob")
    me.from_pydata([(0, 0, 0), (1, 0, 0), (0, 1, 0), (1, 1, 0.2)], [], [(0, 1, 3, 2)])
    me.materials.append(H.color_picker())
    ob = H.link(bpy.data.objects.new("Blob", me))
    for n in names:
        ob.vertex_groups.new(name=n)
    table = {0: [0.30, 0.25, 0.20, 0.15, 0.10], 1: [0.30, 0.25, 0.20, 0.15, 0.15], 2: [1, 0, 0, 0, 0],
             3: [0, 0, 0, 0, 1]}
    for v, ws in table.items():
        for n, w in zip(names, ws):
            if w > 0:
                ob.vertex_groups[n].add([v], w, 'REPLACE')
    H.skin(ob, rig)
    H.export(os.path.join(out, "five_weights.fbx"))


def capsules(out):
    """Capsules derived from meshes: a cube (becomes a sphere) and a 2 x 6 x 2 box (y up in the file)."""
    H.reset()
    H.props(_cube("CubeCapsule"), Body="BoundingCapsule")
    tall = _cube("TallCapsule", size=(2, 2, 6))
    tall.location = (4, 0, 0)
    H.props(tall, Body="BoundingCapsule")
    H.export(os.path.join(out, "capsules.fbx"))


def hull_children(out):
    """Hull data from a "<name>_hull" child, from the node's own mesh, and the two failing cases."""
    H.reset()
    rock = H.props(H.empty("Rock", (0, 0, 0)), Body="ConvexHull", BodyBufferFile="fixture_rock", BodyMaxVerts=12)
    m = H.Mesh()
    m.ball("rock", 0.5, subdiv=1)
    m.object("Rock_hull", H.color_picker(), parent=rock)
    ground = _cube("Ground", size=(4, 4, 0.2))
    ground.location = (0, 0, -1)
    H.props(ground, Body="Mesh", BodyBufferFile="fixture_ground")
    broken = H.props(H.empty("Broken", (3, 0, 0)), Body="ConvexHull", BodyBufferFile="fixture_broken")
    H.empty("Broken_hull", (0, 0, 0), parent=broken)
    H.props(H.empty("Lonely", (-3, 0, 0)), Body="Mesh", BodyBufferFile="fixture_lonely")
    H.export(os.path.join(out, "hull_children.fbx"))


def build_all(out):
    for make in (two_meshes, ignored_subtree, materials, five_weights, capsules, hull_children):
        make(out)
