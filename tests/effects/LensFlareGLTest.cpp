#include "effects/LensFlare.h"

#include "render/CameraNode.h"
#include "render/LightNode.h"
#include "render/Material.h"
#include "render/MeshNode.h"
#include "render/Primitives.h"
#include "render/Renderer.h"
#include "scene/EmptyNode.h"
#include "scene/Scene.h"
#include "support/GLTestWindow.h"
#include "support/ImageCompare.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>
#include <glm/gtc/matrix_transform.hpp>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace hm {
namespace {

// A camera at the origin looking down -z at a sun placed by the test, optionally behind a wall.
class SunScene : public Scene {
public:
    SunScene(glm::vec3 sunPosition, bool wall) : Scene("flare"), sunPosition_(sunPosition), wall_(wall) {}
    void load() override {
        auto root = std::make_unique<EmptyNode>("root3D");
        auto& sun = root->createChild<SunLight>("Sun", glm::vec3(0, 0, 1), glm::vec3(1.0f), 1.0f);
        sun.translate(sunPosition_);
        if (wall_) {
            auto& wall =
                root->createChild<MeshNode>("wall", makeBoxMesh({40, 40, 1}),
                                            MaterialRegistry::instance().createPBRMaterial("flareWall"));
            wall.translate({0, 0, -20});
        }
        root->createChild<CameraNode>("camera", glm::radians(60.0f), 0.1f, 500.0f, 1.0f);
        setRoot3D(std::move(root));
    }

private:
    glm::vec3 sunPosition_;
    bool wall_;
};

class LensFlareTest : public testing::Test {
protected:
    void renderFrames(Scene& scene, int frames) {
        for (int i = 0; i < frames; ++i) {
            scene.render(window, 0.0f);
            glFinish();
        }
    }
    // Waits until the window reports the new framebuffer size.
    void resize(int width, int height) {
        glfwSetWindowSize(window.handle(), width, height);
        for (int i = 0; i < 200 && window.framebufferSize() != glm::ivec2(width, height); ++i) {
            glfwWaitEventsTimeout(0.01);
        }
        ASSERT_EQ(window.framebufferSize(), glm::ivec2(width, height));
    }
    Window& window = test::glWindow(128, 128);
};

TEST_F(LensFlareTest, AnUnhiddenSunAtTheCentreShinesFully) {
    SunScene scene({0, 0, -100}, false);
    scene.start(window);
    scene.setAspectRatio(1.0f);
    renderFrames(scene, 4);
    const LensFlare* flare = Renderer::instance().lensFlare();
    ASSERT_NE(flare, nullptr);
    EXPECT_GT(flare->referenceSamples(), 0);
    EXPECT_NEAR(flare->sunPoint().x, 0.5f, 1e-3f);
    EXPECT_NEAR(flare->sunPoint().y, 0.5f, 1e-3f);
    EXPECT_NEAR(flare->lastFade(), 1.0f, 1e-3f);
    EXPECT_NEAR(flare->visibility(), 1.0f, 0.05f);
    // All fourteen flares sit on the sun's point.
    for (int i = 0; i < LensFlare::kFlareCount; ++i)
        EXPECT_NEAR(flare->flare(i).getLocalMatrix()[3][0], 0.5f, 1e-3f) << i;
}

TEST_F(LensFlareTest, ASunBehindAWallIsHidden) {
    // The wall starts out of sight: the sun is measured fully visible first, so a flare that
    // measured nothing could not pass for a hidden one.
    SunScene scene({0, 0, -100}, true);
    scene.start(window);
    scene.setAspectRatio(1.0f);
    Node3D* wall = scene.root3D()->findByName("wall");
    ASSERT_NE(wall, nullptr);
    wall->translate({0, 200, 0});
    renderFrames(scene, 4);
    const LensFlare* flare = Renderer::instance().lensFlare();
    EXPECT_GT(flare->referenceSamples(), 0);
    EXPECT_NEAR(flare->visibility(), 1.0f, 0.05f);
    wall->translate({0, -200, 0});
    renderFrames(scene, 4);
    EXPECT_NEAR(flare->visibility(), 0.0f, 0.05f);
}

TEST_F(LensFlareTest, SunsAtTheEdgeOrBehindTheCameraDrawNoFlares) {
    struct Case {
        const char* name;
        glm::vec3 sun;
        glm::vec2 point; // the sun's point on the screen
    };
    // 300 to the side at 100 deep, with a 60 degree field of view: 0.5 + 0.5 * 3 / tan(30 deg).
    const float side = 0.5f + 0.5f * 3.0f / std::tan(glm::radians(30.0f));
    for (const Case& c : {Case{"behind the camera", {0, 0, 100}, {-1, -1}},
                          Case{"far off to the side", {300, 0, -100}, {side, 0.5f}}}) {
        SCOPED_TRACE(c.name);
        SunScene scene(c.sun, false);
        scene.start(window);
        scene.setAspectRatio(1.0f);
        renderFrames(scene, 2);
        const LensFlare* flare = Renderer::instance().lensFlare();
        // The sun was measured and placed, and its fade came out below zero.
        EXPECT_GT(flare->referenceSamples(), 0);
        EXPECT_NEAR(flare->sunPoint().x, c.point.x, 1e-3f);
        EXPECT_NEAR(flare->sunPoint().y, c.point.y, 1e-3f);
        EXPECT_LT(flare->lastFade(), 0.0f);
    }
}

TEST_F(LensFlareTest, AResizeWhileTheReferenceIsMeasuredIsMeasuredAgain) {
    SunScene scene({0, 0, -100}, false);
    scene.start(window);
    scene.setAspectRatio(1.0f);
    renderFrames(scene, 4);
    const LensFlare* flare = Renderer::instance().lensFlare();
    const int fullSize = flare->referenceSamples();
    ASSERT_GT(fullSize, 0);
    // A larger size for one frame only: that frame starts a measurement, and the size changes
    // back before its result is read. (The window is shared: it ends at the size it had.)
    const glm::ivec2 size = window.framebufferSize();
    resize(size.x + 32, size.y + 32);
    renderFrames(scene, 1);
    resize(size.x, size.y);
    renderFrames(scene, 4);
    EXPECT_EQ(flare->referenceSize(), glm::vec2(size));
    EXPECT_NEAR(flare->referenceSamples(), fullSize, fullSize / 20);
    EXPECT_NEAR(flare->visibility(), 1.0f, 0.05f);
}

} // namespace
} // namespace hm
