#include "render/ShadowCascades.h"

#include <glm/gtc/matrix_transform.hpp>
#include <gtest/gtest.h>

namespace hm {
namespace {

TEST(ShadowCascades, SplitDistancesBlendUniformAndLogarithmic) {
    struct Case {
        float nearPlane;
        std::array<float, 3> expected;
    };
    for (const Case& c : {Case{1.0f, {7.7625f, 23.8314f, 80.0f}}, Case{0.1f, {4.7991f, 15.3301f, 80.0f}}}) {
        SCOPED_TRACE(c.nearPlane);
        const auto splits = ShadowCascades::splitDistances(c.nearPlane);
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(splits[i], c.expected[i], 1e-3f);
    }
}

// Every point of a cascade's slice of the view frustum must land inside that cascade's shadow
// map, or shadows vanish near the edges of the screen.
TEST(ShadowCascades, EachCascadeBoxContainsItsFrustumSlice) {
    CameraFrustum camera;
    camera.view = glm::lookAt(glm::vec3(4, 6, 9), glm::vec3(0, 0, 0), glm::vec3(0, 1, 0));
    camera.fieldOfView = 1.0471976f;
    camera.aspect = 16.0f / 9.0f;
    camera.nearPlane = 0.1f;
    ShadowCascades cascades;
    cascades.update(camera, glm::normalize(glm::vec3(-0.4f, -1.0f, -0.3f)));

    float sliceNear = camera.nearPlane;
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE(k);
        const glm::mat4 inverse = glm::inverse(
            glm::perspective(camera.fieldOfView, camera.aspect, sliceNear, cascades.splits[k]) * camera.view);
        const glm::mat4 light = cascades.lightProjection[k] * cascades.lightView[k];
        for (float x : {-1.0f, 0.0f, 1.0f})
            for (float y : {-1.0f, 0.0f, 1.0f})
                for (float z : {-1.0f, 1.0f}) {
                    glm::vec4 world = inverse * glm::vec4(x, y, z, 1.0f);
                    world /= world.w;
                    const glm::vec4 clip = light * world;
                    EXPECT_LE(std::abs(clip.x), 1.0f + 1e-3f);
                    EXPECT_LE(std::abs(clip.y), 1.0f + 1e-3f);
                    EXPECT_LE(std::abs(clip.z), 1.0f + 1e-3f);
                }
        sliceNear = cascades.splits[k];
    }
}

// The cheap set-up: one map over the whole shadow distance. Its end stands for every split, the
// unused cascades repeat it, and it holds everything the camera sees up to that distance.
TEST(ShadowCascades, OneCascadeCoversTheWholeShadowDistance) {
    CameraFrustum camera;
    camera.view = glm::lookAt(glm::vec3(4, 6, 9), glm::vec3(0, 0, 0), glm::vec3(0, 1, 0));
    camera.nearPlane = 0.1f;
    ShadowCascades cascades;
    cascades.update(camera, glm::normalize(glm::vec3(-0.4f, -1.0f, -0.3f)), 1, 1024);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(cascades.splits[k], ShadowCascades::kShadowDistance);
        EXPECT_EQ(cascades.lightView[k], cascades.lightView[0]);
        EXPECT_EQ(cascades.lightProjection[k], cascades.lightProjection[0]);
    }
    const glm::mat4 inverse =
        glm::inverse(glm::perspective(camera.fieldOfView, camera.aspect, camera.nearPlane,
                                      ShadowCascades::kShadowDistance) *
                     camera.view);
    const glm::mat4 light = cascades.lightProjection[0] * cascades.lightView[0];
    for (float x : {-1.0f, 1.0f})
        for (float y : {-1.0f, 1.0f})
            for (float z : {-1.0f, 1.0f}) {
                glm::vec4 world = inverse * glm::vec4(x, y, z, 1.0f);
                world /= world.w;
                const glm::vec4 clip = light * world;
                EXPECT_LE(std::abs(clip.x), 1.0f + 1e-3f);
                EXPECT_LE(std::abs(clip.y), 1.0f + 1e-3f);
                EXPECT_LE(std::abs(clip.z), 1.0f + 1e-3f);
            }
    // Snapped to whole texels of the map it is drawn into.
    const glm::vec4 origin = light * glm::vec4(0, 0, 0, 1);
    EXPECT_NEAR(origin.x * 512.0f, std::round(origin.x * 512.0f), 2e-2f);
}

TEST(ShadowCascades, WorldOriginLandsOnAWholeTexel) {
    CameraFrustum camera;
    camera.view = glm::lookAt(glm::vec3(3.3f, 5.1f, 7.7f), glm::vec3(0.2f, 0, 0.1f), glm::vec3(0, 1, 0));
    ShadowCascades cascades;
    cascades.update(camera, glm::normalize(glm::vec3(0.3f, -1.0f, 0.2f)));
    for (int k = 0; k < 3; ++k) {
        const glm::vec4 origin = cascades.lightProjection[k] * cascades.lightView[k] * glm::vec4(0, 0, 0, 1);
        const float tx = origin.x * 1024.0f, ty = origin.y * 1024.0f;
        EXPECT_NEAR(tx, std::round(tx), 2e-2f);
        EXPECT_NEAR(ty, std::round(ty), 2e-2f);
    }
}

TEST(ShadowCascades, DegenerateSunDirectionsGiveFiniteMatrices) {
    CameraFrustum camera;
    camera.view = glm::lookAt(glm::vec3(0, 5, 5), glm::vec3(0, 0, 0), glm::vec3(0, 1, 0));
    for (const glm::vec3& sun : {glm::vec3(0.0f), glm::vec3(0, -1, 0), glm::vec3(0, 1, 0)}) {
        ShadowCascades cascades;
        cascades.update(camera, sun);
        for (int k = 0; k < 3; ++k)
            for (int c = 0; c < 4; ++c)
                for (int r = 0; r < 4; ++r) {
                    EXPECT_TRUE(std::isfinite(cascades.lightView[k][c][r]));
                    EXPECT_TRUE(std::isfinite(cascades.lightProjection[k][c][r]));
                }
    }
}

} // namespace
} // namespace hm
