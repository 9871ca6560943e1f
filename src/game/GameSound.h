// Plays a sound effect at a node's world position through the sound engine of the node's
// window; a node outside a window plays nothing.
#pragma once

#include <string>

namespace hm {

class Node3D;

void playSoundAt(const Node3D& node, const std::string& name);

} // namespace hm
