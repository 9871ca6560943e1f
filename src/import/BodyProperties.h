// Physics bodies from the user properties of model-file nodes ("Body", "ActorType",
// "BodyMaterial", ...): the importer calls readBodyProperties for every node it creates, after
// the node's local matrix is set.
#pragma once

struct aiNode;
struct aiScene;

namespace hm {

class Node3D;

// Attaches a body to the node when the file node asks for one; problems are logged and leave
// the node without a body. upAxis is the import's up axis (the default body orientation).
void readBodyProperties(Node3D& node, const aiNode& fileNode, const aiScene& fileScene, int upAxis);

} // namespace hm
