// Picks the node under the mouse cursor for hover and click hooks. Each scene owns one,
// registers it with the window at start and updates it every frame; the picking itself (a ray
// from the active camera into the physics scene) arrives with the physics layer.
#pragma once

#include "app/InputHandler.h"
#include "app/UpdateableObject.h"

namespace hm {

class Scene;

class MouseCursorObserver : public UpdateableObject, public InputHandler {
public:
    explicit MouseCursorObserver(Scene& scene) : scene_(scene) {
        wantsCursorPosition = true;
        wantsMouseButton = true;
        wantsFramebufferSize = true;
    }
    void update(float elapsed) override {}

private:
    Scene& scene_;
};

} // namespace hm
