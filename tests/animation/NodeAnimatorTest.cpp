#include "animation/NodeAnimator.h"

#include "scene/EmptyNode.h"
#include "support/LogCapture.h"

#include <glm/gtc/matrix_transform.hpp>
#include <gtest/gtest.h>

namespace hm {
namespace {

// "Move": 4 seconds (40 ticks at 10 per second) along x from 0 to 4, on the channel "carrier".
std::shared_ptr<Animation> moveAnimation(const std::string& channelName = "carrier") {
    auto animation = std::make_shared<Animation>("Move", 40.0f, 10.0f);
    AnimationChannel channel(channelName);
    channel.positionKeys = {{0.0f, {0, 0, 0}}, {40.0f, {4, 0, 0}}};
    animation->channels.push_back(std::move(channel));
    return animation;
}

class NodeAnimatorTest : public testing::Test {
protected:
    NodeAnimatorTest() {
        animator.setRoot(&root);
        animator.addAnimation(moveAnimation());
    }
    std::shared_ptr<NodeAnimation> make(std::vector<NodeAnimationState>* journal = nullptr) {
        auto a = animator.createAnimation("Move");
        if (journal)
            a->setStateChangeCallback([journal, raw = a.get()] { journal->push_back(raw->state()); });
        return a;
    }
    void run(float seconds, float step = 0.1f) {
        for (float t = 0.0f; t < seconds - 1e-4f; t += step)
            animator.update(step);
    }
    float x(const Node3D& node) const { return node.getWorldPosition().x; }

