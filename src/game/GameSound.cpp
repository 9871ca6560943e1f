#include "game/GameSound.h"

#include "app/Window.h"
#include "audio/SoundEngine.h"
#include "scene/Node3D.h"

namespace hm {

void playSoundAt(const Node3D& node, const std::string& name) {
    if (Window* window = node.getWindow())
        window->soundEngine().play(name, node.getWorldPosition());
}

} // namespace hm
