#include "render/OrbitCameraNode.h"

#include "app/InputCodes.h"
#include "app/Log.h"
#include "app/Window.h"
#include "scene/Scene.h"

#include <glm/geometric.hpp>
#include <glm/matrix.hpp>

#include <algorithm>
#include <cmath>

namespace hm {

namespace {

constexpr int kLeftButton = MouseButton::Left;
constexpr int kRightButton = MouseButton::Right;
constexpr int kRelease = InputAction::Release;
constexpr int kPress = InputAction::Press;

// Zoom settles once the radius is this close to its target.
constexpr float kZoomTolerance = 0.1f;
// Zoom closes this share of the remaining distance per second, but at least kZoomTolerance
// per update.
constexpr float kZoomRate = 4.0f;

} // namespace

OrbitCameraNode::OrbitCameraNode(std::string name, float fieldOfView, float nearPlane, float farPlane,
                                 float aspect, Node3D* orbitCentre)
    : CameraNode(std::move(name), fieldOfView, nearPlane, farPlane, aspect), orbitCentreNode_(orbitCentre) {
    wantsScroll = true;
    wantsCursorPosition = true;
    wantsMouseButton = true;
}

OrbitCameraNode::OrbitCameraNode(const OrbitCameraNode& source)
    : CameraNode(source), controls(source.controls), orbitCentreNode_(source.orbitCentreNode_),
      centreOffset_(source.centreOffset_), up_(source.up_) {
    wantsScroll = true;
    wantsCursorPosition = true;
    wantsMouseButton = true;
}

std::unique_ptr<Node3D> OrbitCameraNode::copy() const {
    return std::unique_ptr<Node3D>(new OrbitCameraNode(*this));
}

void OrbitCameraNode::onSceneChanged(Scene* scene) {
    CameraNode::onSceneChanged(scene);
    if (!scene || orbitCentreNode_)
        return;
    Node3D* root = scene->root3D();
    Node3D* centre = root ? root->findByName(getName() + "_orbitCenter") : nullptr;
    if (!centre) {
        spdlog::warn(
            "OrbitCamera {0} couldn't find a default orbit center and will now use the scenes root node!",
            getName());
        centre = root;
    }
    orbitCentreNode_ = centre;
}

void OrbitCameraNode::onWindowChanged(Window* window) {
    if (Window* previous = registeredWindow())
        previous->unregisterInputHandler(*this);
    if (window)
        window->registerInputHandler(*this);
}

glm::vec3 OrbitCameraNode::centreNodePosition() const {
    // A centre node that has gone leaves the centre where it was last seen.
    const Node3D* node = orbitCentreNode_.get();
    return node ? node->getWorldPosition() : centreNodePosition_;
}

void OrbitCameraNode::onActivated() {
    centreNodePosition_ = centreNodePosition();
    orbitCentre_ = centreNodePosition_ + centreOffset_;
    deriveOrbit();
    // Start the zoom at rest, where the camera is.
    targetRadius_ = radius_;
    centreInitialised_ = true;
    updateView();
}

void OrbitCameraNode::deriveOrbit() {
    const glm::vec3 d = getWorldPosition() - orbitCentre_;
    const float radius = glm::length(d);
    if (!(radius >= kMinimumRadius) || !std::isfinite(radius)) {
        spdlog::warn("OrbitCamera {0} sits on its orbit center and backs off to a radius of {1}.", getName(),
                     kMinimumRadius);
        radius_ = kMinimumRadius;
        pitch_ = std::clamp(pitch_, kMinimumPitch, kMaximumPitch);
        reposition();
        return;
    }
    radius_ = radius;
    // atan2 keeps the side of the centre the camera is on (atan of dx / dz alone would mirror a
    // camera behind the centre to the front).
    yaw_ = std::atan2(d.x, d.z);
    pitch_ = std::clamp(std::acos(std::clamp(d.y / radius, -1.0f, 1.0f)), kMinimumPitch, kMaximumPitch);
}

void OrbitCameraNode::reposition() {
    orbitCentre_ = centreNodePosition_ + centreOffset_;
    const float s = std::sin(pitch_) * radius_;
    const glm::vec3 target(orbitCentre_.x + std::sin(yaw_) * s, orbitCentre_.y + std::cos(pitch_) * radius_,
                           orbitCentre_.z + std::cos(yaw_) * s);
    translateGlobal(target - getWorldPosition());
    updateView();
}

void OrbitCameraNode::updateView() {
    const glm::vec3 toCentre = orbitCentre_ - getWorldPosition();
    if (glm::dot(toCentre, toCentre) > 0.0f)
        viewDirection_ = glm::normalize(toCentre);
    const glm::vec3 side = glm::cross(viewDirection_, up_);
    if (glm::dot(side, side) > 0.0f) {
        panAxisFirst_ = glm::normalize(side);
        panAxisSecond_ = glm::normalize(glm::cross(panAxisFirst_, viewDirection_));
    }
    // The look-at works in the node's own frame.
    const glm::mat4 world = getWorldMatrix();
    const float det = glm::determinant(world);
    if (det != 0.0f && std::isfinite(det)) {
        const glm::mat4 toNode = glm::inverse(world);
        setLookAt(glm::vec3(toNode * glm::vec4(orbitCentre_, 1.0f)),
                  glm::vec3(toNode * glm::vec4(up_, 0.0f)));
    }
    CameraNode::updateView();
}

void OrbitCameraNode::update(float seconds) {
    if (!isActive())
        return;

    const glm::vec3 centre = centreNodePosition();
    if (centre != centreNodePosition_) {
        centreNodePosition_ = centre;
        orbitCentre_ = centre + centreOffset_;
        deriveOrbit();
        updateView();
    }

    const float distance = std::abs(radius_ - targetRadius_);
    if (distance > kZoomTolerance) {
        // Never past the target: a long frame would otherwise overshoot and swing back and forth.
        const float step = std::min(std::max(distance * kZoomRate * seconds, kZoomTolerance), distance);
        radius_ += targetRadius_ > radius_ ? step : -step;
        reposition();
    } else {
        targetRadius_ = radius_;
    }
}

void OrbitCameraNode::onMouseButton(Window&, int button, int action, int) {
    if (!isActive() || (action != kPress && action != kRelease))
        return;
    if (button == kLeftButton)
        leftDown_ = action == kPress;
    else if (button == kRightButton)
        rightDown_ = action == kPress;
}

void OrbitCameraNode::onCursorPosition(Window&, double x, double y) {
    if (!isActive())
        return;
    const float fx = static_cast<float>(x);
    const float fy = static_cast<float>(y);
    const float dx = fx - lastX_;
    const float dy = fy - lastY_;

    if (leftDown_) {
        if (leftWasDown_) {
            // Relative to the press: the rotation follows the whole movement since then.
            yaw_ = yawAtPress_ + dx * controls.rotateSpeedX;
            reposition();
            pitch_ = std::clamp(pitchAtPress_ + dy * controls.rotateSpeedY, kMinimumPitch, kMaximumPitch);
            reposition();
        } else {
            yawAtPress_ = yaw_;
            pitchAtPress_ = pitch_;
            lastX_ = fx;
            lastY_ = fy;
        }
    } else if (rightDown_) {
        if (rightWasDown_) {
            // The scene follows the pointer: dragging right moves the camera left, dragging down
            // moves it up. (Taking dy along the first axis and dx along the second, as the pan
            // axes might suggest, turns the pan by a quarter.)
            const glm::vec3 offset = controls.panSpeed * (dy * panAxisSecond_ - dx * panAxisFirst_);
            translateGlobal(offset);
            centreOffset_ += offset;
            orbitCentre_ += offset;
            updateView();
        }
        lastX_ = fx;
        lastY_ = fy;
    }

    leftWasDown_ = leftDown_;
    rightWasDown_ = rightDown_;
}

void OrbitCameraNode::onScroll(Window&, double, double yOffset) {
    if (!isActive())
        return;
    // One notch up brings the target a zoom-speed share closer.
    const float target = targetRadius_ - targetRadius_ * static_cast<float>(yOffset) * controls.zoomSpeed;
    targetRadius_ = std::isfinite(target) ? std::max(target, kMinimumRadius) : targetRadius_;
}

} // namespace hm
