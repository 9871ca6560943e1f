#include "game/Enemy.h"

#include "game/Road.h"

#include "animation/NodeAnimator.h"
#include "game/HealthBar.h"
#include "game/LevelCoordinator.h"
#include "game/Road.h"
#include "render/Material.h"
#include "scene/Node3DBody.h"

#include <glm/gtc/matrix_transform.hpp>

namespace hm {

Enemy::Enemy(const RiggedMeshNode& prototype, EnemyType type, int id)
    : RiggedMeshNode(prototype), prototype_(&enemyPrototype(type)), type_(type), id_(id),
      health_(prototype_->health) {
    setName("e[" + std::to_string(id) + "]");
    scale(prototype_->scale, prototype_->scale, prototype_->scale);
    std::vector<Node3D*> found;
    findAllByBaseName("Core", found);
    for (Node3D* node : found)
        if (auto* rigged = dynamic_cast<RiggedMeshNode*>(node); rigged && rigged != this)
            coreParts_.emplace_back(rigged);
    found.clear();
    findAllByBaseName("EnemyTarget", found);
    targetPoint_ = found.empty() ? NodeRef<Node3D>(this) : NodeRef<Node3D>(found.front());
    addChild(std::make_unique<HealthBar>());
}

Enemy::~Enemy() {
    if (LevelCoordinator* coordinator = LevelCoordinator::instance())
        coordinator->forgetEnemy(*this);
}

Node3D& Enemy::targetPoint() {
    Node3D* target = targetPoint_.get();
    return target ? *target : *this;
}

float Enemy::pathProgress() const {
    // A monster at the core is as far as any monster gets: it is the one that costs lives.
    if (state_ == EnemyState::Attacking)
        return 1.0f;
    if (!path_ || path_->length() <= 0.0f)
        return 0.0f;
    return path_->time() / path_->length();
}

float Enemy::distanceLeft() const {
    const float progress = pathProgress();
    if (state_ == EnemyState::Attacking)
        return 0.0f;
    return road_ ? road_->distanceLeft(progress) : 1.0f - progress;
}

int Enemy::road() const {
    return road_ ? road_->number() : 1;
}

void Enemy::queueAnimation(int index, int mode, float speed, int queueMode, bool interrupt) {
    BoneAnimator::queueAnimation(index, mode, speed, queueMode, interrupt);
    if (index < 0 || static_cast<std::size_t>(index) >= animations().size())
        return;
    // Core parts carry their own copy of the animations; they are addressed by name.
    const std::string& name = animations()[static_cast<std::size_t>(index)]->name();
    for (auto& part : coreParts_)
        if (RiggedMeshNode* core = part.get())
            core->queueAnimation(name, mode, speed, queueMode, interrupt);
}

void Enemy::setPath(std::shared_ptr<NodeAnimation> path) {
    path_ = std::move(path);
    if (path_) {
        path_->setSpeed(prototype_->speed);
        NodeRef<Enemy> self(this);
        NodeAnimation* raw = path_.get();
        path_->setStateChangeCallback([self, raw] {
            if (Enemy* enemy = self.get(); enemy && raw->state() == NodeAnimationState::Finished)
                enemy->setState(EnemyState::Attacking);
        });
    }
    queueAnimation(std::string("Walk"), 1, 1.0f, 0, false);
    state_ = EnemyState::Walking;
}

void Enemy::removeStuckArrows() {
    std::vector<Node3D*> arrows;
    findAllByBaseName("p", arrows);
    for (Node3D* arrow : arrows)
        arrow->destroy(true);
}

void Enemy::setState(EnemyState state) {
    switch (state) {
    case EnemyState::Walking:
        queueAnimation(std::string("Walk"), 1, 1.0f, 0, false);
        break;
    case EnemyState::Dying:
        setBody(nullptr);
        removeStuckArrows();
        queueAnimation(std::string("Dying"), 2, 1.0f, 2, true);
        if (path_ && path_->state() != NodeAnimationState::StopRequested)
            path_->stop();
        break;
    case EnemyState::Attacking:
        if (type_ == EnemyType::FLOATING_STONE_MONSTER) {
            setBody(nullptr);
            removeStuckArrows();
            queueAnimation(std::string("Attack"), 2, 1.0f, 2, true);
        } else {
            queueAnimation(std::string("Attack"), 1, 1.0f, 2, true);
        }
        break;
    default:
        break;
    }
    state_ = state;
}

void Enemy::hit(float damage) {
    // Projectiles launched before the death may still arrive; the dead are not killed twice.
    if (!alive())
        return;
    setHitFlash(true);
    health_ -= damage;
    if (health_ < 0.0f) {
        setState(EnemyState::Dying);
        if (LevelCoordinator* coordinator = LevelCoordinator::instance())
            coordinator->onEnemyRemoved(*this, true);
    }
}

void Enemy::setHitFlash(bool on) {
    if (on) {
        if (auto material = MaterialRegistry::instance().findMaterial("eHit"))
            setMaterial(material);
        hitTimer_ = kHitFlashSeconds;
    } else {
        if (auto material = MaterialRegistry::instance().findMaterial("ColorPicker"))
            setMaterial(material);
        hitTimer_ = -1.0f;
    }
}

void Enemy::onAnimationEnd(const std::shared_ptr<Animation>& animation) {
    const std::string& name = animation->name();
    LevelCoordinator* coordinator = LevelCoordinator::instance();
    if (name == "Attack") {
        if (state_ != EnemyState::Dead && coordinator)
            coordinator->setLives(coordinator->lives() - prototype_->damage);
        if (type_ == EnemyType::FLOATING_STONE_MONSTER && state_ != EnemyState::Dead) {
            if (coordinator)
                coordinator->onEnemyRemoved(*this, false);
            state_ = EnemyState::Dead;
        }
    } else if (name == "Dying") {
        state_ = EnemyState::Dead;
    }
}

void Enemy::update(float dt) {
    RiggedMeshNode::update(dt);
    if (hitTimer_ > 0.0f) {
        hitTimer_ -= dt;
        if (hitTimer_ <= 0.0f)
            setHitFlash(false);
    }
    if (state_ == EnemyState::Dead) {
        if (sinkDepth_ < kSinkDepth) {
            sinkDepth_ += kSinkSpeed * dt;
            translateGlobal({0.0f, -kSinkSpeed * dt, 0.0f});
        } else if (Node3D* carrier = carrier_.get(); carrier && getParent() == carrier) {
            // An empty carrier would stay in the tree for the rest of the level.
            carrier->destroy(true);
        } else {
            destroy(true);
        }
    }
}

} // namespace hm
