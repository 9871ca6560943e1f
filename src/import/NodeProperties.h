// Cameras, lights and hull geometry from model-file nodes and their user properties.
//
//   "CameraType"   "General" (a CameraNode, the default) or "Orbital" (an OrbitCameraNode)
//   "OrbitCenter"  orbital cameras: the node to circle; empty means the imported root
//   "Attenuation"  point lights: (constant, linear, quadratic), or a range in units
//   "AmbientLight" the light named "Sun": an ambient colour, or a factor on its colour
//
// The importer calls createCamera and createLight for file nodes that carry a camera or a light;
// the body reader calls readHullData for "Mesh" and "ConvexHull" bodies. The readers that leave
// work for the rest of the import (an orbit camera's centre, a hull node to skip) are handed the
// importer they report to. Problems are logged and give no node (or no hull), never an exception.
#pragma once

#include <glm/vec3.hpp>

#include <cstdint>
#include <memory>
#include <vector>

struct aiCamera;
struct aiLight;
struct aiNode;
struct aiScene;

namespace hm {

class CameraNode;
class LightNode;
class ModelImporter;

// An orbital camera is also handed to the importer, which gives it its centre node once the tree
// is complete. An unknown "CameraType" is logged and built as a general camera.
std::unique_ptr<CameraNode> createCamera(ModelImporter& importer, const aiCamera& camera, const aiNode& node);

// Null (after a warning) for light types other than point and directional.
std::unique_ptr<LightNode> createLight(const aiLight& light, const aiNode& node);

// (constant, linear, quadratic) attenuation of a point light that should reach about `range`
// units, interpolated in a table of common ranges. Ranges outside the table (below 0 or from
// 3250 on) give (0, 0, 0), which the shaders treat as a light without falloff.
glm::vec3 attenuationForRange(float range);

// Collision geometry of a node: the first mesh of the node "<name>_hull" in its subtree, else
// the node's own first mesh. Positions closer than 0.001 are welded; indices (when asked for)
// list the triangles by welded position. A hull node that was used is kept out of the importer's
// node walk. False, after an error line, when there is no mesh to use.
bool readHullData(ModelImporter& importer, const aiNode& node, const aiScene& scene,
                  std::vector<glm::vec3>& positions, std::vector<std::uint32_t>* indices);

} // namespace hm
