// A camera: a scene node with a perspective projection and a view matrix.
//
// The camera looks from its node's origin towards a centre point given in its node's own
// frame, so moving or turning the node moves the view. It registers with the scene it joins
// (the scene renders through its active camera) and leaves the registry when it goes.
#pragma once

#include "scene/Node3D.h"

#include <glm/mat4x4.hpp>
#include <glm/vec3.hpp>

namespace hm {

class CameraNode : public Node3D {
public:
    // fieldOfView is the vertical angle in radians. Parameters that cannot make a projection
    // (a field of view outside (0, pi), near not above 0, far not beyond near, a non-positive
    // aspect) are logged and replaced by 60 degrees, 0.1, 1000 and 16:9.
    CameraNode(std::string name, float fieldOfView, float nearPlane, float farPlane, float aspect,
               const glm::vec3& centre = glm::vec3(0.0f, 0.0f, -1.0f),
               const glm::vec3& up = glm::vec3(0.0f, 1.0f, 0.0f));
    ~CameraNode() override;

    void onSceneChanged(Scene* scene) override;
    void onWindowChanged(Window* window) override {}
    void render(float elapsed, int pass) override {}
    void update(float dt) override {}
    std::string getTypeName() const override { return "CameraNode"; }
    void onWorldMatrixChanged(const glm::mat4& previous) override;
    std::unique_ptr<Node3D> copy() const override;

    virtual void onActivated() {}
    virtual void onDeactivated() {}
    virtual void updateView();
    virtual void updateProjection();

    void activate();
    void deactivate();
    bool isActive() const { return active_; }

    // Sets the aspect (width / height), derives the horizontal field of view and recomputes
    // the projection. Non-positive or non-finite ratios are ignored.
    void setAspectRatio(float ratio);

    const glm::mat4& getProjection() const { return projection_; }
    const glm::mat4& getView() const { return view_; }
    float getFieldOfView() const { return fieldOfView_; }
    float getHorizontalFieldOfView() const { return horizontalFieldOfView_; }
    float getNear() const { return near_; }
    float getFar() const { return far_; }
    float getAspect() const { return aspect_; }

protected:
    // A copy with the same parameters, inactive.
    CameraNode(const CameraNode& source);
    // The look-at target and up vector in the node's own frame.
    void setLookAt(const glm::vec3& centre, const glm::vec3& up);

private:
    float fieldOfView_;
    float horizontalFieldOfView_ = 0.0f;
    float near_;
    float far_;
    float aspect_;
    glm::vec3 eye_{0.0f};
    glm::vec3 centre_;
    glm::vec3 up_;
    glm::mat4 projection_{1.0f};
    glm::mat4 view_{1.0f};
    bool active_ = false;
};

} // namespace hm
