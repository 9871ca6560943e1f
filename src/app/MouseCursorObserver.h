// Picks the node under the mouse cursor: every frame a ray from the active camera through the
// cursor goes into the scene's physics world (up to 100 units); the node whose body it hits
// first hears when the cursor enters it, stays over it and leaves it, and a left-button release
// over it is a click. Only nodes with a physics body can be picked. Where a 2D widget takes the
// pointer (Scene::widgetAt) nothing in the world is hovered or clicked.
#pragma once

#include "app/InputHandler.h"
#include "app/UpdateableObject.h"
#include "scene/NodeRef.h"

#include <glm/vec2.hpp>
#include <glm/vec3.hpp>

namespace hm {

class Node3D;
class Scene;

class MouseCursorObserver : public UpdateableObject, public InputHandler {
public:
    static constexpr float kMaxDistance = 100.0f;

    explicit MouseCursorObserver(Scene& scene);

    void update(float elapsed) override;
    void onCursorPosition(Window& window, double x, double y) override;
    void onFramebufferSize(Window& window, int width, int height) override;
    void onMouseButton(Window& window, int button, int action, int mods) override;

    Node3D* hoveredNode() const { return hovered_.get(); }
    // True while a 2D widget takes the pointer: the world gets neither hover nor click.
    bool overWidget() const;
    const glm::vec3& rayDirection() const { return rayDirection_; }
    const glm::vec3& hitPosition() const { return hitPosition_; }
    const glm::vec3& hitNormal() const { return hitNormal_; }

private:
    glm::vec2 cursor_{0.0f};
    glm::vec3 rayDirection_{0.0f};
    glm::vec2 windowSize_{0.0f};
    NodeRef<Node3D> hovered_;
    glm::vec3 hitPosition_{0.0f};
    glm::vec3 hitNormal_{0.0f};
    Scene& scene_;
};

} // namespace hm
