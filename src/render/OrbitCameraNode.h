// A camera the player steers with the mouse: it circles an orbit centre while the left button
// is held, pans while the right button is held and zooms smoothly with the scroll wheel.
//
// The orbit centre is a node (by default the node named "<camera>_orbitCenter", else the 3D
// root) plus an offset that panning changes. The camera follows the centre node when it moves.
// Only the active camera reacts to input and updates.
//
// Angles: pitch is the polar angle from +Y, kept within [kMinimumPitch, kMaximumPitch]; yaw is
// the angle about +Y measured from +Z towards +X.
#pragma once

#include "app/InputHandler.h"
#include "render/CameraNode.h"
#include "scene/NodeRef.h"

namespace hm {

class OrbitCameraNode : public CameraNode, public InputHandler {
public:
    static constexpr float kMinimumPitch = 0.01f;
    static constexpr float kMaximumPitch = 3.1315927f;
    // Zooming never brings the camera closer to the centre than this.
    static constexpr float kMinimumRadius = 0.1f;
    // Zooming out never takes the camera further from the centre than this share of the far
    // plane, so the scene around the centre stays in view.
    static constexpr float kMaximumRadiusShare = 0.5f;

    // Mouse sensitivities: radians per pixel, world units per pixel, share of the radius per
    // scroll notch.
    struct Controls {
        float rotateSpeedX = -0.005f;
        float rotateSpeedY = -0.005f;
        float panSpeed = 0.01f;
        float zoomSpeed = 0.1f;
    };

    // With a null orbit centre the camera looks one up by name when it joins a scene.
    OrbitCameraNode(std::string name, float fieldOfView, float nearPlane, float farPlane, float aspect,
                    Node3D* orbitCentre = nullptr);

    void onSceneChanged(Scene* scene) override;
    void onWindowChanged(Window* window) override;
    std::string getTypeName() const override { return "OrbitCameraNode"; }
    void update(float seconds) override;
    std::unique_ptr<Node3D> copy() const override;
    void onActivated() override;
    // Aims the camera at the orbit centre and derives the pan axes from the view direction.
    void updateView() override;

    void onScroll(Window& window, double xOffset, double yOffset) override;
    void onCursorPosition(Window& window, double x, double y) override;
    void onMouseButton(Window& window, int button, int action, int mods) override;

    Node3D* orbitCentreNode() const { return orbitCentreNode_.get(); }
    void setOrbitCentreNode(Node3D* node) { orbitCentreNode_ = node; }
    const glm::vec3& orbitCentre() const { return orbitCentre_; }
    float radius() const { return radius_; }
    float targetRadius() const { return targetRadius_; }
    // The furthest the scroll wheel zooms out: kMaximumRadiusShare of the far plane.
    float maximumRadius() const;
    float yaw() const { return yaw_; }
    float pitch() const { return pitch_; }
    const glm::vec3& viewDirection() const { return viewDirection_; }

    Controls controls;

protected:
    OrbitCameraNode(const OrbitCameraNode& source);

private:
    // Radius, yaw and pitch from the camera's world position relative to the orbit centre.
    void deriveOrbit();
    // Moves the camera to the point given by the centre, radius, yaw and pitch.
    void reposition();
    glm::vec3 centreNodePosition() const;

    // Mouse state.
    bool leftDown_ = false;
    bool rightDown_ = false;
    bool leftWasDown_ = false;
    bool rightWasDown_ = false;
    float lastX_ = -1.0f;
    float lastY_ = -1.0f;
    float yawAtPress_ = 0.0f;
    float pitchAtPress_ = 0.0f;

    // Orbit state.
    NodeRef<Node3D> orbitCentreNode_;
    glm::vec3 centreNodePosition_{0.0f};
    glm::vec3 centreOffset_{0.0f};
    glm::vec3 orbitCentre_{0.0f};
    glm::vec3 up_{0.0f, 1.0f, 0.0f};
    glm::vec3 viewDirection_{0.0f};
    glm::vec3 panAxisFirst_{0.0f};
    glm::vec3 panAxisSecond_{0.0f};
    float radius_ = 0.0f;
    float pitch_ = 0.0f;
    float yaw_ = 0.0f;
    float targetRadius_ = 0.0f;
    bool centreInitialised_ = false;
};

} // namespace hm
