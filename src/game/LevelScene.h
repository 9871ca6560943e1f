// The scene in which the game is played: the level model, the rules (LevelCoordinator) and the
// heads-up display. Every frame the time is scaled by the game speed (1, 2 or 4; 0 while paused);
// the world and the rules then advance in fixed steps of kSimulationStep, so outcomes do not
// depend on the frame rate. The HUD and the pointer follow the frame time itself. Keys: 0 main camera, 1-4
// track shots, keypad +/- track-shot speed, P or Space pauses, M mutes, I hides the HUD, R restarts, Escape
// quits.
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
class RangeRing;
class Node2D;
class TextLineNode;
class Video2DTexture;

class LevelScene : public Scene, private LevelHud {
public:
    // Seconds of scaled time per simulation step.
    static constexpr double kSimulationStep = 1.0 / 60.0;

    // The level of that name (GAME_DATA/levels/NAME.ini); the scene is named after it.
    explicit LevelScene(std::string levelName);
    ~LevelScene() override;

    void load() override;
    void start(Window& window) override;
    void update(Window& window, float elapsed) override;
    void onKey(Window& window, int key, int scancode, int action, int mods) override;

    void playTrackShot(const std::string& animationName);

    LevelCoordinator& coordinator() const { return *coordinator_; }
    float trackShotSpeed() const { return trackShotSpeed_; }
    RangeRing& rangeRing() const { return *rangeRing_; }
    // Called after every simulation step; a scripted player acts here, between two steps.
    void setAfterStep(std::function<void()> callback) { afterStep_ = std::move(callback); }
    // Simulation steps taken since the level began.
    std::int64_t stepCount() const { return stepCount_; }

private:
    void buildHud();
    void buildWorld();

    // What the rules show.
    void showLives(int lives) override;
    void showResources(int resources) override;
    void showWave(int defeated, int total) override;
    void showPaused(bool paused) override;
    void showSpeed(float speed) override;
    void showEnd(bool won) override;
    void showCards(bool shown) override;
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

    // HUD widgets (owned by the 2D tree).
    TextLineNode* resourcesText_ = nullptr;
    TextLineNode* livesText_ = nullptr;
    TextLineNode* waveText_ = nullptr;
    TextLineNode* nextMonsterText_ = nullptr;
    ButtonNode* speedButton_ = nullptr;
    BuildingCardPanel* cardPanel_ = nullptr;
    ImageNode* pauseVeil_ = nullptr;
    ButtonNode* pauseButton_ = nullptr;
    ImageNode* endVeil_ = nullptr;
    RangeRing* rangeRing_ = nullptr; // owned by the 3D tree
};

} // namespace hm
