// A placeholder first scene that only clears the screen, until the main menu exists.
#pragma once

#include "scene/Scene.h"

namespace hm {

class StartupScene : public Scene {
public:
    using Scene::Scene;
    void load() override {}
    void render(Window& window, float elapsed) override;
};

} // namespace hm
