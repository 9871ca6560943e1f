// Arrows and cannonballs. A tower aims a projectile once and gives it a start velocity; the
// physics simulation flies it under gravity. It strikes on its first contact, or when its fuse
// (the computed flight time plus a little) runs out, and always damages its target (or the
// enemy it struck). Arrows stick into the enemy; cannonballs explode with splash damage.
#pragma once

#include "game/Prototypes.h"
#include "render/MeshNode.h"
#include "scene/NodeRef.h"

#include <memory>

namespace hm {

class Enemy;
class NodeAnimation;
class Tower;

class Projectile : public MeshNode {
public:
    static constexpr float kFuseMargin = 0.3f;

    Projectile(const MeshNode& prototype, ProjectileType type, int id, Tower& shooter, Enemy& target);
    ~Projectile() override;

    void update(float dt) override;
    void onContact(Node3D& other) override;
    std::string getTypeName() const override { return "Projectile"; }

    // Starts the flight from the shooter's muzzle towards the target; call once, after the
    // projectile has joined the scene tree.
    void shoot();
    // Impact on the struck enemy: damage, splash, sticking or exploding, sound.
    void explode(Enemy& struck);

    bool armed() const { return armed_; }
    float fuseTimer() const { return fuseTimer_; }
    int id() const { return id_; }
    const ProjectilePrototype& prototype() const { return *prototype_; }
    // The shooter's figures when it fired: a shot keeps them if the tower is upgraded or sold
    // while it flies.
    float damage() const { return damage_; }
    float splashRadius() const { return splashRadius_; }
    Node3D* explosion() const { return explosion_.get(); }

private:
    NodeRef<Tower> shooter_;
    NodeRef<Enemy> target_;
    const ProjectilePrototype* prototype_;
    ProjectileType type_;
    int id_;
    float damage_;
    float splashRadius_;
    bool armed_ = true;
    float fuseTimer_ = -1.0f;
    NodeRef<Node3D> explosion_;
    std::shared_ptr<NodeAnimation> explosionAnimation_;
};

} // namespace hm
