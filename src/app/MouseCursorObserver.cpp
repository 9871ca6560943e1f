#include "app/MouseCursorObserver.h"
#include "app/InputCodes.h"

#include "physics/PhysicsScene.h"
#include "render/CameraNode.h"
#include "scene/Node3D.h"
#include "scene/Node3DBody.h"
#include "scene/Scene.h"

#include <glm/geometric.hpp>
#include <glm/matrix.hpp>

#include <cmath>

namespace hm {

MouseCursorObserver::MouseCursorObserver(Scene& scene) : scene_(scene) {
    wantsCursorPosition = true;
    wantsMouseButton = true;
    wantsFramebufferSize = true;
}

void MouseCursorObserver::onCursorPosition(Window&, double x, double y) {
    cursor_ = glm::vec2(static_cast<float>(x), static_cast<float>(y));
}

void MouseCursorObserver::onFramebufferSize(Window&, int width, int height) {
    windowSize_ = glm::vec2(static_cast<float>(width), static_cast<float>(height));
}

bool MouseCursorObserver::overWidget() const {
    if (windowSize_.x <= 0.0f || windowSize_.y <= 0.0f)
        return false;
    return scene_.widgetAt({cursor_.x / windowSize_.x, 1.0f - cursor_.y / windowSize_.y}) != nullptr;
}

void MouseCursorObserver::onMouseButton(Window&, int button, int action, int) {
    if (button != MouseButton::Left || action != InputAction::Release)
        return;
    // A click on a widget is the widget's alone, whatever was hovered in the world before.
    if (overWidget())
        return;
    if (Node3D* node = hovered_.get())
        node->onClick(cursor_, hitPosition_, hitNormal_);
}

void MouseCursorObserver::update(float) {
    CameraNode* camera = scene_.activeCamera();
    Node3D* picked = nullptr;
    // Without a size (before the first resize report, or minimised) there is no ray to cast; under
    // a widget nothing in the world is hovered.
    if (camera && windowSize_.x > 0.0f && windowSize_.y > 0.0f && !overWidget()) {
        const glm::vec2 ndc(2.0f * cursor_.x / windowSize_.x - 1.0f, 1.0f - 2.0f * cursor_.y / windowSize_.y);
        glm::vec4 eye = glm::inverse(camera->getProjection()) * glm::vec4(ndc, -1.0f, 1.0f);
        eye = glm::vec4(eye.x, eye.y, -1.0f, 0.0f);
        const glm::vec3 world = glm::vec3(glm::inverse(camera->getView()) * eye);
        const float length = glm::length(world);
        if (length > 0.0f && std::isfinite(length)) {
            rayDirection_ = world / length;
            const glm::vec3 origin = camera->getWorldPosition();
            if (auto hit = scene_.physicsScene().rayCast(origin, origin + rayDirection_ * kMaxDistance)) {
                if (hit->body)
                    picked = hit->body->owner();
                hitPosition_ = hit->position;
                hitNormal_ = hit->normal;
            }
        }
    }
    // The hooks may destroy nodes; each call checks that its node is still alive.
    NodeRef<Node3D> pickedRef(picked);
    if (picked != hovered_.get()) {
        if (Node3D* previous = hovered_.get())
            previous->onMouseLeave(cursor_, hitPosition_, hitNormal_);
        if (Node3D* node = pickedRef.get())
            node->onMouseEnter(cursor_, hitPosition_, hitNormal_);
    }
    if (Node3D* node = pickedRef.get())
        node->onMouseOver(cursor_, hitPosition_, hitNormal_);
    hovered_ = pickedRef;
}

} // namespace hm
