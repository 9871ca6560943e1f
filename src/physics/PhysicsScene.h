// One physics simulation per game scene: a Bullet dynamics world with the game's gravity,
// stepped by exactly the frame's elapsed time, reporting which bodies moved and which pairs of
// bodies started touching during the step, and answering closest-hit ray casts.
#pragma once

#include <glm/vec3.hpp>

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <unordered_set>
#include <utility>
#include <vector>

class btBroadphaseInterface;
class btCollisionDispatcher;
class btSequentialImpulseConstraintSolver;
class btDiscreteDynamicsWorld;
class btCollisionObject;

namespace hm {

class Node3DBody;

class PhysicsScene {
public:
    // Longest single simulation step; a longer frame is split into equal steps that add up to it.
    static constexpr float kMaxStep = 1.0f / 60.0f;

    explicit PhysicsScene(const glm::vec3& gravity);
    ~PhysicsScene();
    PhysicsScene(const PhysicsScene&) = delete;
    PhysicsScene& operator=(const PhysicsScene&) = delete;

    // Advances the simulation by exactly `elapsed` seconds; nothing happens for 0 or less.
    // Forces given before the call act through all of it; kinematic bodies reach their
    // targets evenly over it.
    void step(float elapsed);

    // Dynamic bodies that moved during the last step, each once, in the order they first moved.
    const std::vector<Node3DBody*>& movedBodies() const { return moved_; }

    using ContactPair = std::pair<Node3DBody*, Node3DBody*>;
    // Pairs of bodies that started touching during the steps since the last call.
    std::vector<ContactPair> takeContactPairs();

    struct RayHit {
        Node3DBody* body = nullptr;
        glm::vec3 position{0.0f};
        glm::vec3 normal{0.0f};
        float fraction = 1.0f;
    };
    std::optional<RayHit> rayCast(const glm::vec3& from, const glm::vec3& to) const;

    btDiscreteDynamicsWorld& world() { return *world_; }
    std::uint64_t stepCount() const { return stepCount_; }

    // Bodies in this scene; a body leaves before it is destroyed, which also drops it from the
    // moved list and the pending contact pairs.
    void addBody(Node3DBody* body) { bodies_.insert(body); }
    void removeBody(Node3DBody* body);
    bool contains(const Node3DBody* body) const { return bodies_.count(const_cast<Node3DBody*>(body)) != 0; }

    // Called by the motion states of bodies that moved during a step.
    void noteMoved(Node3DBody* body, std::uint64_t& lastReported);

private:
    void collectContacts();
    std::unique_ptr<btBroadphaseInterface> broadphase_;
    std::unique_ptr<btCollisionDispatcher> dispatcher_;
    std::unique_ptr<btSequentialImpulseConstraintSolver> solver_;
    std::unique_ptr<btDiscreteDynamicsWorld> world_;
    std::unordered_set<Node3DBody*> bodies_;
    std::vector<Node3DBody*> moved_;
    std::vector<ContactPair> pairs_;
    std::set<std::pair<const btCollisionObject*, const btCollisionObject*>> touching_;
    std::uint64_t stepCount_ = 0;
    std::uint64_t frameCount_ = 0;
};

} // namespace hm
