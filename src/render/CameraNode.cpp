#include "render/CameraNode.h"

#include "app/Log.h"
#include "scene/Scene.h"

#include <glm/ext/matrix_clip_space.hpp>
#include <glm/ext/matrix_transform.hpp>
#include <glm/geometric.hpp>
#include <glm/matrix.hpp>

#include <cmath>
#include <numbers>

namespace hm {

namespace {

constexpr float kFallbackFieldOfView = 1.0471976f;
constexpr float kFallbackNear = 0.1f;
constexpr float kFallbackFar = 1000.0f;
constexpr float kFallbackAspect = 16.0f / 9.0f;

bool usableAspect(float ratio) {
    return ratio > 0.0f && std::isfinite(ratio);
}

// A look-at needs a direction that is not along the up vector.
bool lookAtDefined(const glm::vec3& forward, const glm::vec3& up) {
    const glm::vec3 side = glm::cross(forward, up);
    return glm::dot(forward, forward) > 0.0f && glm::dot(side, side) > 0.0f &&
           std::isfinite(glm::dot(side, side));
}

float horizontalFieldOfView(float fieldOfView, float aspect) {
    return 2.0f * std::atan(std::tan(fieldOfView / 2.0f) * aspect);
}

} // namespace

CameraNode::CameraNode(std::string name, float fieldOfView, float nearPlane, float farPlane, float aspect,
                       const glm::vec3& centre, const glm::vec3& up)
    : Node3D(std::move(name)), fieldOfView_(fieldOfView), near_(nearPlane), far_(farPlane), aspect_(aspect),
      centre_(centre), up_(up) {
    const bool fovOk = fieldOfView_ > 0.0f && fieldOfView_ < std::numbers::pi_v<float>;
    const bool nearOk = near_ > 0.0f && std::isfinite(near_);
    const bool farOk = std::isfinite(far_) && far_ > (nearOk ? near_ : kFallbackNear);
    const bool aspectOk = usableAspect(aspect_);
    if (!fovOk || !nearOk || !farOk || !aspectOk) {
        spdlog::warn(
            "Camera {0} cannot project with field of view {1}, near {2}, far {3} and aspect {4}; the "
            "values out of range are replaced by defaults.",
            getName(), fieldOfView_, near_, far_, aspect_);
        fieldOfView_ = fovOk ? fieldOfView_ : kFallbackFieldOfView;
        near_ = nearOk ? near_ : kFallbackNear;
        far_ = farOk ? far_ : std::max(kFallbackFar, near_ * 2.0f);
        aspect_ = aspectOk ? aspect_ : kFallbackAspect;
    }
    if (!lookAtDefined(centre_ - eye_, up_)) {
        spdlog::warn("Camera {0} cannot look at its centre along its up vector; it looks down -z instead.",
                     getName());
        centre_ = glm::vec3(0.0f, 0.0f, -1.0f);
        up_ = glm::vec3(0.0f, 1.0f, 0.0f);
    }
    horizontalFieldOfView_ = horizontalFieldOfView(fieldOfView_, aspect_);
    updateProjection();
    updateView();
}

CameraNode::CameraNode(const CameraNode& source)
    : Node3D(source), fieldOfView_(source.fieldOfView_),
      horizontalFieldOfView_(source.horizontalFieldOfView_), near_(source.near_), far_(source.far_),
      aspect_(source.aspect_), eye_(source.eye_), centre_(source.centre_), up_(source.up_) {
    updateProjection();
    updateView();
}

CameraNode::~CameraNode() {
    if (Scene* scene = getScene())
        scene->unregisterCamera(*this);
}

std::unique_ptr<Node3D> CameraNode::copy() const {
    return std::unique_ptr<Node3D>(new CameraNode(*this));
}

void CameraNode::onSceneChanged(Scene* scene) {
    if (Scene* previous = getScene()) {
        // A camera that leaves is no longer looked through.
        if (active_)
            deactivate();
        previous->unregisterCamera(*this);
    }
    if (scene)
        scene->registerCamera(*this);
}

void CameraNode::onWorldMatrixChanged(const glm::mat4&) {
    updateView();
}

void CameraNode::activate() {
    if (active_) {
        spdlog::warn("Attempt to activate already active camera ({0}).", getName());
        return;
    }
    active_ = true;
    onActivated();
    spdlog::debug("Activated camera {0}", getName());
}

void CameraNode::deactivate() {
    if (!active_) {
        spdlog::warn("Attempt to deactivate already inaktive camera {0}.", getName());
        return;
    }
    active_ = false;
    onDeactivated();
    spdlog::debug("Deactivated camera {0}", getName());
}

void CameraNode::setAspectRatio(float ratio) {
    if (!usableAspect(ratio)) {
        spdlog::warn("Camera {0} ignores the aspect ratio {1}.", getName(), ratio);
        return;
    }
    aspect_ = ratio;
    horizontalFieldOfView_ = horizontalFieldOfView(fieldOfView_, ratio);
    updateProjection();
}

void CameraNode::updateProjection() {
    projection_ = glm::perspectiveRH_NO(fieldOfView_, aspect_, near_, far_);
}

void CameraNode::updateView() {
    const glm::mat4 world = getWorldMatrix();
    const float det = glm::determinant(world);
    // A look-at along the up vector, or a collapsed node frame, has no view: keep the last one.
    if (!lookAtDefined(centre_ - eye_, up_) || det == 0.0f || !std::isfinite(det))
        return;
    view_ = glm::lookAtRH(eye_, centre_, up_) * glm::inverse(world);
}

void CameraNode::setLookAt(const glm::vec3& centre, const glm::vec3& up) {
    centre_ = centre;
    up_ = up;
}

} // namespace hm
