#include "physics/PhysicsScene.h"

#include "physics/BodyMotionState.h"
#include "physics/PhysicsWorld.h"

#include <BulletCollision/NarrowPhaseCollision/btRaycastCallback.h>
#include <btBulletDynamicsCommon.h>

#include <cmath>

namespace hm {

namespace {

glm::vec3 toGlm(const btVector3& v) {
    return {v.x(), v.y(), v.z()};
}
btVector3 toBullet(const glm::vec3& v) {
    return {v.x, v.y, v.z};
}

Node3DBody* bodyOf(const btCollisionObject* object) {
    return object ? static_cast<Node3DBody*>(object->getUserPointer()) : nullptr;
}

} // namespace

PhysicsScene::PhysicsScene(const glm::vec3& gravity) {
    auto& configuration = PhysicsWorld::instance().collisionConfiguration();
    broadphase_ = std::make_unique<btDbvtBroadphase>();
    dispatcher_ = std::make_unique<btCollisionDispatcher>(&configuration);
    solver_ = std::make_unique<btSequentialImpulseConstraintSolver>();
    world_ = std::make_unique<btDiscreteDynamicsWorld>(dispatcher_.get(), broadphase_.get(), solver_.get(),
                                                       &configuration);
    world_->setGravity(toBullet(gravity));
}

PhysicsScene::~PhysicsScene() {
    // Bodies remove their own objects; anything left is only unlinked here, never deleted.
    for (int i = world_->getNumCollisionObjects() - 1; i >= 0; --i)
        world_->removeCollisionObject(world_->getCollisionObjectArray()[i]);
}

void PhysicsScene::removeBody(Node3DBody* body) {
    bodies_.erase(body);
    std::erase(moved_, body);
    std::erase_if(pairs_, [body](const ContactPair& p) { return p.first == body || p.second == body; });
}

void PhysicsScene::noteMoved(Node3DBody* body, std::uint64_t& lastReported) {
    if (!body || lastReported == frameCount_)
        return;
    lastReported = frameCount_;
    moved_.push_back(body);
}

void PhysicsScene::step(float elapsed) {
    if (!(elapsed > 0.0f) || !std::isfinite(elapsed))
        return;
    ++frameCount_;
    moved_.clear();
    const int steps = std::max(1, static_cast<int>(std::ceil(elapsed / kMaxStep - 1e-4f)));
    const float dt = elapsed / static_cast<float>(steps);

    // Bullet clears forces after every step, but a force acts for the whole frame: what was
    // applied before the frame is applied again before each later sub-step.
    struct Pushed {
        btRigidBody* body;
        btVector3 force, torque;
    };
    std::vector<Pushed> pushed;
    // A kinematic body moves to its target evenly over the sub-steps, so that its velocity is
    // the frame's displacement over the frame's time and it carries what rests on it.
    struct Glide {
        BodyMotionState* motion;
        btTransform from, to;
    };
    std::vector<Glide> glides;
    for (int i = 0; i < world_->getNumCollisionObjects(); ++i) {
        btRigidBody* body = btRigidBody::upcast(world_->getCollisionObjectArray()[i]);
        if (!body)
            continue;
        if (body->isKinematicObject()) {
            auto* motion = dynamic_cast<BodyMotionState*>(body->getMotionState());
            const btTransform& from = body->getInterpolationWorldTransform();
            if (steps > 1 && motion && !(motion->transform() == from))
                glides.push_back({motion, from, motion->transform()});
        } else if (!body->isStaticObject() &&
                   (!body->getTotalForce().isZero() || !body->getTotalTorque().isZero())) {
            pushed.push_back({body, body->getTotalForce(), body->getTotalTorque()});
        }
    }

    for (int i = 0; i < steps; ++i) {
        if (i > 0)
            for (const Pushed& p : pushed) {
                p.body->applyCentralForce(p.force);
                p.body->applyTorque(p.torque);
            }
        const btScalar t = static_cast<btScalar>(i + 1) / static_cast<btScalar>(steps);
        for (const Glide& g : glides) {
            btTransform pose = g.to;
            if (i + 1 < steps) {
                pose.setOrigin(g.from.getOrigin().lerp(g.to.getOrigin(), t));
                pose.setRotation(g.from.getRotation().slerp(g.to.getRotation(), t));
            }
            g.motion->setTransform(pose);
        }
        world_->stepSimulation(dt, 0, dt);
        ++stepCount_;
        collectContacts();
    }
}

void PhysicsScene::collectContacts() {
    std::set<std::pair<const btCollisionObject*, const btCollisionObject*>> touchingNow;
    const int manifolds = dispatcher_->getNumManifolds();
    for (int m = 0; m < manifolds; ++m) {
        const btPersistentManifold* manifold = dispatcher_->getManifoldByIndexInternal(m);
        const btCollisionObject* a = manifold->getBody0();
        const btCollisionObject* b = manifold->getBody1();
        if (manifold->getNumContacts() == 0)
            continue;
        // Triggers never report contacts.
        if (!a->hasContactResponse() || !b->hasContactResponse())
            continue;
        const auto key = a < b ? std::make_pair(a, b) : std::make_pair(b, a);
        if (touching_.count(key)) {
            touchingNow.insert(key);
            continue;
        }
        bool penetrating = false;
        for (int p = 0; p < manifold->getNumContacts() && !penetrating; ++p)
            penetrating = manifold->getContactPoint(p).getDistance() <= 0.0f;
        if (!penetrating)
            continue;
        touchingNow.insert(key);
        Node3DBody* bodyA = bodyOf(a);
        Node3DBody* bodyB = bodyOf(b);
        if (bodyA && bodyB)
            pairs_.emplace_back(bodyA, bodyB);
    }
    touching_ = std::move(touchingNow);
}

std::vector<PhysicsScene::ContactPair> PhysicsScene::takeContactPairs() {
    std::vector<ContactPair> out;
    out.swap(pairs_);
    return out;
}

std::optional<PhysicsScene::RayHit> PhysicsScene::rayCast(const glm::vec3& from, const glm::vec3& to) const {
    const btVector3 start = toBullet(from), end = toBullet(to);
    btCollisionWorld::ClosestRayResultCallback callback(start, end);
    callback.m_flags |= btTriangleRaycastCallback::kF_UseGjkConvexCastRaytest;
    world_->rayTest(start, end, callback);
    if (!callback.hasHit())
        return std::nullopt;
    RayHit hit;
    hit.body = bodyOf(callback.m_collisionObject);
    hit.position = toGlm(callback.m_hitPointWorld);
    hit.normal = toGlm(callback.m_hitNormalWorld);
    hit.fraction = callback.m_closestHitFraction;
    return hit;
}

} // namespace hm
