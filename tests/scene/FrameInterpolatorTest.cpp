#include "scene/FrameInterpolator.h"

#include "scene/EmptyNode.h"

#include <glm/gtc/matrix_transform.hpp>

#include <gtest/gtest.h>

namespace hm {
namespace {

void expectNear(const glm::mat4& a, const glm::mat4& b) {
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r)
            EXPECT_NEAR(a[c][r], b[c][r], 1e-5f) << "column " << c << ", row " << r;
}

TEST(FrameInterpolator, BlendsTranslationRotationAndScale) {
    const glm::vec3 up(0.0f, 1.0f, 0.0f);
    const glm::mat4 a = glm::translate(glm::mat4(1.0f), {0.0f, 0.0f, 0.0f});
    const glm::mat4 b =
        glm::scale(glm::rotate(glm::translate(glm::mat4(1.0f), {4.0f, 2.0f, 0.0f}), glm::radians(90.0f), up),
                   glm::vec3(3.0f));
    const glm::mat4 half =
        glm::scale(glm::rotate(glm::translate(glm::mat4(1.0f), {2.0f, 1.0f, 0.0f}), glm::radians(45.0f), up),
                   glm::vec3(2.0f));
    expectNear(FrameInterpolator::blend(a, b, 0.5f), half);
    expectNear(FrameInterpolator::blend(a, b, 0.0f), a);
    expectNear(FrameInterpolator::blend(a, b, 1.0f), b);

    // Turning from 170 to -170 degrees goes the 20 degrees through 180, not back through 0.
    const glm::mat4 from = glm::rotate(glm::mat4(1.0f), glm::radians(170.0f), up);
    const glm::mat4 to = glm::rotate(glm::mat4(1.0f), glm::radians(-170.0f), up);
    expectNear(FrameInterpolator::blend(from, to, 0.5f),
               glm::rotate(glm::mat4(1.0f), glm::radians(180.0f), up));

    // A mirrored frame stays mirrored; a sheared one is blended as a matrix.
    const glm::mat4 mirrored = glm::scale(glm::mat4(1.0f), {-1.0f, 1.0f, 1.0f});
    expectNear(FrameInterpolator::blend(mirrored, glm::translate(mirrored, {2.0f, 0.0f, 0.0f}), 0.5f),
               glm::translate(mirrored, {1.0f, 0.0f, 0.0f}));
    glm::mat4 sheared(1.0f);
    sheared[1][0] = 0.5f;
    expectNear(FrameInterpolator::blend(glm::mat4(1.0f), sheared, 0.5f),
               glm::mat4(1.0f) + (sheared - glm::mat4(1.0f)) * 0.5f);
}

// The tree's nodes between two recorded steps: only what moved between them is blended, the
// step's poses come back afterwards, and nodes that are new, moved since or gone are left alone.
TEST(FrameInterpolator, DrawsMovedNodesBetweenTheLastTwoSteps) {
    EmptyNode root("root");
    auto& walker = root.createChild<EmptyNode>("walker");
    auto& still = root.createChild<EmptyNode>("still");
    auto& rider = walker.createChild<EmptyNode>("rider");
    rider.translate({0.0f, 1.0f, 0.0f});
    auto& pushed = root.createChild<EmptyNode>("pushed");
    auto& doomed = root.createChild<EmptyNode>("doomed");
    still.translate({5.0f, 0.0f, 0.0f});

    FrameInterpolator interpolator;
    interpolator.captureStep(root);
    interpolator.apply(0.5f); // one step recorded: nothing to blend yet
    EXPECT_EQ(walker.getWorldPosition(), glm::vec3(0.0f));
    interpolator.restore();

    walker.translate({2.0f, 0.0f, 0.0f});
    pushed.translate({2.0f, 0.0f, 0.0f});
    doomed.translate({2.0f, 0.0f, 0.0f});
    interpolator.captureStep(root);
    root.createChild<EmptyNode>("newcomer").translate({7.0f, 0.0f, 0.0f});
    pushed.translate({1.0f, 0.0f, 0.0f}); // moved by hand after the step
    root.removeChild(&doomed);

    interpolator.apply(0.25f);
    EXPECT_EQ(walker.getWorldPosition(), glm::vec3(0.5f, 0.0f, 0.0f));
    EXPECT_EQ(rider.getWorldPosition(), glm::vec3(0.5f, 1.0f, 0.0f));
    EXPECT_EQ(still.getWorldPosition(), glm::vec3(5.0f, 0.0f, 0.0f));
    EXPECT_EQ(pushed.getWorldPosition(), glm::vec3(3.0f, 0.0f, 0.0f));
    EXPECT_EQ(root.findByName("newcomer")->getWorldPosition(), glm::vec3(7.0f, 0.0f, 0.0f));
    // The local matrices are the step's: only what is drawn moved.
    EXPECT_EQ(glm::vec3(walker.getLocalMatrix()[3]), glm::vec3(2.0f, 0.0f, 0.0f));
    interpolator.restore();
    EXPECT_EQ(walker.getWorldPosition(), glm::vec3(2.0f, 0.0f, 0.0f));
    EXPECT_EQ(rider.getWorldPosition(), glm::vec3(2.0f, 1.0f, 0.0f));
}

} // namespace
} // namespace hm
