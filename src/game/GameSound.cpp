#include "game/GameSound.h"

#include "app/Log.h"
#include "app/Window.h"
#include "audio/SoundEngine.h"
#include "render/CameraNode.h"
#include "scene/Node3D.h"
#include "scene/Scene.h"

namespace hm {

void playSoundAt(const Node3D& node, const std::string& name) {
    if (Window* window = node.getWindow())
        window->soundEngine().play(name, node.getWorldPosition());
}

void playUiClick(const Scene& scene) {
    const CameraNode* camera = scene.activeCamera();
    if (Window* window = scene.window(); window && camera)
        window->soundEngine().play("UiClick", camera->getWorldPosition());
}

void reportMissingGameSounds(const SoundEngine& engine) {
    // The towers' and projectiles' node names followed by what they do, the building site and
    // the interface click.
    static const char* const kSounds[] = {
        "TowerArrowCharge",          "TowerCannonCharge",       "ProjectileArrowShoot", "ProjectileArrowHit",
        "ProjectileCannonballShoot", "ProjectileCannonballHit", "construction",         "UiClick"};
    for (const char* name : kSounds)
        if (!engine.contains(name))
            spdlog::warn(
                "The sound {0} was not loaded from {1} (no readable {0}_*.wav or .ogg); it stays silent.",
                name, SoundEngine::kDefaultFolder);
}

} // namespace hm
