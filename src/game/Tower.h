// Towers and the bases they stand on.
//
// A tower base is a fixed building plot: it lights up under the mouse, is selected with a click
// and builds the tower bought from the card panel, with a puff of construction smoke. A tower
// rises with its construction animation and then, every fire interval, shoots at one monster
// within its range, chosen by its targeting mode; a monster attacking the core comes first in
// every mode. Towers do not turn; projectiles are aimed.
//
// A tower has three levels (TowerLevel): upgrades raise its damage, range and rate of fire, and
// each level looks different. The model carries a complete mesh per level: the tower's own mesh is
// level 1, its skinned children "<node>Level2" and "<node>Level3" the others; the tower shows the
// one of its level and plays every animation on all of them, so they stay in step.
#pragma once

#include "animation/RiggedMeshNode.h"
#include "game/Prototypes.h"
#include "render/MeshNode.h"
#include "scene/NodeRef.h"

#include <optional>
#include <string>
#include <vector>

namespace hm {

class Enemy;
class ParticleSystem;
class TowerBase;

enum class TowerState : std::int32_t { Constructing = 1, Ready = 2 };

class Tower : public RiggedMeshNode {
public:
    Tower(const RiggedMeshNode& prototype, TowerType type, TowerBase& base);

    void update(float dt) override;
    void onAnimationEnd(const std::shared_ptr<Animation>& animation) override;
    using BoneAnimator::queueAnimation;
    // Every request is repeated on the meshes of the other levels, so that they move with it.
    void queueAnimation(int index, int mode, float speed, int queueMode, bool interrupt) override;
    virtual void fire(Enemy& target);
    void setState(TowerState state);

    TowerState state() const { return state_; }
    TowerType type() const { return type_; }
    const TowerPrototype& prototype() const { return *prototype_; }
    Enemy* target() const { return target_.get(); }
    // Where projectiles start: the tower's first child, or the tower itself.
    Node3D& muzzle();
    TowerBase& base() const { return *base_; }
    // The enemy it would shoot now, by its targeting mode, or null.
    Enemy* chooseTarget() const;

    // 1 to kTowerLevels; the figures and the look follow. The coordinator's upgradeTower pays.
    int level() const { return level_; }
    void setLevel(int level);
    const TowerLevel& figures() const { return towerLevel(type_, level_); }
    // Everything paid for the tower so far: its price and its upgrades.
    int spent() const { return spent_; }
    void addSpent(int amount) { spent_ += amount; }
    TargetingMode targeting() const { return targeting_; }
    void setTargeting(TargetingMode mode) { targeting_ = mode; }
    // The mesh node shown for a level: the tower itself for level 1 (and for a level the model has
    // no mesh of), else its "<node>LevelN" child.
    MeshNode& levelMesh(int level);

private:
    float chargeTimer_ = 0.0f;
    const TowerPrototype* prototype_;
    TowerState state_ = TowerState::Constructing;
    TowerType type_;
    NodeRef<Enemy> target_;
    TowerBase* base_;
    float fireInterval_;
    float constructionSpeed_;
    int level_ = 1;
    int spent_ = 0;
    TargetingMode targeting_ = TargetingMode::First;
    // The meshes of levels 2 and up (null where the model has none), children of the tower.
    std::vector<NodeRef<RiggedMeshNode>> levelParts_;
};

class ArrowTower : public Tower {
public:
    using Tower::Tower;
};

class CannonTower : public Tower {
public:
    using Tower::Tower;
};

class TowerBase : public MeshNode {
public:
    // A level model marks its plots with placeholders "TowerBase[1]".."TowerBase[N]".
    static constexpr const char* kPlaceholderName = "TowerBase";
    // N of "TowerBase[N]" (N from 1); 0 for any other name.
    static int placeholderNumber(const std::string& name);
    // Placeholders in the order of their numbers, those without one last (keeping tree order
    // among equals): plot N of the game is "TowerBase[N]" whatever order the file lists them in.
    static void sortPlaceholders(std::vector<Node3D*>& placeholders);

    TowerBase(const MeshNode& prototype, int index);

    std::string getTypeName() const override { return "TowerBase"; }
    void onMouseEnter(const glm::vec2& cursor, const glm::vec3& hitPosition,
                      const glm::vec3& hitNormal) override;
    void onMouseLeave(const glm::vec2& cursor, const glm::vec3& hitPosition,
                      const glm::vec3& hitNormal) override;
    void onClick(const glm::vec2& cursor, const glm::vec3& hitPosition, const glm::vec3& hitNormal) override;

    // 1 paints the ring red ("tbiHover"), 0 gives it back its normal material.
    void setHighlight(int value);
    // Pays for and builds a tower of that type, unless one stands here or it is unaffordable.
    void build(TowerType type);
    // Takes the tower away (it is destroyed at its next update) with a puff of smoke; the plot is
    // free again. The coordinator's sellTower pays for it.
    void removeTower();

    int index() const { return index_; }
    int highlight() const { return highlight_; }
    Tower* tower() const { return tower_; }
    ParticleSystem* smoke() const { return smoke_; }

private:
    int index_;
    int highlight_ = 0;
    MeshNode* indicator_ = nullptr;
    Tower* tower_ = nullptr;
    ParticleSystem* smoke_ = nullptr;
};

} // namespace hm
