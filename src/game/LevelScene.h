// The scene in which the game is played: the level model, the rules (LevelCoordinator) and the
// heads-up display. Every frame the time is scaled by the game speed (1, 2 or 4; 0 while paused);
// the world and the rules then advance in fixed steps of kSimulationStep, so outcomes do not
// depend on the frame rate. The HUD and the pointer follow the frame time itself, so a paused
// game can be planned. Keys: 0 main camera, 1-4 track shots, keypad +/- track-shot speed, P or
// Space pauses, M mutes, I hides the HUD, R restarts, U upgrades, S sells and T retargets the
// selected tower, Escape lets go of a selection or else quits.
//
// A won level is recorded in the player's progress (when the game gives the scene a progress
// store; the simulator and most tests do not). The end dialog offers the next level (after a
// win), a replay, the level map and the way out. On the campaign's first level a line tells a
// new player how to build, until the first tower stands.
#pragma once

#include "game/LevelDefinition.h"
#include "game/LevelHud.h"
#include "scene/Scene.h"

#include <cstdint>
#include <functional>
#include <memory>

namespace hm {

class BuildingCardPanel;
class ButtonNode;
class ImageNode;
class LevelCoordinator;
class NodeAnimation;
class PlayRecorder;
class ProgressStore;
class RangeRing;
class Node2D;
class TextLineNode;
class Tower;
class TowerPanel;
class Video2DTexture;

class LevelScene : public Scene, private LevelHud {
public:
    // Seconds of scaled time per simulation step.
    static constexpr double kSimulationStep = 1.0 / 60.0;

    // The first hint of the campaign's first level.
    static constexpr const char* kBuildHint = "Click a stone base, then a card, to build a tower";

    // The level of that name (GAME_DATA/levels/NAME.ini); the scene is named after it.
    // progress: where a win is recorded (not owned; it outlives the scenes), or null.
    explicit LevelScene(std::string levelName, ProgressStore* progress = nullptr);
    ~LevelScene() override;

    void load() override;
    void start(Window& window) override;
    void update(Window& window, float elapsed) override;
    void onKey(Window& window, int key, int scancode, int action, int mods) override;
    // Clicks on built towers select them (a plot's own clicks reach the plot).
    void onMouseButton(Window& window, int button, int action, int mods) override;

    void playTrackShot(const std::string& animationName);

    LevelCoordinator& coordinator() const { return *coordinator_; }
    float trackShotSpeed() const { return trackShotSpeed_; }
    RangeRing& rangeRing() const { return *rangeRing_; }
    // Called after every simulation step; a scripted player acts here, between two steps.
    void setAfterStep(std::function<void()> callback) { afterStep_ = std::move(callback); }
    // Simulation steps taken since the level began.
    std::int64_t stepCount() const { return stepCount_; }

    // The level after this one in the campaign; empty for the last one.
    const std::string& nextLevel() const { return nextLevel_; }
    // The line that tells a new player how to build; null on other levels than the first.
    TextLineNode* buildHint() const { return buildHint_; }

private:
    void buildHud();
    void buildEndDialog();
    void buildWorld();
    // After every step: the win is recorded once, and the build hint goes with the first tower.
    void afterRules();
    // Replaces this scene by another: a level, or the menu at its map.
    void switchTo(std::unique_ptr<Scene> next);

    // What the rules show.
    void showLives(int lives) override;
    void showResources(int resources) override;
    void showWave(int defeated, int total) override;
    void showPaused(bool paused) override;
    void showSpeed(float speed) override;
    void showEnd(bool won) override;
    void showCards(bool shown) override;
    void showTowerPanel(Tower* tower) override;
    void showNextMonster(std::optional<EnemyType> type, float seconds) override;

    LevelDefinition level_;
    std::unique_ptr<LevelCoordinator> coordinator_;
    float trackShotSpeed_ = 0.2f;
    std::shared_ptr<NodeAnimation> trackShot_;
    std::shared_ptr<Video2DTexture> tvTexture_;
    bool keyHandlerRegistered_ = false;
    double stepBacklog_ = 0.0; // scaled seconds not yet simulated
    std::int64_t stepCount_ = 0;
    std::unique_ptr<PlayRecorder> recorder_; // the game's recording of this play, when it records
    std::function<void()> afterStep_;
    ProgressStore* progress_;
    std::string nextLevel_;
    bool firstLevel_ = false;
    bool winRecorded_ = false;

    // HUD widgets (owned by the 2D tree).
    TextLineNode* resourcesText_ = nullptr;
    TextLineNode* livesText_ = nullptr;
    TextLineNode* waveText_ = nullptr;
    TextLineNode* nextMonsterText_ = nullptr;
    ButtonNode* speedButton_ = nullptr;
    BuildingCardPanel* cardPanel_ = nullptr;
    TowerPanel* towerPanel_ = nullptr;
    ImageNode* pauseVeil_ = nullptr;
    ButtonNode* pauseButton_ = nullptr;
    ImageNode* endVeil_ = nullptr;
    TextLineNode* buildHint_ = nullptr;
    RangeRing* rangeRing_ = nullptr; // owned by the 3D tree
};

} // namespace hm
