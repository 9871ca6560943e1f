// The first scene until the main menu exists: an otherwise empty scene seen through the
// default camera the scene creates for it, with a ground grid and the three axes drawn so the
// view can be checked. The 3D root turns slowly, which carries the camera round the origin.
#pragma once

#include "scene/Scene.h"

namespace hm {

class StartupScene : public Scene {
public:
    using Scene::Scene;
    ~StartupScene() override;

    void load() override {}
    void start(Window& window) override;
    void update(Window& window, float elapsed) override;
    void render(Window& window, float elapsed) override;

    // Radians per second the 3D root turns about +Y.
    static constexpr float kTurnRate = 0.2f;

private:
    unsigned program_ = 0;
    unsigned vertexArray_ = 0;
    unsigned vertexBuffer_ = 0;
    int vertexCount_ = 0;
};

} // namespace hm
