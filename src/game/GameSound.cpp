#include "game/GameSound.h"

#include "app/Window.h"
#include "scene/Node3D.h"

namespace hm {

void playSoundAt(const Node3D& node, const std::string& name) {
    (void)node;
    (void)name;
}

} // namespace hm
