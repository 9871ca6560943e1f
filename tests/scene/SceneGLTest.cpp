// Scene start, update and render with a real window and OpenGL context.
#include "scene/Scene.h"

#include "app/MouseCursorObserver.h"
#include "app/UpdateableObject.h"
#include "app/Window.h"
#include "render/CameraNode.h"
#include "scene/SceneTestNodes.h"
#include "support//LogCapture.h"
#include "support/GLTestWindow.h"
#include "ui/Node2D.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

namespace hm {
namespace {

using test::Journal;
using test::RecordingNode;
using test::TestScene;

class SceneStart : public testing::Test {
protected:
    static void SetUpTestSuite() { window = test::openWindow("scene test", 64, 64).release(); }
    static void TearDownTestSuite() {
        delete window;
        window = nullptr;
    }
    static inline Window* window = nullptr;
};

std::unique_ptr<CameraNode> camera(const std::string& name) {
    return std::make_unique<CameraNode>(name, 1.0f, 0.1f, 100.0f, 1.0f);
}

TEST_F(SceneStart, AnEmptySceneGetsRootsAndADefaultCameraLookingAtTheOrigin) {
    test::LogCapture log;
    TestScene scene("empty");
    scene.setClearColour({0.25f, 0.5f, 0.75f});
    scene.start(*window);

    EXPECT_EQ(log.messages(spdlog::level::warn),
              (std::vector<std::string>{
                  "No active camera and no registered camera set. I created a default camera!"}));
    EXPECT_EQ(log.messages(spdlog::level::info),
              (std::vector<std::string>{"No 3d root node was set for scene empty. I created an empty one.",
                                        "No 2d root node was set for scene empty. I created a plain one."}));
    ASSERT_NE(scene.root3D(), nullptr);
    EXPECT_EQ(scene.root3D()->getName(), "root3D");
    EXPECT_EQ(scene.root3D()->getTypeName(), "EmptyNode");
    ASSERT_NE(scene.root2D(), nullptr);
    EXPECT_EQ(scene.root2D()->getName(), "root2D");

    CameraNode* cam = scene.activeCamera();
    ASSERT_NE(cam, nullptr);
    EXPECT_EQ(cam->getName(), "defaultCamera");
    EXPECT_TRUE(cam->isActive());
    EXPECT_EQ(cam->getParent(), scene.root3D());
    EXPECT_EQ(scene.findCamera("defaultCamera"), cam);
    EXPECT_FLOAT_EQ(cam->getFieldOfView(), 1.0471976f);
    EXPECT_FLOAT_EQ(cam->getNear(), 0.1f);
    EXPECT_FLOAT_EQ(cam->getFar(), 1000.0f);
    EXPECT_EQ(cam->getWorldPosition(), glm::vec3(4.0f, 2.0f, 4.0f));
    const glm::vec4 origin = cam->getProjection() * cam->getView() * glm::vec4(0, 0, 0, 1);
    EXPECT_NEAR(origin.x / origin.w, 0.0f, 1e-5f);
    EXPECT_NEAR(origin.y / origin.w, 0.0f, 1e-5f);
    EXPECT_GT(origin.w, 0.0f) << "in front of the camera";

    EXPECT_EQ(scene.cursorObserver().registeredWindow(), window);
    EXPECT_EQ(scene.root3D()->getWindow(), window);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    GLfloat clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_FLOAT_EQ(clear[1], 0.5f);
    EXPECT_FLOAT_EQ(clear[3], 1.0f);
    EXPECT_TRUE(scene.started());
}

TEST_F(SceneStart, WithoutAnActiveCameraTheSmallestNameIsChosen) {
    struct Case {
        const char* name;
        std::vector<std::string> cameras;
        const char* activate;
        std::string expectedActive;
        std::vector<std::string> warnings;
    };
    const Case cases[] = {
        {"b and a",
         {"b", "a"},
         nullptr,
         "a",
         {"No active camera was set, so I have chosen the first one in my list: a!"}},
        {"chosen in load", {"b", "a"}, "b", "b", {}},
    };
    for (const Case& c : cases) {
        test::LogCapture log;
        TestScene scene("cams");
        scene.onLoad = [&](TestScene& self) {
            auto root = std::make_unique<EmptyNode>("root");
            for (const auto& name : c.cameras)
                root->addChild(camera(name));
            self.setRoot3D(std::move(root));
            if (c.activate)
                self.setActiveCamera(c.activate);
        };
        scene.start(*window);
        ASSERT_NE(scene.activeCamera(), nullptr) << c.name;
        EXPECT_EQ(scene.activeCamera()->getName(), c.expectedActive) << c.name;
        EXPECT_EQ(log.messages(spdlog::level::warn), c.warnings) << c.name;
        EXPECT_EQ(scene.cameras().size(), 2u) << c.name;
    }
}

TEST_F(SceneStart, ASubtreeJoiningAStartedSceneGetsWindowThenSceneParentsFirst) {
    Journal journal;
    TestScene scene("join");
    scene.start(*window);
    auto a = std::make_unique<RecordingNode>("a", journal);
    a->createChild<RecordingNode>("b", journal);
    a->createChild<RecordingNode>("c", journal).createChild<RecordingNode>("d", journal);
    journal.clear();
    scene.root3D()->addChild(std::move(a));
    Journal hooks;
    for (const auto& line : journal)
        if (line.rfind("world ", 0) != 0)
            hooks.push_back(line);
    EXPECT_EQ(hooks, (Journal{"window a", "window b", "window c", "window d", "scene a", "scene b", "scene c",
                              "scene d"}));
}

struct CountingUpdateable : UpdateableObject {
    CountingUpdateable(std::string tag, Journal& journal) : tag(std::move(tag)), journal(journal) {}
    void update(float elapsed) override { journal.push_back(tag); }
    std::string tag;
    Journal& journal;
};

TEST_F(SceneStart, UpdateRunsUpdateablesLastToFirstDropsExpiredOnesAndUpdatesNodesEvenWithZeroTime) {
    Journal journal;
    TestScene scene("frame");
    RecordingNode* node = nullptr;
    scene.onLoad = [&](TestScene& self) {
        auto root = std::make_unique<EmptyNode>("root");
        node = &root->createChild<RecordingNode>("node", journal);
        self.setRoot3D(std::move(root));
    };
    scene.start(*window);
    auto first = std::make_shared<CountingUpdateable>("first", journal);
    auto second = std::make_shared<CountingUpdateable>("second", journal);
    auto third = std::make_shared<CountingUpdateable>("third", journal);
    scene.addUpdateable(first);
    scene.addUpdateable(second);
    scene.addUpdateable(third);
    second.reset();
    journal.clear();

    scene.update(*window, 0.0f);
    EXPECT_EQ(journal, (Journal{"third", "first", "node"}));
    EXPECT_EQ(scene.updateableCount(), 2u);
    EXPECT_EQ(node->lastDt, 0.0f);

    scene.update(*window, 0.25f);
    scene.update(*window, 0.5f);
    EXPECT_FLOAT_EQ(scene.sceneTime(), 0.75f);
    EXPECT_EQ(node->lastDt, 0.5f);
}

TEST_F(SceneStart, ARootReplacedByItsOwnNodeDuringUpdateLivesToTheEndOfThePass) {
    Journal journal;
    TestScene scene("swap");
    scene.start(*window);
    RecordingNode& swapper = scene.root3D()->createChild<RecordingNode>("swapper", journal);
    NodeRef<Node3D> oldRoot(scene.root3D());
    swapper.onUpdate = [&](RecordingNode&) { scene.setRoot3D(std::make_unique<EmptyNode>("fresh")); };
    scene.update(*window, 0.1f);
    EXPECT_FALSE(oldRoot);
    EXPECT_EQ(scene.root3D()->getName(), "fresh");
    EXPECT_EQ(scene.activeCamera(), nullptr) << "the default camera went with the old root";

    scene.render(*window, 0.1f); // renders without a camera
    scene.root3D()->destroy(true);
    scene.update(*window, 0.1f);
    EXPECT_EQ(scene.root3D(), nullptr);
    scene.render(*window, 0.1f);
}

TEST_F(SceneStart, StartHandsEveryBodyOfTheTreeToThePhysicsSceneInNameOrder) {
    Journal journal;
    TestScene scene("bodies");
    scene.onLoad = [&](TestScene& self) {
        auto root = std::make_unique<EmptyNode>("root");
        root->createChild<EmptyNode>("plain").createChild<EmptyNode>("b").setBody(
            std::make_unique<test::FakeBody>(journal));
        root->createChild<EmptyNode>("a").setBody(std::make_unique<test::FakeBody>(journal));
        self.setRoot3D(std::move(root));
        journal.clear();
    };
    scene.start(*window);
    Journal added;
    for (const auto& line : journal)
        if (line.rfind("addToScene ", 0) == 0)
            added.push_back(line);
    EXPECT_EQ(added, (Journal{"addToScene a", "addToScene b"}));
}

TEST_F(SceneStart, DestructionLogsTheSceneNameLast) {
    test::LogCapture log;
    {
        TestScene scene("gone");
        scene.start(*window);
    }
    EXPECT_EQ(log.messages(spdlog::level::debug).back(), "Destroyed scene gone");
}

} // namespace
} // namespace hm
