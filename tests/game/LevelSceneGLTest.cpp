#include "game/LevelScene.h"

#include "audio/SoundEngine.h"
#include "game/BuildingCards.h"
#include "game/Enemy.h"
#include "game/LevelCoordinator.h"
#include "game/Tower.h"
#include "render/CameraNode.h"
#include "support/GLTestWindow.h"
#include "support/LogCapture.h"
#include "ui/Node2D.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

namespace hm {
namespace {

class LevelSceneTest : public testing::Test {
protected:
    void SetUp() override {
        scene = std::make_unique<LevelScene>("Vezaz");
        scene->start(window);
        scene->setAspectRatio(1.0f);
    }
    void play(float seconds, float step = 1.0f / 30.0f) {
        for (float t = 0.0f; t < seconds; t += step)
            scene->update(window, step);
    }
    LevelCoordinator& rules() { return scene->coordinator(); }

    Window& window = test::glWindow(200, 200);
    std::unique_ptr<LevelScene> scene;
};

TEST_F(LevelSceneTest, TheLevelIsBuiltFromItsModel) {
    EXPECT_GE(rules().towerBases().size(), 8u);
    EXPECT_EQ(rules().towerBases().front()->getName(), "tb[1]");
    ASSERT_NE(scene->activeCamera(), nullptr);
    EXPECT_EQ(scene->activeCamera()->getName(), "camera_main");
    EXPECT_EQ(rules().lives(), 10);
    EXPECT_EQ(rules().resources(), 300);
    ASSERT_NE(scene->root2D()->findChild("tWave"), nullptr);
}

TEST_F(LevelSceneTest, KeysPauseNothingButTrackShotsAndHudMode) {
    test::LogCapture log;
    for (int i = 0; i < 3; ++i)
        scene->onKey(window, GLFW_KEY_KP_ADD, 0, GLFW_RELEASE, 0);
    EXPECT_NEAR(scene->trackShotSpeed(), 0.5f, 1e-5f);
    scene->onKey(window, GLFW_KEY_1, 0, GLFW_RELEASE, 0);
    EXPECT_EQ(scene->activeCamera()->getName(), "camera_trackshot");
    scene->onKey(window, GLFW_KEY_0, 0, GLFW_RELEASE, 0);
    EXPECT_EQ(scene->activeCamera()->getName(), "camera_main");
    scene->onKey(window, GLFW_KEY_I, 0, GLFW_RELEASE, 0);
    EXPECT_EQ(scene->root2D()->mode(), DisplayMode::Hidden);
    scene->onKey(window, GLFW_KEY_I, 0, GLFW_RELEASE, 0);
    EXPECT_EQ(scene->root2D()->mode(), DisplayMode::Active);
    scene->onKey(window, GLFW_KEY_I, 0, GLFW_PRESS, 0); // presses are ignored
    EXPECT_EQ(scene->root2D()->mode(), DisplayMode::Active);

    rules().togglePause();
    const int resources = rules().resources();
    play(3.0f);
    EXPECT_EQ(rules().resources(), resources);
    EXPECT_EQ(rules().spawnedCount(), -1);
}

TEST_F(LevelSceneTest, PAndSpacePauseLikeTheButtonAndMMutes) {
    Node2D* veil = scene->root2D()->findChild("pOverlay");
    ASSERT_NE(veil, nullptr);
    for (int key : {GLFW_KEY_P, GLFW_KEY_SPACE}) {
        SCOPED_TRACE(key);
        scene->onKey(window, key, 0, GLFW_PRESS, 0);
        EXPECT_EQ(rules().state(), GameState::Playing);
        scene->onKey(window, key, 0, GLFW_RELEASE, 0);
        EXPECT_EQ(rules().state(), GameState::Paused);
        EXPECT_EQ(veil->mode(), DisplayMode::Frozen);
        scene->onKey(window, key, 0, GLFW_RELEASE, 0);
        EXPECT_EQ(rules().state(), GameState::Playing);
        EXPECT_EQ(veil->mode(), DisplayMode::Disabled);
    }

    SoundEngine& sound = window.soundEngine();
    sound.setVolume(0.4f);
    ASSERT_FALSE(sound.muted());
    scene->onKey(window, GLFW_KEY_M, 0, GLFW_RELEASE, 0);
    EXPECT_TRUE(sound.muted());
    scene->onKey(window, GLFW_KEY_M, 0, GLFW_RELEASE, 0);
    EXPECT_FALSE(sound.muted());
    EXPECT_FLOAT_EQ(sound.volume(), 0.4f); // unmuting gives back the chosen volume
    sound.setVolume(1.0f);
}

// A whole level at double speed with a cannon tower on every base: monsters are shot and killed,
// the rewards arrive, and the level ends in victory.
TEST_F(LevelSceneTest, ADefendedValleyIsWon) {
    rules().setResources(100000);
    for (TowerBase* base : rules().towerBases())
        base->build(TowerType::CANNON);
    rules().toggleSpeed();
    for (int i = 0; i < 200 * 15 && rules().state() == GameState::Playing; ++i)
        play(1.0f / 15.0f, 1.0f / 15.0f);
    EXPECT_EQ(rules().state(), GameState::Won);
    EXPECT_EQ(rules().spawnedCount(), 17);
    EXPECT_EQ(rules().defeatedCount(), 18);
    EXPECT_GT(rules().lives(), 0);
    EXPECT_FLOAT_EQ(rules().gameSpeed(), 1.0f); // back to normal speed at the end
}

TEST_F(LevelSceneTest, AnUndefendedValleyIsLost) {
    rules().toggleSpeed();
    for (int i = 0; i < 400 * 10 && rules().state() == GameState::Playing; ++i)
        play(0.1f, 0.1f);
    EXPECT_EQ(rules().state(), GameState::Lost);
    EXPECT_EQ(rules().lives(), 0);
}

} // namespace
} // namespace hm
