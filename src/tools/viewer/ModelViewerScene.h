// The scene of the model viewer: one model file on its own, framed by an orbit camera, lit by
// the viewer's sun under the game's sky (or, when asked, by the file's own lights), optionally
// playing one animation, and optionally writing one frame to a PNG file and ending the game loop.
//
// The viewer's sun is the default because a file's lights are set up for its own scene: a lamp
// placed for a level, or one whose range ends short of the model, would show the model black.
//
// The viewer is a tool for level designers (hollowmere-view); the game never creates it.
#pragma once

#include "scene/Scene.h"

#include <glm/vec3.hpp>

#include <memory>
#include <string>
#include <vector>

namespace hm {

class Node3D;
class OrbitCameraNode;

class ModelViewerScene : public Scene {
public:
    struct Options {
        std::string model;      // a path, or a file name inside the models folder
        std::string animation;  // skeletal or node animation to play; empty: the model's default
        std::string screenshot; // PNG file written after `frames` frames; empty: run until closed
        int frames = 1;
        bool fileLights = false; // light the model with the file's own lights instead of the viewer's sun
    };
    // What the viewer did, for its caller: kept outside the scene, which the window destroys.
    struct Outcome {
        bool modelLoaded = false;
        bool animationFound = false;
        bool screenshotWritten = false;
        int framesRendered = 0;
    };
    // Fixed step per frame while a screenshot is pending, so frame N shows N / 24 seconds of
    // animation on any machine.
    static constexpr float kScreenshotFrameTime = 1.0f / 24.0f;

    ModelViewerScene(Options options, std::shared_ptr<Outcome> outcome = std::make_shared<Outcome>());

    void load() override;
    void start(Window& window) override;
    void update(Window& window, float elapsed) override;
    void render(Window& window, float elapsed) override;

    // The model file the viewer opens for a command-line argument: the argument itself when it
    // names an existing file, else the file of that name in the models folder.
    static std::string resolveModelPath(const std::string& argument);

    const Outcome& outcome() const { return *outcome_; }
    Node3D* model() const { return model_; }
    OrbitCameraNode* camera() const { return camera_; }
    // Centre and radius of the sphere around every mesh vertex of the model, in world space.
    const glm::vec3& boundsCentre() const { return boundsCentre_; }
    float boundsRadius() const { return boundsRadius_; }

private:
    void frameModel(Node3D& root);
    void setUpLighting(Node3D& root);
    void startAnimation();
    void logContents() const;

    Options options_;
    std::shared_ptr<Outcome> outcome_;
    Node3D* model_ = nullptr;
    OrbitCameraNode* camera_ = nullptr;
    glm::vec3 boundsCentre_{0.0f};
    float boundsRadius_ = 1.0f;
};

} // namespace hm
