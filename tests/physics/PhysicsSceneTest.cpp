#include "physics/BodyMotionState.h"

#include <btBulletDynamicsCommon.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <map>
#include <memory>

namespace hm {
namespace {

// Bodies are identified by their user pointer; the scene never dereferences it, so distinct
// tags stand in for node bodies here.
Node3DBody* tag(int i) {
    return reinterpret_cast<Node3DBody*>(static_cast<std::uintptr_t>(0x1000 * i));
}

struct SimBody {
    std::unique_ptr<btCollisionShape> shape;
    std::unique_ptr<BodyMotionState> motion;
    std::unique_ptr<btRigidBody> body;
};

class PhysicsSceneTest : public testing::Test {
protected:
    SimBody& add(int id, btCollisionShape* shape, float mass, const btVector3& position,
                 bool trigger = false) {
        auto& b = bodies.emplace_back();
        b.shape.reset(shape);
        btTransform start;
        start.setIdentity();
        start.setOrigin(position);
        b.motion = std::make_unique<BodyMotionState>(tag(id), start);
        b.motion->attach(&scene);
        btVector3 inertia(0, 0, 0);
        if (mass > 0)
            shape->calculateLocalInertia(mass, inertia);
        b.body = std::make_unique<btRigidBody>(mass, b.motion.get(), shape, inertia);
        b.body->setUserPointer(tag(id));
        if (trigger)
            b.body->setCollisionFlags(b.body->getCollisionFlags() |
                                      btCollisionObject::CF_NO_CONTACT_RESPONSE);
        scene.world().addRigidBody(b.body.get());
        return b;
    }
    void TearDown() override {
        for (auto& b : bodies)
            scene.world().removeRigidBody(b.body.get());
    }

    PhysicsScene scene{glm::vec3(0, -9.81f, 0)};
    std::deque<SimBody> bodies;
};

TEST_F(PhysicsSceneTest, BoxesComingToRestReportEachPairOnce) {
    add(1, new btBoxShape(btVector3(10, 0.5f, 10)), 0.0f, btVector3(0, -0.5f, 0));
    add(2, new btBoxShape(btVector3(0.5f, 0.5f, 0.5f)), 1.0f, btVector3(0, 1.0f, 0));
    add(3, new btBoxShape(btVector3(0.5f, 0.5f, 0.5f)), 1.0f, btVector3(0, 2.5f, 0));
    std::vector<PhysicsScene::ContactPair> all;
    for (int frame = 0; frame < 240; ++frame) {
        scene.step(1.0f / 60.0f);
        for (auto& p : scene.takeContactPairs())
            all.push_back(p);
    }
    auto count = [&](int a, int b) {
        return std::count_if(all.begin(), all.end(), [&](auto& p) {
            return (p.first == tag(a) && p.second == tag(b)) || (p.first == tag(b) && p.second == tag(a));
        });
    };
    EXPECT_EQ(count(1, 2), 1);
    EXPECT_EQ(count(2, 3), 1);
    EXPECT_EQ(all.size(), 2u);
    EXPECT_NEAR(bodies[2].motion->transform().getOrigin().y(), 1.5f, 0.05f);
}

TEST_F(PhysicsSceneTest, TriggersNeverReportButRaysStillHitThem) {
    add(1, new btBoxShape(btVector3(10, 0.5f, 10)), 0.0f, btVector3(0, -0.5f, 0));
    add(2, new btSphereShape(1.0f), 0.0f, btVector3(0, 0.5f, 0), true);
    add(3, new btSphereShape(0.25f), 1.0f, btVector3(0, 3.0f, 0));
    for (int frame = 0; frame < 120; ++frame)
        scene.step(1.0f / 60.0f);
    const auto pairs = scene.takeContactPairs();
    ASSERT_EQ(pairs.size(), 1u); // the ball lands on the ground; passing the trigger reports nothing
    const auto hit = scene.rayCast(glm::vec3(5, 0.5f, 0), glm::vec3(-5, 0.5f, 0));
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->body, tag(2));
}

TEST_F(PhysicsSceneTest, RayCastIsExactAndReportsTheClosestBody) {
    add(1, new btBoxShape(btVector3(1, 1, 1)), 0.0f, btVector3(0, 0, -5));
    add(2, new btBoxShape(btVector3(1, 1, 1)), 0.0f, btVector3(0, 0, -10));
    scene.step(0.001f); // updates the broadphase
    const auto hit = scene.rayCast(glm::vec3(0.3f, 0.2f, 0), glm::vec3(0.3f, 0.2f, -100));
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->body, tag(1));
    EXPECT_NEAR(hit->position.z, -4.0f, 1e-4f);
    EXPECT_NEAR(hit->normal.z, 1.0f, 1e-4f);
    EXPECT_FALSE(scene.rayCast(glm::vec3(5, 5, 0), glm::vec3(5, 5, -100)));
}

