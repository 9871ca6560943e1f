// Scene behaviour that needs no window: the camera registry and the aspect ratio.
#include "scene/Scene.h"

#include "app/MouseCursorObserver.h"
#include "render/CameraNode.h"
#include "scene/SceneTestNodes.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

namespace hm {
namespace {

std::unique_ptr<CameraNode> camera(const std::string& name) {
    return std::make_unique<CameraNode>(name, 1.0f, 0.1f, 100.0f, 1.0f);
}

class SceneRegistry : public testing::Test {
protected:
    SceneRegistry() { scene.setRoot3D(std::make_unique<EmptyNode>("root")); }
    Node3D& root() { return *scene.root3D(); }
    test::TestScene scene{"registry"};
};

TEST_F(SceneRegistry, CamerasRegisterWhenTheyJoinAndTheLastNamesakeWins) {
    Node3D* first = root().addChild(camera("cam"));
    Node3D* second = root().addChild(camera("cam"));
    ASSERT_EQ(scene.cameras().size(), 1u);
    EXPECT_EQ(scene.findCamera("cam"), second);

    // The camera that lost its entry leaving must not take its namesake's entry with it.
    root().removeChild(first);
    EXPECT_EQ(scene.findCamera("cam"), second);
    root().removeChild(second);
    EXPECT_TRUE(scene.cameras().empty());
}

TEST_F(SceneRegistry, SwitchingCamerasDeactivatesTheOldOneAndUnknownNamesChangeNothing) {
    test::LogCapture log;
    auto* a = static_cast<CameraNode*>(root().addChild(camera("a")));
    auto* b = static_cast<CameraNode*>(root().addChild(camera("b")));
    scene.setActiveCamera("a");
    scene.setActiveCamera("b");
    scene.setActiveCamera("nobody");
    EXPECT_EQ(scene.activeCamera(), b);
    EXPECT_FALSE(a->isActive());
    EXPECT_TRUE(b->isActive());
    EXPECT_EQ(log.messages(spdlog::level::err),
              (std::vector<std::string>{"No camera by the name nobody registered at this scene."}));
    EXPECT_EQ(log.messages(spdlog::level::debug),
              (std::vector<std::string>{"Activated camera a", "Deactivated camera a", "Activated camera b"}));

    // The active camera going away leaves the scene without one rather than with a dangling one.
    root().removeChild(b);
    EXPECT_EQ(scene.activeCamera(), nullptr);
}

TEST_F(SceneRegistry, TheAspectRatioReachesCamerasRegisteredBeforeAndAfter) {
    test::LogCapture log;
    auto* early = static_cast<CameraNode*>(root().addChild(camera("early")));
    scene.setAspectRatio(2.5f);
    auto* late = static_cast<CameraNode*>(root().addChild(camera("late")));
    EXPECT_FLOAT_EQ(scene.aspectRatio(), 2.5f);
    EXPECT_FLOAT_EQ(early->getAspect(), 2.5f);
    EXPECT_FLOAT_EQ(late->getAspect(), 2.5f);

    scene.setAspectRatio(0.0f);
    scene.setAspectRatio(std::numeric_limits<float>::infinity());
    EXPECT_FLOAT_EQ(late->getAspect(), 2.5f);
    EXPECT_EQ(log.messages(spdlog::level::warn).size(), 2u);
}

TEST(Scene, ConstructionDefaultsAndTheAnimatorLine) {
    test::LogCapture log;
    test::TestScene scene("menu");
    EXPECT_FLOAT_EQ(scene.aspectRatio(), 1.77f);
    EXPECT_EQ(scene.gravity(), glm::vec3(0.0f, -9.81f, 0.0f));
    EXPECT_EQ(scene.clearColour(), glm::vec3(0.0f));
    EXPECT_EQ(scene.activeCamera(), nullptr);
    EXPECT_FALSE(scene.started());
    EXPECT_TRUE(scene.cursorObserver().wantsCursorPosition && scene.cursorObserver().wantsMouseButton &&
                scene.cursorObserver().wantsFramebufferSize);
    EXPECT_EQ(log.messages(spdlog::level::debug),
              (std::vector<std::string>{"Standard NodeAnimator for scene menu initialized."}));
}

TEST(Scene, ReplacingTheRootDestroysTheOldTreeAndItsCameras) {
    test::LogCapture log;
    test::TestScene scene("s");
    auto oldRoot = std::make_unique<EmptyNode>("old");
    oldRoot->addChild(camera("main"));
    NodeRef<Node3D> oldRef(oldRoot.get());
    scene.setRoot3D(std::move(oldRoot));
    auto newRoot = std::make_unique<EmptyNode>("new");
    Node3D* newMain = newRoot->addChild(camera("main"));

    scene.setRoot3D(std::move(newRoot));
    scene.setRoot3D(nullptr);

    EXPECT_FALSE(oldRef);
    EXPECT_EQ(scene.root3D()->getName(), "new");
    EXPECT_EQ(scene.findCamera("main"), newMain);
    EXPECT_EQ(log.messages(spdlog::level::warn),
              (std::vector<std::string>{"Scene s was given no 3d root; the current one stays."}));
}

} // namespace
} // namespace hm
