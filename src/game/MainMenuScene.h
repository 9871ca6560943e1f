// The first scene: a small valley with two wooden signs. The camera flies in and halts in
// front of them; clicking "Start" lets it fly on into the level, "Exit" (or Escape) closes the
// game.
#pragma once

#include "scene/Scene.h"

#include <functional>
#include <memory>

namespace hm {

class NodeAnimation;

class MainMenuScene : public Scene {
public:
    // Where the intro flight halts to wait for the player, as a fraction of its length.
    static constexpr float kSignsPausePoint = 0.52f;

    explicit MainMenuScene(std::string name = "Unnamed Scene");
    ~MainMenuScene() override;

    void load() override;
    void start(Window& window) override;
    void onKey(Window& window, int key, int scancode, int action, int mods) override;

    // The click on the start sign.
    void startLevel();
    const std::shared_ptr<NodeAnimation>& introAnimation() const { return intro_; }

private:
    void wireSign(const std::string& name, std::function<void()> onClick);
    void openLevel();

    std::shared_ptr<NodeAnimation> intro_;
};

} // namespace hm
