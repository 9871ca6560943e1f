// Simple meshes built in code, with normals, tangents and texture coordinates: boxes, spheres
// and ground planes. Used by demo scenes, the model viewer and tests.
#pragma once

#include "render/Mesh.h"

#include <memory>

namespace hm {

// A box centred on the origin with the given edge lengths; each face maps the whole texture.
std::shared_ptr<Mesh> makeBoxMesh(const glm::vec3& size);
// A UV sphere centred on the origin.
std::shared_ptr<Mesh> makeSphereMesh(float radius, int segments = 32, int rings = 16);
// A square in the XZ plane facing +Y; the texture repeats `tiles` times along each side.
std::shared_ptr<Mesh> makePlaneMesh(float size, float tiles = 1.0f);

} // namespace hm
