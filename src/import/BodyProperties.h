// Physics bodies from the user properties of model-file nodes ("Body", "ActorType",
// "BodyMaterial", ...): the importer calls readBodyProperties for every node it creates, after
// the node's local matrix is set.
#pragma once

#include <glm/vec3.hpp>

#include <cstdint>
#include <functional>
#include <vector>

struct aiNode;
struct aiScene;

namespace hm {

class Node3D;

// Collision geometry of a file node (its "_hull" child or its own first mesh), welded. Fills
// indices only when asked for them; false when there is no geometry (after a log line).
using HullReader = std::function<bool(const aiNode& fileNode, std::vector<glm::vec3>& positions,
                                      std::vector<std::uint32_t>* indices)>;

// Attaches a body to the node when the file node asks for one; problems are logged and leave
// the node without a body. upAxis is the import's up axis (the default body orientation).
void readBodyProperties(Node3D& node, const aiNode& fileNode, const aiScene& fileScene, int upAxis,
                        const HullReader& readHull = {});

} // namespace hm
