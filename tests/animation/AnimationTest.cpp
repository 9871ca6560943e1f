#include "animation/Animation.h"
#include "animation/BoneAnimator.h"

#include "support/LogCapture.h"

#include <glm/gtc/matrix_transform.hpp>
#include <gtest/gtest.h>

namespace hm {
namespace {

AnimationChannel movingChannel() {
    AnimationChannel c("bone");
    c.positionKeys = {{0.0f, {0, 0, 0}}, {10.0f, {10, 0, 0}}, {20.0f, {10, 20, 0}}};
    c.scalingKeys = {{0.0f, {1, 1, 1}}, {20.0f, {3, 3, 3}}};
    c.rotationKeys = {{0.0f, glm::quat(1, 0, 0, 0)},
                      {10.0f, glm::angleAxis(glm::radians(90.0f), glm::vec3(0, 1, 0))}};
    return c;
}

TEST(AnimationChannel, SamplesPositionsBetweenAndOnKeysAndClampsOutside) {
    const AnimationChannel c = movingChannel();
    struct Case {
        float tick;
        glm::vec3 expected;
    };
    for (const Case& k :
         {Case{-5.0f, {0, 0, 0}}, Case{0.0f, {0, 0, 0}}, Case{5.0f, {5, 0, 0}}, Case{10.0f, {10, 0, 0}},
          Case{15.0f, {10, 10, 0}}, Case{20.0f, {10, 20, 0}}, Case{99.0f, {10, 20, 0}}}) {
        SCOPED_TRACE(k.tick);
        const glm::vec3 p = c.samplePosition(k.tick);
        EXPECT_NEAR(glm::distance(p, k.expected), 0.0f, 1e-5f);
    }
}

TEST(AnimationChannel, EmptyAndSingleKeyChannels) {
    AnimationChannel empty("e");
    EXPECT_EQ(empty.samplePosition(3.0f), glm::vec3(0.0f));
    EXPECT_EQ(empty.sampleScaling(3.0f), glm::vec3(1.0f));
    EXPECT_EQ(empty.sampleRotation(3.0f), glm::quat(1, 0, 0, 0));
    EXPECT_EQ(empty.sample(3.0f), glm::mat4(1.0f));

    AnimationChannel single("s");
    single.positionKeys = {{4.0f, {1, 2, 3}}};
    EXPECT_EQ(single.samplePosition(0.0f), glm::vec3(1, 2, 3));
    EXPECT_EQ(single.samplePosition(100.0f), glm::vec3(1, 2, 3));
}

TEST(AnimationChannel, RotationTakesTheShortPathAndComposesTranslateRotateScale) {
    // Two keys whose quaternions lie in opposite hemispheres describe a 20 degree turn, not 340.
    const glm::quat a = glm::angleAxis(glm::radians(170.0f), glm::vec3(0, 0, 1));
    const glm::quat b = -glm::angleAxis(glm::radians(190.0f), glm::vec3(0, 0, 1));
    const glm::quat mid = interpolateRotation(a, b, 0.5f);
    const glm::vec3 x = mid * glm::vec3(1, 0, 0);
    EXPECT_NEAR(x.x, -1.0f, 1e-4f);

    const AnimationChannel c = movingChannel();
    const glm::mat4 m = c.sample(10.0f); // position (10,0,0), 90 degrees about y, scale 2
    const glm::vec4 p = m * glm::vec4(1, 0, 0, 1);
    EXPECT_NEAR(p.x, 10.0f, 1e-4f);
    EXPECT_NEAR(p.z, -2.0f, 1e-4f);
}

TEST(Animation, ShortNameAndRateFallback) {
    EXPECT_EQ(animationShortName("Armature|Walk"), "Walk");
    EXPECT_EQ(animationShortName("a|b|c"), "b|c");
    EXPECT_EQ(animationShortName("Walk"), "Walk");
    Animation zeroRate("x", 50.0f, 0.0f);
    EXPECT_FLOAT_EQ(zeroRate.durationSeconds(), 2.0f);
}

// A two-key animation of one channel; its duration in seconds is durationTicks / 10.
std::shared_ptr<Animation> makeAnimation(const std::string& name, float durationTicks) {
    auto a = std::make_shared<Animation>(name, durationTicks, 10.0f);
    AnimationChannel c("bone");
    c.positionKeys = {{0.0f, {0, 0, 0}}, {durationTicks, {durationTicks, 0, 0}}};
    a->channels.push_back(std::move(c));
    return a;
}

struct RecordingAnimator : BoneAnimator {
    using BoneAnimator::BoneAnimator;
    void onAnimationEnd(const std::shared_ptr<Animation>& a) override { ended.push_back(a->name()); }
    float poseX() const {
        Pose pose;
        computePose(pose);
        return pose.empty() ? -1.0f : pose.at("bone")[3][0];
    }
    std::vector<std::string> ended;
};

TEST(BoneAnimator, InterruptingAttackSwitchesAtOnceWithoutEndingWalk) {
    RecordingAnimator animator({makeAnimation("Walk", 10), makeAnimation("Attack", 20)});
    animator.queueAnimation("Walk", 1, 1.0f, 0, false);
    animator.updateAnimation(0.0f);
    animator.updateAnimation(0.5f);
    animator.queueAnimation("Attack", 1, 1.0f, 2, true);
    animator.updateAnimation(0.016f);
    ASSERT_TRUE(animator.currentAnimation());
    EXPECT_EQ(animator.currentAnimation()->name(), "Attack");
    EXPECT_FLOAT_EQ(animator.currentTime(), 0.0f);
    EXPECT_TRUE(animator.ended.empty());
}

TEST(BoneAnimator, LoopEndsOncePerRunAndRestartsAtZero) {
    RecordingAnimator animator({makeAnimation("Walk", 10)}); // 1 s
    animator.queueAnimation("Walk", 1, 1.0f, 0, false);
    animator.updateAnimation(0.0f);
    for (int i = 0; i < 25; ++i) // 2.5 s
        animator.updateAnimation(0.1f);
    EXPECT_EQ(animator.ended, (std::vector<std::string>{"Walk", "Walk"}));
    EXPECT_LT(animator.currentTime(), 1.0f);
}

TEST(BoneAnimator, NegativeSpeedRunsFromTheEnd) {
    RecordingAnimator animator({makeAnimation("Walk", 10)});
    animator.queueAnimation("Walk", 0, -1.0f, 0, false);
    animator.updateAnimation(0.0f);
    EXPECT_FLOAT_EQ(animator.currentTime(), 1.0f);
    animator.updateAnimation(0.25f);
    EXPECT_NEAR(animator.poseX(), 7.5f, 1e-4f);
    animator.updateAnimation(0.8f); // passes 0: the end of the run
    EXPECT_EQ(animator.ended, (std::vector<std::string>{"Walk"}));
}

TEST(BoneAnimator, HoldModeKeepsTheLastPoseAndEndsOnce) {
    RecordingAnimator animator({makeAnimation("Dying", 10)});
    animator.queueAnimation("Dying", 2, 1.0f, 0, false);
    animator.updateAnimation(0.0f);
    for (int i = 0; i < 30; ++i)
        animator.updateAnimation(0.1f);
    EXPECT_EQ(animator.ended, (std::vector<std::string>{"Dying"}));
    EXPECT_NEAR(animator.poseX(), 10.0f, 1e-4f);
}

TEST(BoneAnimator, WithoutIdleItStandsStillAfterTheLastOneShot) {
    RecordingAnimator animator({makeAnimation("Construction", 10)});
    animator.queueAnimation("Construction", 0, 1.0f, 0, false);
    animator.updateAnimation(0.0f);
    for (int i = 0; i < 15; ++i)
        animator.updateAnimation(0.1f);
    EXPECT_FALSE(animator.currentAnimation());
    EXPECT_FLOAT_EQ(animator.poseX(), -1.0f); // empty pose
}

TEST(BoneAnimator, IdleIsTheDefaultAfterTheQueueRunsDry) {
    RecordingAnimator animator({makeAnimation("Construction", 10), makeAnimation("idle", 40)});
    animator.queueAnimation("Construction", 0, 1.0f, 0, false);
    animator.updateAnimation(0.0f);
    for (int i = 0; i < 15; ++i)
        animator.updateAnimation(0.1f);
    ASSERT_TRUE(animator.currentAnimation());
    EXPECT_EQ(animator.currentAnimation()->name(), "idle");
    EXPECT_EQ(animator.currentMode(), 1);
}

TEST(BoneAnimator, BadRequestsAreLoggedAndChangeNothing) {
    test::LogCapture log;
    RecordingAnimator animator({makeAnimation("Walk", 10)});
    animator.queueAnimation(3, 1, 1.0f, 0, false);
    animator.queueAnimation("Fly", 1, 1.0f, 0, false);
    EXPECT_TRUE(animator.queue().empty());
    EXPECT_EQ(log.messages(spdlog::level::err),
              (std::vector<std::string>{
                  "Index of Animation Queue Request out of bounds (3). No Animation will be queued.",
                  "No Animation by the name of Fly found. No Animation will be queued."}));
}

TEST(BoneAnimator, QueueModes) {
    RecordingAnimator animator({makeAnimation("A", 10), makeAnimation("B", 10), makeAnimation("C", 10)});
    animator.queueAnimation("A", 0, 1.0f, 0, false);
    animator.queueAnimation("B", 0, 1.0f, 1, false);
    ASSERT_EQ(animator.queue().size(), 2u);
    EXPECT_EQ(animator.queue().front().animation->name(), "B");
    animator.queueAnimation("C", 0, 1.0f, 2, false);
    ASSERT_EQ(animator.queue().size(), 1u);
    EXPECT_EQ(animator.queue().front().animation->name(), "C");
    animator.queueAnimation("A", 0, 1.0f, 7, false);
    EXPECT_EQ(animator.queue().size(), 1u);
}

} // namespace
} // namespace hm