    EmptyNode root{"root"};
    NodeAnimator animator;
};

TEST_F(NodeAnimatorTest, DoubleSpeedFinishesHalfwayAndLeavesTheUpdateAfter) {
    auto& carrier = root.createChild<EmptyNode>("carrier");
    std::vector<NodeAnimationState> journal;
    auto a = make(&journal);
    a->setSpeed(2.0f);
    animator.play(a);
    run(2.0f, 0.25f);
    EXPECT_NEAR(x(carrier), 4.0f, 1e-4f);
    EXPECT_EQ(a->state(), NodeAnimationState::Playing);
    animator.update(0.25f);
    EXPECT_NEAR(x(carrier), 4.0f, 1e-4f);
    EXPECT_EQ(journal,
              (std::vector<NodeAnimationState>{NodeAnimationState::Playing, NodeAnimationState::Finished,
                                               NodeAnimationState::Idle}));
    EXPECT_TRUE(animator.playing().empty());
}

TEST_F(NodeAnimatorTest, LoopsWrapAtTheEndInBothDirections) {
    struct Case {
        float speed;
        float afterFive; // play position after 5 s of updates
    };
    for (const Case& c : {Case{1.0f, 1.0f}, Case{-1.0f, 3.0f}}) {
        SCOPED_TRACE(c.speed);
        auto a = make();
        a->setLoopCount(-1);
        a->setSpeed(c.speed);
        animator.play(a);
        EXPECT_FLOAT_EQ(a->time(), c.speed < 0 ? 4.0f : 0.0f);
        run(5.0f, 0.25f);
        EXPECT_EQ(a->state(), NodeAnimationState::Playing);
        EXPECT_NEAR(a->time(), c.afterFive, 0.26f);
        a->stop();
        animator.update(0.0f);
        EXPECT_TRUE(animator.playing().empty());
    }
}

TEST_F(NodeAnimatorTest, PausePointsStopExactlyAndApplyAgainAfterAWrap) {
    auto a = make();
    a->setPausePoints({0.5f, 0.25f});
    a->setLoopCount(1);
    animator.play(a);
    run(1.3f);
    EXPECT_EQ(a->state(), NodeAnimationState::Paused);
    EXPECT_FLOAT_EQ(a->time(), 1.0f);
    run(1.0f); // paused: nothing moves
    EXPECT_FLOAT_EQ(a->time(), 1.0f);
    a->resume();
    run(1.3f);
    EXPECT_EQ(a->state(), NodeAnimationState::Paused);
    EXPECT_FLOAT_EQ(a->time(), 2.0f);
    a->resume();
    run(3.3f); // past the end, wraps, reaches 0.25 of the second run
    EXPECT_EQ(a->state(), NodeAnimationState::Paused);
    EXPECT_FLOAT_EQ(a->time(), 1.0f);
}

TEST_F(NodeAnimatorTest, CarriersBoundWithSetTargetMoveIndependently) {
    auto& first = root.createChild<EmptyNode>("ep[0001]");
    auto& second = root.createChild<EmptyNode>("ep[0002]");
    auto a = make();
    a->setTarget(first);
    animator.play(a);
    run(1.0f);
    auto b = make();
    b->setTarget(second);
    b->setSpeed(0.5f);
    animator.play(b);
    run(1.0f);
    EXPECT_NEAR(x(first), 2.0f, 1e-4f);
    EXPECT_NEAR(x(second), 0.5f, 1e-4f);
}

TEST_F(NodeAnimatorTest, ABoundTargetIsDrivenItselfNotANamesake) {
    EmptyNode elsewhere("elsewhere"); // outside the animator's root
    struct Case {
        const char* what;
        Node3D* target;
    };
    auto& bound = root.createChild<EmptyNode>("ep[7]");
    auto& namesake = root.createChild<EmptyNode>("ep[7]"); // the later one wins a search by name
    auto& outside = elsewhere.createChild<EmptyNode>("ep[8]");
    for (const Case& c : {Case{"a namesake later in the tree", &bound}, Case{"outside the root", &outside}}) {
        SCOPED_TRACE(c.what);
        c.target->setLocalMatrix(glm::mat4(1.0f));
        auto a = make();
        a->setTarget(*c.target);
        animator.play(a);
        run(1.0f);
        EXPECT_NEAR(x(*c.target), 1.0f, 1e-4f);
        EXPECT_FLOAT_EQ(x(namesake), 0.0f);
        a->stop();
        animator.update(0.0f);
    }
    // A bound target that is gone is not looked up by name again.
    auto a = make();
    a->setTarget(bound);
    animator.play(a);
    root.removeChild(&bound);
    run(1.0f);
    EXPECT_FLOAT_EQ(x(namesake), 0.0f);
}

TEST_F(NodeAnimatorTest, DuplicateNamesDriveOnlyTheLastInPreOrder) {
    auto& a = root.createChild<EmptyNode>("group").createChild<EmptyNode>("carrier");
    auto& b = root.createChild<EmptyNode>("carrier");
    animator.play(make());
    run(1.0f);
    EXPECT_FLOAT_EQ(x(a), 0.0f);
    EXPECT_NEAR(x(b), 1.0f, 1e-4f);
}

TEST_F(NodeAnimatorTest, TheLastFrameShowsTheFinalPose) {
    auto& carrier = root.createChild<EmptyNode>("carrier");
    animator.play(make());
    run(3.9f, 0.3f); // 3.9: the next step passes the end at 4.2
    animator.update(0.3f);
    EXPECT_TRUE(animator.playing().empty());
    EXPECT_NEAR(x(carrier), 4.0f, 1e-4f);
}

TEST_F(NodeAnimatorTest, StartDelayKeepsNodesStill) {
    auto& carrier = root.createChild<EmptyNode>("carrier");
    carrier.translate({-3, 0, 0});
    auto a = make();
    a->setStartDelay(0.5f);
    animator.play(a);
    EXPECT_EQ(a->state(), NodeAnimationState::Delayed);
    run(0.4f);
    EXPECT_FLOAT_EQ(x(carrier), -3.0f);
    run(0.2f);
    EXPECT_EQ(a->state(), NodeAnimationState::Playing);
    run(1.0f);
    EXPECT_NEAR(x(carrier), 1.0f, 1e-4f);
}

TEST_F(NodeAnimatorTest, RelativeAnimationGrowsFromWherePlaced) {
    auto grow = std::make_shared<Animation>("Grow", 5.0f, 10.0f); // half a second
    AnimationChannel channel("blast");
    channel.scalingKeys = {{0.0f, glm::vec3(0.1f)}, {5.0f, glm::vec3(1.0f)}};
    grow->channels.push_back(std::move(channel));
    animator.addAnimation(grow);

    auto& blast = root.createChild<EmptyNode>("blast");
    blast.translate({5, 1, 0});
    blast.scale(2, 2, 2); // placed at twice the size
    auto a = animator.createAnimation("Grow", 0, 1);
    a->setTarget(blast);
    animator.play(a);
    animator.update(0.0f);
    EXPECT_NEAR(blast.getWorldMatrix()[0][0], 0.2f, 1e-4f);
    run(0.5f, 0.05f);
    EXPECT_NEAR(blast.getWorldMatrix()[0][0], 2.0f, 1e-3f);
    EXPECT_NEAR(blast.getWorldPosition().x, 5.0f, 1e-4f);
}

TEST_F(NodeAnimatorTest, UnknownNamesAreLogged) {
    test::LogCapture log;
    EXPECT_FALSE(animator.createAnimation("Fly"));
    EXPECT_EQ(log.messages(spdlog::level::err),
              (std::vector<std::string>{"Couldn't find animation by the name Fly in the stash."}));
    // No node named "carrier": the channel drives nothing, yet the animation runs on and picks
    // the node up by name as soon as one joins.
    auto& bystander = root.createChild<EmptyNode>("bystander");
    auto a = make();
    animator.play(a);
    run(1.0f);
    EXPECT_NEAR(a->time(), 1.0f, 1e-4f);
    EXPECT_EQ(a->state(), NodeAnimationState::Playing);
    EXPECT_EQ(bystander.getLocalMatrix(), glm::mat4(1.0f));
    auto& carrier = root.createChild<EmptyNode>("carrier");
    run(1.0f);
    EXPECT_NEAR(x(carrier), 2.0f, 1e-4f);
    EXPECT_EQ(bystander.getLocalMatrix(), glm::mat4(1.0f));
}

} // namespace
} // namespace hm
