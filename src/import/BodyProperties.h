// Physics bodies from the user properties of model-file nodes ("Body", "ActorType",
// "BodyMaterial", ...): the importer calls readBodyProperties for every node it creates, after
// the node's local matrix is set, and hands itself over: its up axis is the default body
// orientation, and a hull node used for a body's geometry is kept out of its node walk.
#pragma once

struct aiNode;
struct aiScene;

namespace hm {

class ModelImporter;
class Node3D;

// Attaches a body to the node when the file node asks for one; problems are logged and leave
// the node without a body.
void readBodyProperties(ModelImporter& importer, Node3D& node, const aiNode& fileNode,
                        const aiScene& fileScene);

} // namespace hm
