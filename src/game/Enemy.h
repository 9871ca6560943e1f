// A stone monster riding the path towards the core.
//
// The enemy does not move itself: it hangs under a path carrier that the path animation moves.
// It plays "Walk", "Attack" and "Dying" on its body and, in step, on its glowing core parts,
// flashes red when hit, dies and sinks into the ground, or attacks the core at the end of the
// path and costs lives. Once hurt it shows a health bar (HealthBar, a child node).
#pragma once

#include "animation/RiggedMeshNode.h"
#include "game/Prototypes.h"
#include "scene/NodeRef.h"

#include <memory>
#include <vector>

namespace hm {

class NodeAnimation;
class Road;

enum class EnemyState : std::int32_t { Spawned = 0, Walking = 1, Dying = 2, Dead = 3, Attacking = 4 };

class Enemy : public RiggedMeshNode {
public:
    static constexpr float kHitFlashSeconds = 0.5f;
    static constexpr float kSinkDepth = 0.3f;
    static constexpr float kSinkSpeed = 0.1f;

    Enemy(const RiggedMeshNode& prototype, EnemyType type, int id);
    ~Enemy() override;

    void update(float dt) override;
    std::string getTypeName() const override { return "Enemy"; }

    using BoneAnimator::queueAnimation;
    // Every request is repeated on the core parts so that they move with the body.
    void queueAnimation(int index, int mode, float speed, int queueMode, bool interrupt) override;
    void onAnimationEnd(const std::shared_ptr<Animation>& animation) override;

    void setPath(std::shared_ptr<NodeAnimation> path);
    // The node the path animation moves, with this enemy below it. It exists for this enemy
    // alone and is removed with it once the enemy has died and sunk.
    void setCarrier(Node3D& carrier) { carrier_ = NodeRef<Node3D>(&carrier); }
    // The road it rides; the level's coordinator owns the roads for as long as enemies walk.
    void setRoad(const Road& road) { road_ = &road; }
    void hit(float damage);
    void setState(EnemyState state);
    void setHitFlash(bool on);

    EnemyState state() const { return state_; }
    EnemyType type() const { return type_; }
    int id() const { return id_; }
    float health() const { return health_; }
    const EnemyPrototype& prototype() const { return *prototype_; }
    // Where towers aim and projectiles strike: the "EnemyTarget" node, or the enemy itself.
    Node3D& targetPoint();
    // Path progress from 0 at the spawn point to 1 at the core; 1 while attacking the core.
    float pathProgress() const;
    // The distance along its own road still to go to the core; 0 while attacking the core.
    // Without a measured road, the share of the path still to go.
    float distanceLeft() const;
    // 1-based number of the road it rides (1 when it was never given one).
    int road() const;
    const std::shared_ptr<NodeAnimation>& pathAnimation() const { return path_; }
    bool alive() const { return state_ == EnemyState::Walking || state_ == EnemyState::Attacking; }

private:
    void removeStuckArrows();

    const EnemyPrototype* prototype_;
    EnemyState state_ = EnemyState::Spawned;
    EnemyType type_;
    int id_;
    std::shared_ptr<NodeAnimation> path_;
    std::vector<NodeRef<RiggedMeshNode>> coreParts_;
    NodeRef<Node3D> targetPoint_;
    NodeRef<Node3D> carrier_;
    const Road* road_ = nullptr;
    float health_;
    float hitTimer_ = 0.0f;
    float sinkDepth_ = 0.0f;
};

} // namespace hm
