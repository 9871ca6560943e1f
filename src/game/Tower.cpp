#include "game/Tower.h"

#include "animation/Animation.h"
#include "animation/NodeAnimator.h"
#include "effects/ParticleSystem.h"
#include "game/Enemy.h"
#include "game/GameSound.h"
#include "game/LevelCoordinator.h"
#include "game/Projectile.h"
#include "render/Material.h"
#include "render/TextureRegistry.h"

#include <glm/geometric.hpp>

#include <algorithm>
#include <charconv>
#include <limits>

namespace hm {

Tower::Tower(const RiggedMeshNode& prototype, TowerType type, TowerBase& base)
    : RiggedMeshNode(prototype), prototype_(&towerPrototype(type)), type_(type), base_(&base),
      fireInterval_(prototype_->fireInterval), constructionSpeed_(prototype_->constructionSpeed) {
    setName("t[" + std::to_string(base.index()) + "]");
    for (int level = 2; level <= kTowerLevels; ++level) {
        RiggedMeshNode* part = nullptr;
        for (const auto& child : getChildren())
            if (baseName(child->getName()) == prototype_->nodeName + "Level" + std::to_string(level))
                part = dynamic_cast<RiggedMeshNode*>(child.get());
        levelParts_.emplace_back(part);
    }
    setLevel(1);
}

MeshNode& Tower::levelMesh(int level) {
    for (int l = std::min(level, kTowerLevels); l >= 2; --l)
        if (RiggedMeshNode* part = levelParts_[static_cast<std::size_t>(l - 2)].get())
            return *part;
    return *this;
}

void Tower::setLevel(int level) {
    level_ = std::clamp(level, 1, kTowerLevels);
    fireInterval_ = figures().fireInterval;
    MeshNode& shown = levelMesh(level_);
    setShown(&shown == this);
    for (auto& part : levelParts_)
        if (RiggedMeshNode* mesh = part.get())
            mesh->setShown(mesh == &shown);
}

void Tower::queueAnimation(int index, int mode, float speed, int queueMode, bool interrupt) {
    BoneAnimator::queueAnimation(index, mode, speed, queueMode, interrupt);
    if (index < 0 || static_cast<std::size_t>(index) >= animations().size())
        return;
    // The level meshes carry their own copy of the animations; they are addressed by name.
    const std::string& name = animations()[static_cast<std::size_t>(index)]->name();
    for (auto& part : levelParts_)
        if (RiggedMeshNode* mesh = part.get())
            mesh->queueAnimation(name, mode, speed, queueMode, interrupt);
}

Node3D& Tower::muzzle() {
    return getChildren().empty() ? *this : *getChildren().front();
}

void Tower::setState(TowerState state) {
    if (state == TowerState::Constructing)
        queueAnimation(std::string("Construction"), 0, constructionSpeed_, 0, false);
    state_ = state;
}

void Tower::onAnimationEnd(const std::shared_ptr<Animation>&) {
    if (state_ == TowerState::Constructing)
        state_ = TowerState::Ready;
}

namespace {

// The monster with the least road left to the core comes first, whatever road it rides; a monster
// attacking the core has none left. Equal distances go to the one further along its path.
bool closerToCore(const Enemy& a, const Enemy& b) {
    const float left = a.distanceLeft(), otherLeft = b.distanceLeft();
    if (left != otherLeft)
        return left < otherLeft;
    return a.pathProgress() > b.pathProgress();
}

// Whether monster a is a better target than b for the mode; ties keep b (the one spawned earlier).
// A monster attacking the core comes before every other: it is the one taking lives.
bool ranksBefore(TargetingMode mode, const Enemy& a, float distanceA, const Enemy& b, float distanceB) {
    const bool attackingA = a.state() == EnemyState::Attacking,
               attackingB = b.state() == EnemyState::Attacking;
    if (attackingA != attackingB)
        return attackingA;
    switch (mode) {
    case TargetingMode::First:
        return closerToCore(a, b);
    case TargetingMode::Last:
        return closerToCore(b, a);
    case TargetingMode::Strongest:
        if (a.health() != b.health())
            return a.health() > b.health();
        return closerToCore(a, b);
    case TargetingMode::Closest:
        if (distanceA != distanceB)
            return distanceA < distanceB;
        return closerToCore(a, b);
    }
    return false;
}

} // namespace

Enemy* Tower::chooseTarget() const {
    LevelCoordinator* coordinator = LevelCoordinator::instance();
    if (!coordinator)
        return nullptr;
    const glm::vec3 position = getWorldPosition();
    const float range = figures().range;
    Enemy* chosen = nullptr;
    float chosenDistance = 0.0f;
    for (Enemy* enemy : coordinator->enemies()) {
        const float distance = glm::length(position - enemy->getWorldPosition());
        if (!enemy->alive() || distance > range)
            continue;
        if (!chosen || ranksBefore(targeting_, *enemy, distance, *chosen, chosenDistance)) {
            chosen = enemy;
            chosenDistance = distance;
        }
    }
    return chosen;
}

void Tower::update(float dt) {
    RiggedMeshNode::update(dt);
    if (state_ != TowerState::Ready)
        return;
    chargeTimer_ += dt;
    if (chargeTimer_ > fireInterval_) {
        target_.reset();
        if (Enemy* chosen = chooseTarget()) {
            target_ = NodeRef<Enemy>(chosen);
            fire(*chosen);
        }
        chargeTimer_ = 0.0f;
    }
}

void Tower::fire(Enemy& target) {
    LevelCoordinator* coordinator = LevelCoordinator::instance();
    if (!coordinator)
        return;
    const ProjectilePrototype& projectile = projectilePrototype(prototype_->projectileType);
    auto* prototypeNode = dynamic_cast<MeshNode*>(coordinator->getPrototypeNode(projectile.nodeName));
    Node3D* holder = base_->getParent();
    if (!prototypeNode || !holder)
        return;
    const int id = coordinator->nextProjectileId();
    auto created =
        std::make_unique<Projectile>(*prototypeNode, prototype_->projectileType, id, *this, target);
    Projectile& shot = *created;
    holder->addChild(std::move(created));
    shot.shoot();
    playSoundAt(*this, prototype_->nodeName + "Charge");
}

// --- Tower base ---------------------------------------------------------------------------

namespace {

// The construction smoke: a quick fade-in over the first tenth of a puff's life and a fade-out
// over the last fifth, turning slowly.
void smokePuff(float t, Particle& p) {
    p.size = 2.8f;
    p.free = 2.0f * t;
    const float alpha =
        0.35f * std::min(std::clamp(10.0f * t, 0.0f, 1.0f), std::clamp(5.0f * (1.0f - t), 0.0f, 1.0f));
    p.colour = glm::vec4(1.0f, 1.0f, 1.0f, alpha);
}

} // namespace

int TowerBase::placeholderNumber(const std::string& name) {
    const std::string base = kPlaceholderName;
    if (name.size() < base.size() + 3 || name.compare(0, base.size(), base) != 0 ||
        name[base.size()] != '[' || name.back() != ']')
        return 0;
    const char* first = name.data() + base.size() + 1;
    const char* last = name.data() + name.size() - 1;
    int number = 0;
    const auto [end, error] = std::from_chars(first, last, number);
    return error == std::errc() && end == last && number > 0 ? number : 0;
}

void TowerBase::sortPlaceholders(std::vector<Node3D*>& placeholders) {
    auto key = [](const Node3D* node) {
        const int number = placeholderNumber(node->getName());
        return number > 0 ? number : std::numeric_limits<int>::max();
    };
    std::stable_sort(placeholders.begin(), placeholders.end(),
                     [&](const Node3D* a, const Node3D* b) { return key(a) < key(b); });
}

TowerBase::TowerBase(const MeshNode& prototype, int index) : MeshNode(prototype), index_(index) {
    setName("tb[" + std::to_string(index) + "]");
    if (!getChildren().empty()) {
        indicator_ = dynamic_cast<MeshNode*>(getChildren().front().get());
        getChildren().front()->setName("tbi[" + std::to_string(index) + "]");
    }
    auto smoke = std::make_unique<ParticleSystem>("towerParticle");
    smoke->texture = loadTexture("particles/greySmoke.png", TextureFormat::Auto, TextureFilter::Linear,
                                 TextureFilter::LinearMipmapLinear, TextureWrap::Repeat, TextureWrap::Repeat);
    smoke->batchSize = 1;
    smoke->lifetimeBase = 0.6f;
    smoke->lifetimeRange = 4.0f;
    smoke->spawnExtent = {0.2f, 0.03f, 0.2f};
    smoke->velocityMin = {-0.025f, 0.0f, -0.025f};
    smoke->velocityMax = {0.025f, 0.04f, 0.025f};
    smoke->additive = false;
    smoke->updateFunction = smokePuff;
    smoke_ = smoke.get();
    addChild(std::move(smoke));
    smoke_->translate({0.0f, -0.35f, 0.0f});
}

void TowerBase::setHighlight(int value) {
    if (indicator_ && (value == 0 || value == 1))
        if (auto material =
                MaterialRegistry::instance().findMaterial(value == 1 ? "tbiHover" : "ColorPicker"))
            indicator_->setMaterial(material);
    highlight_ = value;
}

void TowerBase::onMouseEnter(const glm::vec2&, const glm::vec3&, const glm::vec3&) {
    setHighlight(1);
}

void TowerBase::onMouseLeave(const glm::vec2&, const glm::vec3&, const glm::vec3&) {
    LevelCoordinator* coordinator = LevelCoordinator::instance();
    // A selected plot, or the plot of the selected tower, stays red.
    const bool selected = coordinator && (coordinator->selectedBase() == this ||
                                          (tower_ && coordinator->selectedTower() == tower_));
    if (!selected)
        setHighlight(0);
}

void TowerBase::onClick(const glm::vec2&, const glm::vec3&, const glm::vec3&) {
    if (tower_)
        return;
    if (LevelCoordinator* coordinator = LevelCoordinator::instance())
        coordinator->selectTowerBase(this);
}

void TowerBase::build(TowerType type) {
    LevelCoordinator* coordinator = LevelCoordinator::instance();
    if (tower_ || !coordinator)
        return;
    const TowerPrototype& prototype = towerPrototype(type);
    if (prototype.cost > coordinator->resources())
        return;
    auto tower = coordinator->createTower(type, *this);
    if (!tower)
        return;
    coordinator->setResources(coordinator->resources() - prototype.cost);
    tower->addSpent(prototype.cost);
    tower_ = tower.get();
    addChild(std::move(tower));
    coordinator->reportAction({"build", index_, prototype.typeName});
    if (smoke_)
        smoke_->emit(100);
    playSoundAt(*this, "construction");
}

void TowerBase::removeTower() {
    if (!tower_)
        return;
    tower_->destroy(true);
    tower_ = nullptr;
    if (smoke_)
        smoke_->emit(60);
    playSoundAt(*this, "construction");
}

} // namespace hm
