// One screen of the game: the main menu or the level.
//
// The window's game loop starts a scene once, then updates and renders it every frame until
// the scene is replaced. Concrete scenes build their content in load().
#pragma once

#include "app/InputHandler.h"

#include <string>

namespace hm {

class Window;

class Scene : public InputHandler {
public:
    explicit Scene(std::string name);
    ~Scene() override;

    const std::string& name() const { return name_; }

    virtual void load() = 0;
    virtual void start(Window& window);
    virtual void render(Window& window, float elapsed);
    virtual void update(Window& window, float elapsed);

    // Moves the sound listener to the active camera; called once per frame after render.
    void updateListener();

    void setAspectRatio(float ratio);
    float aspectRatio() const { return aspectRatio_; }
    float sceneTime() const { return sceneTime_; }
    bool started() const { return started_; }
    Window* window() const { return window_; }

private:
    std::string name_;
    float sceneTime_ = 0.0f;
    float aspectRatio_ = 1.77f;
    bool started_ = false;
    Window* window_ = nullptr;
};

} // namespace hm
