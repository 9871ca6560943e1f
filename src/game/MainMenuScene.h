// The first scene: a small valley with two wooden signs. The camera flies in and halts in
// front of them; clicking "Start" opens the level map (LevelMap), and choosing an open level there
// lets the camera fly on into that level. Escape on the map goes back to the signs; "Exit", or
// Escape at the signs, closes the game.
//
// Coming back from a level, the menu opens at the map: the camera stands at the signs at once.
#pragma once

#include "scene/Scene.h"

#include <functional>
#include <memory>

namespace hm {

class LevelMap;
class NodeAnimation;
class ProgressStore;

class MainMenuScene : public Scene {
public:
    // Where the intro flight halts to wait for the player, as a fraction of its length.
    static constexpr float kSignsPausePoint = 0.52f;

    enum class Opening { Signs, Map };

    // progress: the player's saved progress (not owned; it outlives the scenes), or null for a
    // menu that knows of no wins.
    explicit MainMenuScene(std::string name = "Unnamed Scene", ProgressStore* progress = nullptr,
                           Opening opening = Opening::Signs);
    ~MainMenuScene() override;

    void load() override;
    void start(Window& window) override;
    void onKey(Window& window, int key, int scancode, int action, int mods) override;

    // The click on the start sign: the corner badges go and the level map opens.
    void openMap();
    // Back from the map to the signs.
    void closeMap();
    bool mapOpen() const;
    // An open level chosen on the map: the camera flies on, and that level starts when it lands.
    void chooseLevel(const std::string& level);

    const std::shared_ptr<NodeAnimation>& introAnimation() const { return intro_; }
    LevelMap* levelMap() const { return map_; }
    const std::string& chosenLevel() const { return chosen_; }

private:
    void wireSign(const std::string& name, std::function<void()> onClick);
    void openLevel();
    void showBadges(bool shown);

    std::shared_ptr<NodeAnimation> intro_;
    ProgressStore* progress_;
    Opening opening_;
    LevelMap* map_ = nullptr; // owned by the 2D tree
    std::string chosen_;
};

} // namespace hm
