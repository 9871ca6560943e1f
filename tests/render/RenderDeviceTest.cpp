#include "render/RenderDevice.h"

#include "app/InputCodes.h"
#include "app/Window.h"
#include "game/LevelCoordinator.h"
#include "game/LevelScene.h"
#include "render/Material.h"
#include "render/Mesh.h"
#include "render/ShaderLibrary.h"
#include "render/TextureRegistry.h"
#include "scene/Scene.h"
#include "ui/Font.h"

#include <gtest/gtest.h>

namespace hm {
namespace {

// Everything here runs without a display: a headless window's null device stands in.
class NullDeviceTest : public testing::Test {
protected:
    std::unique_ptr<Window> window = Window::headless(320, 240);
};

TEST_F(NullDeviceTest, TheHeadlessWindowsDeviceIsCurrentAndDrawsNothing) {
    EXPECT_TRUE(window->isHeadless());
    EXPECT_EQ(&RenderDevice::current(), &window->renderDevice());
    EXPECT_FALSE(RenderDevice::gpu());
    EXPECT_EQ(window->renderDevice().renderer(), nullptr);
    EXPECT_EQ(window->framebufferSize(), glm::ivec2(320, 240));
}

TEST_F(NullDeviceTest, ResourcesKeepTheirCpuSideWithoutGlObjects) {
    // Shaders are known by name, so an unknown name is still caught; their programs are 0.
    ASSERT_TRUE(ShaderLibrary::instance().findProgram("pbr"));
    EXPECT_EQ(*ShaderLibrary::instance().findProgram("pbr"), 0u);
    EXPECT_FALSE(ShaderLibrary::instance().findProgram("no such shader"));

    auto texture =
        loadTexture("hud/button_pause_pause.png", TextureFormat::Auto, TextureFilter::Linear,
                    TextureFilter::LinearMipmapLinear, TextureWrap::ClampToEdge, TextureWrap::ClampToEdge);
    ASSERT_NE(texture, nullptr);
    EXPECT_GT(texture->width(), 0);
    EXPECT_GT(texture->height(), 0);
    EXPECT_EQ(texture->id(), 0u);

    auto material = MaterialRegistry::instance().createPBRMaterial("null device pbr");
    ASSERT_EQ(material->textures().size(), 5u);
    for (const auto& [slot, defaultTexture] : material->textures())
        EXPECT_EQ(defaultTexture->width(), 1) << textureSlotName(slot);

    const Font& font = FontCache::instance().getFont("Oetztype", 24);
    EXPECT_GT(font.glyph('A').advance, 0u);
    EXPECT_GT(font.measure("Wave", {320, 240}).x, 0.0f);

    Mesh mesh({Vertex{}, Vertex{}, Vertex{}}, {0, 1, 2});
    EXPECT_FALSE(mesh.uploaded());
}

TEST_F(NullDeviceTest, EachWindowHasItsOwnRegistriesAndTheNewestIsCurrent) {
    auto mine = MaterialRegistry::instance().createSolidMaterial("only in the first window");
    {
        auto second = Window::headless(64, 64);
        EXPECT_EQ(&RenderDevice::current(), &second->renderDevice());
        EXPECT_EQ(MaterialRegistry::instance().findMaterial("only in the first window"), nullptr);
    }
    EXPECT_EQ(&RenderDevice::current(), &window->renderDevice());
    EXPECT_EQ(MaterialRegistry::instance().findMaterial("only in the first window"), mine);
}

// The level as a simulator tool drives it: opened on a headless window and advanced frame by
// frame; R restarts it through a scene switch, Escape ends the loop.
TEST_F(NullDeviceTest, TheLevelRunsRestartsAndEndsOnAHeadlessWindow) {
    window->openScene(std::make_unique<LevelScene>("Vezaz"));
    auto* level = dynamic_cast<LevelScene*>(window->currentScene());
    ASSERT_NE(level, nullptr);
    EXPECT_TRUE(level->started());
    for (int frame = 0; frame < 60; ++frame)
        ASSERT_TRUE(window->advance(1.0f / 20.0f));
    EXPECT_EQ(level->coordinator().spawnedCount(), 1); // the first monster is on the road
    EXPECT_GT(level->sceneTime(), 2.9f);

    window->dispatchKey(Key::R, 0, InputAction::Release, 0);
    EXPECT_TRUE(window->advance(1.0f / 20.0f));
    auto* restarted = dynamic_cast<LevelScene*>(window->currentScene());
    ASSERT_NE(restarted, nullptr);
    EXPECT_NE(restarted, level);
    EXPECT_EQ(restarted->coordinator().spawnedCount(), -1);

    window->dispatchKey(Key::Escape, 0, InputAction::Release, 0);
    EXPECT_FALSE(window->advance(1.0f / 20.0f));
    EXPECT_EQ(window->currentScene(), nullptr);
}

} // namespace
} // namespace hm
