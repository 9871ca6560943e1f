// The model viewer's scene: framing, lighting, animation choice and the screenshot path, run
// through the window's game loop as hollowmere-view runs it.
#include "tools/viewer/ModelViewerScene.h"

#include "animation/RiggedMeshNode.h"
#include "app/Window.h"
#include "render/CameraNode.h"
#include "render/LightNode.h"
#include "render/MeshNode.h"
#include "render/OrbitCameraNode.h"
#include "support/GLTestWindow.h"
#include "support/ImageCompare.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

namespace hm {
namespace {

namespace fs = std::filesystem;

ModelViewerScene::Outcome runViewer(const ModelViewerScene::Options& options) {
    auto outcome = std::make_shared<ModelViewerScene::Outcome>();
    test::glWindow().startGameLoop(std::make_unique<ModelViewerScene>(options, outcome));
    return *outcome;
}

TEST(ModelViewer, ScreenshotsOfTwoAnimationTimesShowDifferentSilhouettes) {
    const fs::path folder = fs::temp_directory_path() / "hm_viewer_test";
    fs::remove_all(folder);
    const std::string early = (folder / "early.png").string(), late = (folder / "late.png").string();

    const auto first = runViewer({"tower_arrow.fbx", "Construction", early, 3});
    EXPECT_TRUE(first.modelLoaded);
    EXPECT_TRUE(first.animationFound);
    EXPECT_TRUE(first.screenshotWritten);
    EXPECT_EQ(first.framesRendered, 3);
    const auto second = runViewer({"GAME_DATA/models/tower_arrow.fbx", "Construction", late, 30});
    ASSERT_TRUE(second.screenshotWritten);

    const test::Image a = test::loadPng(early), b = test::loadPng(late);
    ASSERT_EQ(a.width, b.width);
    ASSERT_GT(a.width, 0);
    const test::Difference d = test::compare(a, b, 24);
    // The tower rises out of its plinth: a large share of the picture changes.
    EXPECT_GT(static_cast<double>(d.pixelsOver) / (a.width * a.height), 0.02);
}

TEST(ModelViewer, AMissingModelOrAnimationEndsOrIsReported) {
    test::LogCapture log;
    const auto missing = runViewer({"no_such_model.fbx", "", "", 1});
    EXPECT_FALSE(missing.modelLoaded);
    EXPECT_LE(missing.framesRendered, 1);

    const std::string shot = (fs::temp_directory_path() / "hm_viewer_test" / "base.png").string();
    const auto unknown = runViewer({"tower_base.fbx", "Dance", shot, 1});
    EXPECT_TRUE(unknown.modelLoaded);
    EXPECT_FALSE(unknown.animationFound);
    EXPECT_TRUE(log.contains("The model has no skeletal or node animation named Dance."));
}

TEST(ModelViewer, FramesTheWholeModelAndLightsItWhenTheFileHasNoLight) {
    Window& window = test::glWindow();
    ModelViewerScene scene({"enemy_massive_stone_monster.fbx", "Walk", "", 1});
    scene.start(window);
    scene.update(window, 0.0f);
    ASSERT_NE(scene.model(), nullptr);
    ASSERT_EQ(scene.activeCamera(), scene.camera());
    EXPECT_NE(scene.sun(), nullptr);
    EXPECT_NE(scene.skyboxMaterial(), nullptr);

    const glm::mat4 viewProjection = scene.camera()->getProjection() * scene.camera()->getView();
    std::size_t vertices = 0;
    std::function<void(Node3D&)> visit = [&](Node3D& node) {
        if (auto* mesh = dynamic_cast<MeshNode*>(&node))
            for (const Vertex& v : mesh->mesh()->vertices()) {
                const glm::vec4 clip = viewProjection * node.getWorldMatrix() * glm::vec4(v.position, 1.0f);
                ASSERT_GT(clip.w, 0.0f);
                ASSERT_LE(std::abs(clip.x / clip.w), 1.0f);
                ASSERT_LE(std::abs(clip.y / clip.w), 1.0f);
                ++vertices;
            }
        for (const auto& child : node.getChildren())
            visit(*child);
    };
    visit(*scene.model());
    EXPECT_GT(vertices, 0u);

    auto* monster = dynamic_cast<RiggedMeshNode*>(scene.model()->findByName("EnemyMassiveStoneMonster"));
    ASSERT_NE(monster, nullptr);
    ASSERT_NE(monster->currentAnimation(), nullptr);
    EXPECT_EQ(monster->currentAnimation()->name(), "Walk");

    // A level brings its own sun; the viewer adds none.
    ModelViewerScene level({"Vezaz.fbx", "Intro", "", 1});
    level.start(window);
    ASSERT_NE(level.sun(), nullptr);
    EXPECT_EQ(level.sun()->getName(), "Sun");
}

} // namespace
} // namespace hm
