#include "render/CameraNode.h"

#include "scene/EmptyNode.h"

#include "support/LogCapture.h"

#include <glm/gtc/matrix_transform.hpp>
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace hm {
namespace {

TEST(CameraNode, ProjectionIsTheRightHandedPerspectiveWithDepthMinusOneToOne) {
    struct Case {
        float fov, aspect, nearPlane, farPlane;
    };
    const Case cases[] = {
        {1.0471976f, 1.777f, 0.1f, 1000.0f}, {0.5f, 1.0f, 1.0f, 50.0f}, {2.0f, 0.5f, 0.01f, 10.0f}};
    for (const Case& c : cases) {
        CameraNode camera("cam", c.fov, c.nearPlane, c.farPlane, c.aspect);
        const glm::mat4& p = camera.getProjection();
        const float t = std::tan(c.fov / 2.0f);
        const float n = c.nearPlane, f = c.farPlane;
        glm::mat4 expected(0.0f);
        expected[0][0] = 1.0f / (c.aspect * t);
        expected[1][1] = 1.0f / t;
        expected[2][2] = -(f + n) / (f - n);
        expected[2][3] = -1.0f;
        expected[3][2] = -(2.0f * f * n) / (f - n);
        for (int col = 0; col < 4; ++col)
            for (int row = 0; row < 4; ++row)
                EXPECT_NEAR(p[col][row], expected[col][row],
                            1e-5f * std::max(1.0f, std::abs(expected[col][row])))
                    << "fov " << c.fov << " element (" << col << "," << row << ")";
        // The near and far planes land on -1 and +1.
        const glm::vec4 nearPoint = p * glm::vec4(0, 0, -n, 1);
        const glm::vec4 farPoint = p * glm::vec4(0, 0, -f, 1);
        EXPECT_NEAR(nearPoint.z / nearPoint.w, -1.0f, 1e-4f);
        EXPECT_NEAR(farPoint.z / farPoint.w, 1.0f, 1e-3f);
    }
}

TEST(CameraNode, AspectChangesDeriveTheHorizontalFieldOfView) {
    test::LogCapture log;
    CameraNode camera("cam", 1.0f, 0.1f, 100.0f, 1.0f);
    camera.setAspectRatio(2.0f);
    EXPECT_FLOAT_EQ(camera.getAspect(), 2.0f);
    EXPECT_NEAR(camera.getHorizontalFieldOfView(), 2.0f * std::atan(std::tan(0.5f) * 2.0f), 1e-6f);
    EXPECT_NEAR(camera.getProjection()[0][0], 1.0f / (2.0f * std::tan(0.5f)), 1e-6f);
    for (float bad : {0.0f, -1.0f, std::nanf("")})
        camera.setAspectRatio(bad);
    EXPECT_FLOAT_EQ(camera.getAspect(), 2.0f);
    EXPECT_EQ(log.messages(spdlog::level::warn).size(), 3u);
}

TEST(CameraNode, ParametersThatCannotProjectFallBackToDefaultsWithAWarning) {
    test::LogCapture log;
    CameraNode camera("odd", 4.0f, 0.0f, -5.0f, 0.0f);
    EXPECT_FLOAT_EQ(camera.getFieldOfView(), 1.0471976f);
    EXPECT_FLOAT_EQ(camera.getNear(), 0.1f);
    EXPECT_FLOAT_EQ(camera.getFar(), 1000.0f);
    EXPECT_GT(camera.getAspect(), 0.0f);
    for (int col = 0; col < 4; ++col)
        for (int row = 0; row < 4; ++row)
            EXPECT_TRUE(std::isfinite(camera.getProjection()[col][row]));
    EXPECT_EQ(log.messages(spdlog::level::warn).size(), 1u);
}

TEST(CameraNode, ActivationIsCountedOnceAndRepeatsAreWarned) {
    struct Counting : CameraNode {
        Counting() : CameraNode("watch", 1.0f, 0.1f, 100.0f, 1.0f) {}
        void onActivated() override { ++activated; }
        void onDeactivated() override { ++deactivated; }
        int activated = 0, deactivated = 0;
    } camera;
    test::LogCapture log;
    camera.deactivate();
    camera.activate();
    camera.activate();
    camera.deactivate();
    EXPECT_EQ(camera.activated, 1);
    EXPECT_EQ(camera.deactivated, 1);
    EXPECT_EQ(log.messages(spdlog::level::warn),
              (std::vector<std::string>{"Attempt to deactivate already inaktive camera watch.",
                                        "Attempt to activate already active camera (watch)."}));
    EXPECT_EQ(log.messages(spdlog::level::debug),
              (std::vector<std::string>{"Activated camera watch", "Deactivated camera watch"}));
}

TEST(CameraNode, TheViewFollowsTheNodeAndLooksAtTheCentre) {
    EmptyNode root("root");
    // Looks along its own -x; the parent turns it a quarter about +Y, so it looks along world +z.
    auto& camera = root.createChild<CameraNode>("cam", 1.0f, 0.1f, 100.0f, 1.0f, glm::vec3(-1, 0, 0),
                                                glm::vec3(0, 1, 0));
    root.rotate({0, 1, 0}, std::numbers::pi_v<float> / 2.0f);
    camera.translateGlobal({1, 2, 3});
    const glm::vec4 ahead = camera.getView() * glm::vec4(1, 2, 8, 1);
    EXPECT_NEAR(ahead.x, 0.0f, 1e-5f);
    EXPECT_NEAR(ahead.y, 0.0f, 1e-5f);
    EXPECT_NEAR(ahead.z, -5.0f, 1e-5f);

    std::unique_ptr<Node3D> copy = camera.copy();
    auto* copied = dynamic_cast<CameraNode*>(copy.get());
    ASSERT_NE(copied, nullptr);
    EXPECT_EQ(copied->getName(), "cam[0001]");
    EXPECT_FALSE(copied->isActive());
    EXPECT_EQ(copied->getProjection(), camera.getProjection());
}

} // namespace
} // namespace hm