TEST_F(PhysicsSceneTest, MovedBodiesAndZeroSteps) {
    add(1, new btBoxShape(btVector3(10, 0.5f, 10)), 0.0f, btVector3(0, -0.5f, 0));
    add(2, new btSphereShape(0.5f), 1.0f, btVector3(0, 5.0f, 0));
    scene.step(0.0f);
    EXPECT_EQ(scene.stepCount(), 0u);
    scene.step(0.05f); // three equal sub-steps, one report per body
    EXPECT_EQ(scene.stepCount(), 3u);
    EXPECT_EQ(scene.movedBodies(), (std::vector<Node3DBody*>{tag(2)}));
    const float fallen = 5.0f - bodies[1].motion->transform().getOrigin().y();
    EXPECT_NEAR(fallen, 0.5f * 9.81f * 0.05f * 0.05f, 0.01f);
}

// A force acts through every sub-step of the frame it was given in, and only that frame.
TEST_F(PhysicsSceneTest, ForcesActThroughTheWholeFrame) {
    struct Case {
        float frame;
        float expected; // m/s after 10 N on 1 kg
    };
    const Case cases[] = {{1.0f / 60.0f, 10.0f / 60.0f}, {0.05f, 0.5f}, {0.1f, 1.0f}};
    int id = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.frame);
        ++id;
        auto& ball = add(id, new btSphereShape(0.5f), 1.0f, btVector3(10.0f * id, 0, 0));
        ball.body->setGravity(btVector3(0, 0, 0));
        ball.body->applyCentralForce(btVector3(10, 0, 0));
        scene.step(c.frame);
        EXPECT_NEAR(ball.body->getLinearVelocity().x(), c.expected, 1e-4f);
        scene.step(c.frame); // the force is spent
        EXPECT_NEAR(ball.body->getLinearVelocity().x(), c.expected, 1e-4f);
    }
}

// Touching materials meet halfway: a fully bouncy ball on ground of restitution 0.2 bounces
// with 0.6, and a box without friction sliding on ground of friction 1 brakes with 0.5.
TEST_F(PhysicsSceneTest, MaterialsMeetHalfway) {
    auto& ground = add(1, new btBoxShape(btVector3(50, 0.5f, 50)), 0.0f, btVector3(0, -0.5f, 0));
    ground.body->setRestitution(0.2f);
    ground.body->setFriction(1.0f);
    auto& ball = add(2, new btSphereShape(0.25f), 1.0f, btVector3(0, 2.25f, 0));
    ball.body->setRestitution(1.0f);
    ball.body->setFriction(0.0f);
    auto& box = add(3, new btBoxShape(btVector3(0.25f, 0.25f, 0.25f)), 1.0f, btVector3(10, 0.25f, 0));
    box.body->setFriction(0.0f);
    box.body->setRestitution(0.0f);
    box.body->setLinearVelocity(btVector3(4, 0, 0));

    // The values the solver works with at each contact.
    std::map<const btCollisionObject*, std::pair<float, float>> combined; // restitution, friction
    auto record = [&] {
        btDispatcher& dispatcher = *scene.world().getDispatcher();
        for (int m = 0; m < dispatcher.getNumManifolds(); ++m) {
            const btPersistentManifold* manifold = dispatcher.getManifoldByIndexInternal(m);
            if (manifold->getNumContacts() == 0)
                continue;
            const btCollisionObject* other =
                manifold->getBody0() == ground.body.get() ? manifold->getBody1() : manifold->getBody0();
            const btManifoldPoint& point = manifold->getContactPoint(0);
            combined[other] = {point.m_combinedRestitution, point.m_combinedFriction};
        }
    };
    float highest = 0.0f;
    bool bounced = false;
    for (int frame = 0; frame < 90; ++frame) {
        scene.step(1.0f / 60.0f);
        record();
        bounced = bounced || ball.body->getLinearVelocity().y() > 0.0f;
        if (bounced)
            highest = std::max(highest, ball.motion->transform().getOrigin().y() - 0.25f);
    }
    ASSERT_EQ(combined.size(), 2u);
    EXPECT_FLOAT_EQ(combined[ball.body.get()].first, 0.6f);
    EXPECT_FLOAT_EQ(combined[box.body.get()].second, 0.5f);
    // Dropped from 2 m, the ball comes back to about 0.6^2 * 2 m (multiplied restitution gives
    // under 0.1 m); Bullet's contact handling moves the ideal height by some centimetres.
    EXPECT_NEAR(highest, 0.72f, 0.15f);
    // v^2 / (2 mu g) = 16 / (2 * 0.5 * 9.81)
    EXPECT_NEAR(box.motion->transform().getOrigin().x() - 10.0f, 16.0f / 9.81f, 0.1f);
}

} // namespace
} // namespace hm
