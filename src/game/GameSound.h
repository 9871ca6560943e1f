// Plays a sound effect at a node's world position through the sound engine of the node's
// window; a node outside a window plays nothing.
#pragma once

#include <string>

namespace hm {

class Node3D;

class Scene;
class SoundEngine;

void playSoundAt(const Node3D& node, const std::string& name);

// The interface click of the menu signs and the HUD buttons, played at the active camera.
void playUiClick(const Scene& scene);

// Logs every sound effect of the level that the engine has not loaded (its file is missing or
// could not be decoded), so a lost file is reported when the level starts rather than heard as
// silence in the middle of it.
void reportMissingGameSounds(const SoundEngine& engine);

} // namespace hm
