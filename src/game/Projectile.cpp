#include "game/Projectile.h"

#include "animation/NodeAnimator.h"
#include "app/Log.h"
#include "game/Enemy.h"
#include "game/GameSound.h"
#include "game/LevelCoordinator.h"
#include "game/Tower.h"
#include "physics/PhysicsBody.h"
#include "scene/Scene.h"

#include <glm/geometric.hpp>
#include <glm/gtc/matrix_transform.hpp>

#include <fmt/format.h>

#include <cmath>

namespace hm {

Projectile::Projectile(const MeshNode& prototype, ProjectileType type, int id, Tower& shooter, Enemy& target)
    : MeshNode(prototype), shooter_(&shooter), target_(&target), prototype_(&projectilePrototype(type)),
      type_(type), id_(id), damage_(shooter.figures().damage), splashRadius_(shooter.figures().splashRadius) {
    // fmt rather than string concatenation: GCC 12 reports a false overlap in the latter at -O2.
    const std::string suffix = fmt::format("[{}]", id);
    setName("p" + suffix);
    for (const auto& child : getChildren())
        child->setName("pc" + suffix);
    scale(prototype_->scale, prototype_->scale, prototype_->scale);
}

Projectile::~Projectile() = default;

void Projectile::shoot() {
    Tower* shooter = shooter_.get();
    Enemy* target = target_.get();
    if (!shooter || !target) {
        destroy(true);
        return;
    }
    const glm::vec3 start = shooter->muzzle().getWorldPosition();
    const glm::vec3 goal = target->targetPoint().getWorldPosition();
    translateGlobal(start - getWorldPosition());

    const float distance = glm::length(goal - start);
    const float flightTime = distance / prototype_->speed;
    const glm::vec3 gravity = getScene() ? getScene()->gravity() : glm::vec3(0.0f, -9.81f, 0.0f);
    const glm::vec3 aim = goal - (gravity / 9.81f) * flightTime;
    const glm::vec3 toAim = aim - start;
    const glm::vec3 direction =
        glm::length(toAim) > 0.0f ? glm::normalize(toAim) : glm::vec3(0.0f, 1.0f, 0.0f);

    const float angle = std::acos(std::clamp(glm::dot(direction, glm::vec3(0, 1, 0)), -1.0f, 1.0f));
    if (angle > 0.001f) {
        glm::vec3 axis = glm::cross(glm::vec3(0, 1, 0), direction);
        // Straight down: any horizontal axis turns up into down.
        axis = glm::length(axis) > 1e-6f ? glm::normalize(axis) : glm::vec3(1, 0, 0);
        rotateGlobal(axis, angle);
    }
    if (auto* body = dynamic_cast<PhysicsBody*>(getBody()); body && body->actorType() == ActorType::Dynamic)
        body->setLinearVelocity(prototype_->speed * direction);
    fuseTimer_ = flightTime + kFuseMargin;
    playSoundAt(*this, prototype_->nodeName + "Shoot");
}

void Projectile::onContact(Node3D& other) {
    if (!armed_)
        return;
    fuseTimer_ = -1.0f;
    armed_ = false;
    auto* struck = other.getName().rfind("e[", 0) == 0 ? dynamic_cast<Enemy*>(&other) : nullptr;
    if (struck)
        explode(*struck);
    else if (Enemy* target = target_.get())
        explode(*target);
    else
        destroy(true);
}

void Projectile::update(float dt) {
    if (fuseTimer_ > 0.0f) {
        fuseTimer_ -= dt;
        if (fuseTimer_ < 0.0f) {
            armed_ = false;
            if (Enemy* target = target_.get())
                explode(*target);
            else
                destroy(true);
        }
    }
}

void Projectile::explode(Enemy& struck) {
    NodeRef<Enemy> struckRef(&struck);
    const glm::vec3 impact = struck.targetPoint().getWorldPosition();
    switch (prototype_->impact) {
    case ProjectileImpact::Stick: {
        const glm::mat4 world = getWorldMatrix();
        setBody(nullptr);
        std::unique_ptr<Node3D> self = detach();
        if (self) {
            Node3D& me = *self;
            struck.addChild(std::move(self));
            me.setWorldMatrix(world);
            const glm::vec3 at = me.getWorldPosition();
            me.translateGlobal({impact.x - at.x, 0.0f, impact.z - at.z});
        }
        break;
    }
    case ProjectileImpact::Explode: {
        setBody(nullptr);
        Scene* scene = getScene();
        if (!scene || !scene->root3D() || getChildren().empty())
            break;
        std::unique_ptr<Node3D> blast = releaseChild(getChildren().front().get());
        if (!blast)
            break;
        Node3D& node = *blast;
        scene->root3D()->addChild(std::move(blast));
        node.setLocalMatrix(glm::mat4(1.0f));
        node.translateGlobal(impact - node.getWorldPosition());
        node.scale(splashRadius_, splashRadius_, splashRadius_);
        explosion_ = NodeRef<Node3D>(&node);
        explosionAnimation_ = scene->nodeAnimator().createAnimation("ExplosionAnimation", 0, 1);
        if (explosionAnimation_) {
            explosionAnimation_->setTarget(node);
            NodeRef<Projectile> self(this);
            NodeAnimation* raw = explosionAnimation_.get();
            explosionAnimation_->setStateChangeCallback([self, raw] {
                if (raw->state() != NodeAnimationState::Finished)
                    return;
                if (Projectile* projectile = self.get()) {
                    if (Node3D* blastNode = projectile->explosion_.get())
                        blastNode->destroy(true);
                    projectile->destroy(true);
                }
            });
            explosionAnimation_->setSpeed(1.0f);
            scene->nodeAnimator().play(explosionAnimation_);
        } else {
            // Without the animation nothing would ever remove the explosion.
            node.destroy(true);
            destroy(true);
        }
        break;
    }
    case ProjectileImpact::Vanish:
        break;
    }

    if (Enemy* enemy = struckRef.get()) {
        enemy->hit(damage_);
    }
    if (splashRadius_ > 0.0f)
        if (LevelCoordinator* coordinator = LevelCoordinator::instance()) {
            const std::vector<Enemy*> nearby = coordinator->enemies();
            for (Enemy* other : nearby) {
                if (other == struckRef.get())
                    continue;
                const float d = glm::length(impact - other->targetPoint().getWorldPosition());
                if (d <= splashRadius_)
                    other->hit((1.0f - d / splashRadius_) * damage_);
            }
        }
    playSoundAt(*this, prototype_->nodeName + "Hit");
    if (prototype_->impact == ProjectileImpact::Vanish)
        destroy(true);
}

} // namespace hm
