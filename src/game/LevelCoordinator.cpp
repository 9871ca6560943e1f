#include "game/LevelCoordinator.h"

#include "animation/NodeAnimator.h"
#include "app/Log.h"
#include "effects/ParticleSystem.h"
#include "game/Enemy.h"
#include "game/GameSound.h"
#include "game/LevelHud.h"
#include "game/Tower.h"
#include "render/Material.h"
#include "render/Solid2DTexture.h"
#include "scene/Scene.h"

#include <algorithm>
#include <cmath>

namespace hm {

namespace {

// The first node of that name below the root's children, each child's subtree depth-first.
Node3D* findBelowChildren(Node3D& root, const std::string& name) {
    for (const auto& child : root.getChildren())
        if (Node3D* found = child->findByName(name))
            return found;
    return nullptr;
}

} // namespace

LevelCoordinator::LevelCoordinator(Scene& scene, LevelHud& hud, const ModelLoader& loader,
                                   LevelDefinition level)
    : level_(std::move(level)), scene_(scene), hud_(hud) {
    loadPrototypes(loader);
    setupMaterials();
    instance_ = this;
}

LevelCoordinator::~LevelCoordinator() {
    if (instance_ == this)
        instance_ = nullptr;
    prototypes_.clear();
}

void LevelCoordinator::loadPrototypes(const ModelLoader& loader) {
    std::vector<std::pair<std::string, std::string>> work = buildingBasePrototypes();
    for (const auto& [type, p] : towerPrototypes())
        work.emplace_back(p.modelFile, p.nodeName);
    for (const auto& [type, p] : enemyPrototypes())
        work.emplace_back(p.modelFile, p.nodeName);
    for (const auto& [type, p] : projectilePrototypes())
        work.emplace_back(p.modelFile, p.nodeName);

    for (const auto& [file, nodeName] : work) {
        std::unique_ptr<Node3D> root = loader(file);
        if (!root) {
            spdlog::error("Couldnt load prototype file '{0}'", file);
            return;
        }
        std::unique_ptr<Node3D> prototype;
        if (Node3D* found = findBelowChildren(*root, nodeName))
            prototype = found->detach();
        if (!prototype)
            prototype = std::move(root);
        prototype->setName(nodeName);
        prototypes_[nodeName] = std::move(prototype);
    }
}

void LevelCoordinator::setupMaterials() {
    auto& registry = MaterialRegistry::instance();
    const std::pair<const char*, glm::vec3> colours[] = {{"tbiHover", {1.0f, 0.0f, 0.0f}},
                                                         {"eHit", {0.8f, 0.2f, 0.2f}}};
    for (const auto& [name, colour] : colours) {
        auto material = registry.findMaterial(name);
        if (!material) {
            auto solid = registry.createSolidMaterial(name);
            solid->colour = colour;
            material = solid;
        }
        auto texture =
            std::make_shared<Solid2DTexture>(std::string("?") + name, glm::vec4(colour, 1.0f),
                                             Solid2DTexture::defaultParameters(TextureFormat::RGB8));
        if (texture->load())
            material->setTexture(0, texture);
    }
}

void LevelCoordinator::setRoads(std::vector<Road> roads) {
    roads_ = std::move(roads);
}

void LevelCoordinator::begin() {
    state_ = GameState::Playing;
    setLives(level_.lives);
    setResources(level_.resources);
    spawnCountdown_ = level_.schedule.empty() ? kNoSpawn : level_.schedule.front().delay;
    refreshWaveText();
    refreshNextMonster();
}

void LevelCoordinator::refreshNextMonster() {
    const auto& schedule = level_.schedule;
    const int next = spawnedCount_ + 1;
    if (next < static_cast<int>(schedule.size()) && spawnCountdown_ > kNoSpawn)
        hud_.showNextMonster(schedule[static_cast<std::size_t>(next)].type, std::max(spawnCountdown_, 0.0f));
    else
        hud_.showNextMonster(std::nullopt, 0.0f);
}

Node3D* LevelCoordinator::getPrototypeNode(const std::string& name) const {
    auto it = prototypes_.find(name);
    return it == prototypes_.end() ? nullptr : it->second.get();
}

std::unique_ptr<TowerBase> LevelCoordinator::createTowerBase() {
    const auto& [file, nodeName] = buildingBasePrototypes().front();
    auto* prototype = dynamic_cast<MeshNode*>(getPrototypeNode(nodeName));
    if (!prototype) {
        spdlog::error("No prototype {0} to build a tower base from.", nodeName);
        return nullptr;
    }
    auto base = std::make_unique<TowerBase>(*prototype, static_cast<int>(towerBases_.size()) + 1);
    towerBases_.push_back(base.get());
    return base;
}

std::unique_ptr<Tower> LevelCoordinator::createTower(TowerType type, TowerBase& base) {
    auto it = towerPrototypes().find(type);
    if (it == towerPrototypes().end())
        return nullptr;
    auto* prototype = dynamic_cast<RiggedMeshNode*>(getPrototypeNode(it->second.nodeName));
    if (!prototype) {
        spdlog::error("No prototype {0} to build a tower from.", it->second.nodeName);
        return nullptr;
    }
    std::unique_ptr<Tower> tower;
    if (type == TowerType::ARROW)
        tower = std::make_unique<ArrowTower>(*prototype, type, base);
    else
        tower = std::make_unique<CannonTower>(*prototype, type, base);
    tower->setState(TowerState::Constructing);
    return tower;
}

bool LevelCoordinator::canAfford(TowerType type) const {
    auto it = towerPrototypes().find(type);
    return it != towerPrototypes().end() && it->second.cost <= resources_;
}

void LevelCoordinator::spawnEnemy(EnemyType type, int roadNumber) {
    ++spawnedCount_;
    const int id = spawnedCount_;
    const EnemyPrototype& prototype = enemyPrototype(type);
    auto* source = dynamic_cast<RiggedMeshNode*>(getPrototypeNode(prototype.nodeName));
    if (!source || roads_.empty()) {
        spdlog::error("Enemy {0} cannot be spawned: its prototype or the level's path is missing.", id);
        return;
    }
    if (roadNumber < 1 || roadNumber > static_cast<int>(roads_.size())) {
        spdlog::error("Enemy {0} should ride road {1}, which the level does not have; it rides road 1.", id,
                      roadNumber);
        roadNumber = 1;
    }
    const Road& road = roads_[static_cast<std::size_t>(roadNumber) - 1];
    Node3D* pathTemplate = road.carrierTemplate();
    Node3D* spawnPoint = road.spawnPoint();
    Node3D* carrierParent = pathTemplate->getParent();
    auto path = scene_.nodeAnimator().createAnimation(road.animation(), 0, 0);
    if (!path)
        return;

    auto enemy = std::make_unique<Enemy>(*source, type, id);
    Enemy& ref = *enemy;
    std::unique_ptr<Node3D> carrier = pathTemplate->copy();
    Node3D& carrierRef = *carrier;
    carrier->setName("ep[" + std::to_string(id) + "]");
    carrier->addChild(std::move(enemy));
    carrierParent->addChild(std::move(carrier));
    if (spawnPoint)
        carrierRef.translateGlobal(spawnPoint->getWorldPosition() - carrierRef.getWorldPosition());

    path->setTarget(carrierRef);
    ref.setCarrier(carrierRef);
    ref.setRoad(road);
    ref.setPath(path);
    scene_.nodeAnimator().play(path);
    enemies_.push_back(&ref);
}

void LevelCoordinator::forgetEnemy(Enemy& enemy) {
    std::erase(enemies_, &enemy);
}

void LevelCoordinator::onEnemyRemoved(Enemy& enemy, bool killed) {
    std::erase(enemies_, &enemy);
    ++defeatedCount_;
    refreshWaveText();
    if (killed) {
        ++killedCount_;
        setResources(resources_ + enemy.prototype().reward);
    }
    const int last = static_cast<int>(level_.schedule.size()) - 1;
    if (enemies_.empty() && spawnedCount_ >= last && state_ == GameState::Playing)
        end(GameState::Won, 4.0f, "You have won the game!");
}

void LevelCoordinator::end(GameState state, float delay, const char* message) {
    spdlog::info(message);
    state_ = state;
    endTimer_ = delay;
    // Straight back to normal speed, whatever the button showed.
    setGameSpeed(1.0f);
    // The dialog takes the screen: a tower panel or the building cards would stay under it.
    clearSelection();
}

void LevelCoordinator::setLives(int value) {
    if (state_ != GameState::Playing)
        return;
    lives_ = value;
    hud_.showLives(std::max(value, 0));
    if (std::max(value, 0) == 0)
        end(GameState::Lost, 0.01f, "You have lost the game!");
}

void LevelCoordinator::setResources(int value) {
    resources_ = value;
    hud_.showResources(value);
}

void LevelCoordinator::refreshWaveText() {
    hud_.showWave(defeatedCount_, static_cast<int>(level_.schedule.size()));
}

void LevelCoordinator::selectTowerBase(TowerBase* base) {
    TowerBase* next = base == selectedBase_ ? nullptr : base;
    if (next && selectedTower_.get())
        selectTower(nullptr);
    if (selectedBase_)
        selectedBase_->setHighlight(0);
    selectedBase_ = next;
    if (next)
        next->setHighlight(1);
    hud_.showCards(next != nullptr);
}

void LevelCoordinator::selectTower(Tower* tower) {
    Tower* previous = selectedTower_.get();
    Tower* next = tower == previous ? nullptr : tower;
    if (next && selectedBase_)
        selectTowerBase(nullptr);
    if (previous)
        previous->base().setHighlight(0);
    selectedTower_ = NodeRef<Tower>(next);
    if (next)
        next->base().setHighlight(1);
    if (next || previous)
        hud_.showTowerPanel(next);
}

bool LevelCoordinator::clearSelection() {
    if (selectedBase_) {
        selectTowerBase(nullptr);
        return true;
    }
    if (selectedTower_.get()) {
        selectTower(nullptr);
        return true;
    }
    return false;
}

std::optional<int> LevelCoordinator::upgradePrice(const Tower& tower) const {
    if (tower.level() >= kTowerLevels)
        return std::nullopt;
    return towerLevel(tower.type(), tower.level() + 1).price;
}

bool LevelCoordinator::canUpgrade(const Tower& tower) const {
    const std::optional<int> price = upgradePrice(tower);
    return price && *price <= resources_;
}

bool LevelCoordinator::upgradeTower(Tower& tower) {
    if ((state_ != GameState::Playing && state_ != GameState::Paused) || !canUpgrade(tower))
        return false;
    const int price = *upgradePrice(tower);
    setResources(resources_ - price);
    tower.addSpent(price);
    tower.setLevel(tower.level() + 1);
    reportAction({"upgrade", tower.base().index(), std::to_string(tower.level())});
    if (ParticleSystem* smoke = tower.base().smoke())
        smoke->emit(60);
    playSoundAt(tower.base(), "construction");
    return true;
}

int LevelCoordinator::sellValue(const Tower& tower) const {
    if (tower.state() == TowerState::Constructing)
        return tower.spent();
    return tower.spent() * kSellPercent / 100;
}

int LevelCoordinator::sellTower(Tower& tower) {
    if (state_ != GameState::Playing && state_ != GameState::Paused)
        return 0;
    const int value = sellValue(tower);
    if (selectedTower_.get() == &tower)
        selectTower(nullptr);
    tower.base().setHighlight(0);
    setResources(resources_ + value);
    reportAction({"sell", tower.base().index(), ""});
    tower.base().removeTower();
    return value;
}

void LevelCoordinator::setTargeting(Tower& tower, TargetingMode mode) {
    if (tower.targeting() == mode)
        return;
    tower.setTargeting(mode);
    reportAction({"target", tower.base().index(), targetingName(mode)});
}

void LevelCoordinator::togglePause() {
    if (state_ == GameState::Playing) {
        stateBeforePause_ = GameState::Playing;
        state_ = GameState::Paused;
        hud_.showPaused(true);
    } else if (state_ == GameState::Paused) {
        state_ = stateBeforePause_;
        hud_.showPaused(false);
    }
}

void LevelCoordinator::toggleSpeed() {
    setGameSpeed(gameSpeed_ >= 4.0f ? 1.0f : gameSpeed_ >= 2.0f ? 4.0f : 2.0f);
}

void LevelCoordinator::setGameSpeed(float speed) {
    if (std::find(std::begin(kSpeeds), std::end(kSpeeds), speed) == std::end(kSpeeds)) {
        spdlog::warn("A game speed of {0} is not one of 1, 2 and 4; the speed stays {1}.", speed, gameSpeed_);
        return;
    }
    const bool changed = speed != gameSpeed_;
    gameSpeed_ = speed;
    hud_.showSpeed(speed);
    // The end of a level sets the speed back by itself: only the player's choice is an action.
    if (changed && (state_ == GameState::Playing || state_ == GameState::Paused))
        reportAction({"speed", 0, std::to_string(static_cast<int>(speed))});
}

void LevelCoordinator::restart() {
    if (restartHandler_)
        restartHandler_();
}

void LevelCoordinator::update(float dt) {
    if (endTimer_ > 0.0f) {
        endTimer_ -= dt;
        if (endTimer_ <= 0.0f && (state_ == GameState::Won || state_ == GameState::Lost))
            hud_.showEnd(state_ == GameState::Won);
    }
    if (state_ != GameState::Playing)
        return;
    elapsed_ += dt;

    incomeTimer_ += dt;
    if (incomeTimer_ > level_.incomeInterval) {
        setResources(resources_ +
                     level_.income * static_cast<int>(std::trunc(incomeTimer_ / level_.incomeInterval)));
        incomeTimer_ = std::fmod(incomeTimer_, level_.incomeInterval);
    }

    if (spawnCountdown_ > kNoSpawn) {
        spawnCountdown_ -= dt;
        if (spawnCountdown_ <= 0.0f) {
            const int n = spawnedCount_ + 1;
            const auto& schedule = level_.schedule;
            if (n < static_cast<int>(schedule.size())) {
                spawnCountdown_ = kNoSpawn;
                const SpawnEntry& entry = schedule[static_cast<std::size_t>(n)];
                spawnEnemy(entry.type, entry.road);
                // A spawn that could not happen still counts, so the schedule never stalls.
                spawnedCount_ = std::max(spawnedCount_, n);
                if (n + 1 < static_cast<int>(schedule.size()))
                    spawnCountdown_ = schedule[static_cast<std::size_t>(n) + 1].delay;
            }
            spdlog::debug("Spawned Enemy {0}, next enemy in {1}", spawnedCount_, spawnCountdown_);
        }
        refreshNextMonster();
    }
}

} // namespace hm
