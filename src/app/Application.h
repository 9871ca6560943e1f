// The program entry's start-up and shutdown order: settings, window, cursors, first scene,
// game loop, teardown. The game supplies its first scene.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace hm {

class Scene;

using SceneFactory = std::function<std::unique_ptr<Scene>(const std::string& name)>;

// Returns the process exit status: 0 after a normal shutdown, 1 after a failure.
int runGame(const SceneFactory& firstScene);

} // namespace hm
