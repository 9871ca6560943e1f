// The rules of the level: prototypes of every tower, enemy and projectile, lives and resources,
// the spawn schedule, tower bases and towers, pause and faster play, victory and defeat.
//
// Exactly one coordinator exists while a level runs; game objects reach it through instance().
// The level scene creates it with the level's definition (economy and schedule), tells it the
// level's roads and how to show things on screen (LevelHud), and updates it every step.
#pragma once

#include "app/UpdateableObject.h"
#include "game/LevelDefinition.h"
#include "game/PlayerAction.h"
#include "game/Prototypes.h"
#include "game/Road.h"
#include "game/Tower.h"
#include "scene/NodeRef.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace hm {

class Enemy;
class LevelHud;
class Node3D;
class Scene;
class Tower;
class TowerBase;

enum class GameState : std::int32_t { Paused = 1, Playing = 2, Won = 3, Lost = 4 };

class LevelCoordinator : public UpdateableObject {
public:
    static constexpr float kNoSpawn = -100.0f;
    static constexpr float kSpeeds[] = {1.0f, 2.0f, 4.0f};

    // Imports one model file without a scene; null when it cannot be read.
    using ModelLoader = std::function<std::unique_ptr<Node3D>(const std::string& modelFile)>;

    static LevelCoordinator* instance() { return instance_; }

    LevelCoordinator(Scene& scene, LevelHud& hud, const ModelLoader& loader,
                     LevelDefinition level = standardLevel("level"));
    ~LevelCoordinator() override;
    LevelCoordinator(const LevelCoordinator&) = delete;
    LevelCoordinator& operator=(const LevelCoordinator&) = delete;

    // Where enemies come from and go: the level's roads, road 1 first.
    void setRoads(std::vector<Road> roads);
    // Lives, resources, the first spawn and the wave text: the level begins.
    void begin();
    // What "Replay" does; the level scene supplies it.
    void setRestartHandler(std::function<void()> handler) { restartHandler_ = std::move(handler); }
    // Told of every action of the player that changes the game, as it is done (a recording keeps
    // them, see PlayerAction.h); null for none.
    void setActionListener(std::function<void(const PlayerAction&)> listener) {
        actionListener_ = std::move(listener);
    }
    void reportAction(const PlayerAction& action) {
        if (actionListener_)
            actionListener_(action);
    }

    void update(float dt) override;

    Node3D* getPrototypeNode(const std::string& name) const;
    // A new base from the "BuildingBase" prototype, numbered from 1; the caller places it.
    std::unique_ptr<TowerBase> createTowerBase();
    std::unique_ptr<Tower> createTower(TowerType type, TowerBase& base);
    bool canAfford(TowerType type) const;
    // A monster on a road (1-based); a road the level lacks sends it along road 1, with an error.
    void spawnEnemy(EnemyType type, int road = 1);
    void onEnemyRemoved(Enemy& enemy, bool killed);
    // An enemy that is being destroyed leaves every list.
    void forgetEnemy(Enemy& enemy);
    void setLives(int value);
    void setResources(int value);
    void selectTowerBase(TowerBase* base);

    // --- What the player does with a built tower. Each action is one call, so that it can be
    // recorded and played again. Upgrades and sales happen while playing or paused, not after the end.
    // Selects the tower and shows its panel (a plot selected before is let go); the selected tower
    // again, or null, lets it go.
    void selectTower(Tower* tower);
    // Lets go of a selected plot or tower; false when nothing was selected.
    bool clearSelection();
    // The next level's price, or nothing at the top level.
    std::optional<int> upgradePrice(const Tower& tower) const;
    // There is a next level and the resources pay for it.
    bool canUpgrade(const Tower& tower) const;
    // Pays for the next level and raises the tower to it; false (and nothing happens) when it is at
    // the top level or the resources do not suffice.
    bool upgradeTower(Tower& tower);
    // What selling gives back now: kSellPercent of everything spent, all of it while building.
    int sellValue(const Tower& tower) const;
    // Pays the sell value, removes the tower and frees its plot; returns what was paid.
    int sellTower(Tower& tower);
    void setTargeting(Tower& tower, TargetingMode mode);

    void togglePause();
    // The fast-forward button: 1x, 2x, 4x and round again.
    void toggleSpeed();
    // 1, 2 or 4; anything else is refused with a warning.
    void setGameSpeed(float speed);
    void restart();
    int nextProjectileId() { return ++projectileCounter_; }

    int lives() const { return lives_; }
    int resources() const { return resources_; }
    int spawnedCount() const { return spawnedCount_; }
    int defeatedCount() const { return defeatedCount_; }
    int killedCount() const { return killedCount_; }
    float gameSpeed() const { return gameSpeed_; }
    float elapsed() const { return elapsed_; }
    float spawnCountdown() const { return spawnCountdown_; }
    float incomeTimer() const { return incomeTimer_; }
    GameState state() const { return state_; }
    TowerBase* selectedBase() const { return selectedBase_; }
    Tower* selectedTower() const { return selectedTower_.get(); }
    const std::vector<Enemy*>& enemies() const { return enemies_; }
    const std::vector<TowerBase*>& towerBases() const { return towerBases_; }
    Scene& scene() const { return scene_; }
    const LevelDefinition& level() const { return level_; }
    const std::vector<Road>& roads() const { return roads_; }
    std::size_t prototypeCount() const { return prototypes_.size(); }

private:
    void loadPrototypes(const ModelLoader& loader);
    void setupMaterials();
    void refreshWaveText();
    void refreshNextMonster();
    void end(GameState state, float delay, const char* message);

    static inline LevelCoordinator* instance_ = nullptr;

    LevelDefinition level_;
    int lives_ = level_.lives;
    int resources_ = level_.resources;
    int spawnedCount_ = -1;
    int projectileCounter_ = -1;
    float gameSpeed_ = 1.0f;
    float elapsed_ = 0.0f;
    float incomeTimer_ = 0.0f;
    float endTimer_ = -1.0f;
    std::map<std::string, std::unique_ptr<Node3D>> prototypes_;
    GameState state_ = GameState::Playing;
    GameState stateBeforePause_ = GameState::Playing;
    TowerBase* selectedBase_ = nullptr;
    NodeRef<Tower> selectedTower_;
    float spawnCountdown_ = kNoSpawn;
    int defeatedCount_ = 0;
    int killedCount_ = 0; // the defeated that towers killed (the others were consumed at the core)
    Scene& scene_;
    LevelHud& hud_;
    std::vector<Road> roads_;
    std::vector<TowerBase*> towerBases_;
    std::vector<Enemy*> enemies_;
    std::function<void()> restartHandler_;
    std::function<void(const PlayerAction&)> actionListener_;
};

} // namespace hm
