#include "render/RenderDevice.h"

#include "app/Window.h"
#include "render/Material.h"
#include "render/Renderer.h"
#include "support/GLTestWindow.h"
#include "support/ImageCompare.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

namespace hm {
namespace {

// Clears the window's back buffer to grey 100, runs the renderer's brightness pass at 1.5 and
// returns the centre pixel's red channel: 150 when the renderer's program, material and quad
// belong to the current context.
int brightenedGrey(Window& window) {
    Renderer& renderer = Renderer::instance();
    const glm::ivec2 size = window.framebufferSize();
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glViewport(0, 0, size.x, size.y);
    glClearColor(100.0f / 255.0f, 100.0f / 255.0f, 100.0f / 255.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    renderer.brightness = 1.5;
    renderer.brightnessPass();
    renderer.brightness = 1.0;
    const test::Image image = test::readFramebuffer(size.x, size.y);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    return image.pixel(size.x / 2, size.y / 2)[0];
}

TEST(RenderDevice, EachWindowDrawsWithItsOwnDeviceAndClosingOneHandsBackTheOther) {
    Window& shared = test::glWindow();
    EXPECT_EQ(&RenderDevice::current(), &shared.renderDevice());
    EXPECT_TRUE(RenderDevice::gpu());
    EXPECT_NEAR(brightenedGrey(shared), 150, 1);
    const Renderer* sharedRenderer = shared.renderDevice().renderer();
    {
        auto second = test::openWindow("second window", 64, 64);
        EXPECT_EQ(&RenderDevice::current(), &second->renderDevice());
        EXPECT_NE(second->renderDevice().renderer(), sharedRenderer);
        EXPECT_NEAR(brightenedGrey(*second), 150, 1);
    }
    EXPECT_EQ(&RenderDevice::current(), &shared.renderDevice());
    EXPECT_NEAR(brightenedGrey(shared), 150, 1);
}

TEST(RenderDevice, AWindowOpenedAfterAnotherClosedStartsFresh) {
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        auto window = test::openWindow("round", 48, 48);
        // Made fresh in every window: nothing survives from the previous round's context.
        EXPECT_EQ(MaterialRegistry::instance().findMaterial("made in a round"), nullptr);
        MaterialRegistry::instance().createSolidMaterial("made in a round");
        EXPECT_NEAR(brightenedGrey(*window), 150, 1);
    }
}

} // namespace
} // namespace hm
