// Towers and the bases they stand on.
//
// A tower base is a fixed building plot: it lights up under the mouse, is selected with a click
// and builds the tower bought from the card panel, with a puff of construction smoke. A tower
// rises with its construction animation and then, every fire interval, shoots at the enemy that
// has come furthest along the path within its range. Towers do not turn; projectiles are aimed.
#pragma once

#include "animation/RiggedMeshNode.h"
#include "game/Prototypes.h"
#include "render/MeshNode.h"
#include "scene/NodeRef.h"

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
    virtual void fire(Enemy& target);
    void setState(TowerState state);

    TowerState state() const { return state_; }
    TowerType type() const { return type_; }
    const TowerPrototype& prototype() const { return *prototype_; }
    Enemy* target() const { return target_.get(); }
    // Where projectiles start: the tower's first child, or the tower itself.
    Node3D& muzzle();
    TowerBase& base() const { return *base_; }
    // The enemy it would shoot now: the one furthest along the path within range, or null.
    Enemy* chooseTarget() const;

private:
    float chargeTimer_ = 0.0f;
    const TowerPrototype* prototype_;
    TowerState state_ = TowerState::Constructing;
    TowerType type_;
    NodeRef<Enemy> target_;
    TowerBase* base_;
    float fireInterval_;
    float constructionSpeed_;
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
