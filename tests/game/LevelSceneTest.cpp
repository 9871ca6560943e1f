#include "game/LevelScene.h"

#include "app/InputCodes.h"
#include "app/Window.h"
#include "audio/SoundEngine.h"
#include "game/BuildingCards.h"
#include "game/Enemy.h"
#include "game/LevelCoordinator.h"
#include "game/LevelDefinition.h"
#include "game/LevelMap.h"
#include "game/LevelSimulator.h"
#include "game/MainMenuScene.h"
#include "game/ProgressStore.h"
#include "game/Tower.h"
#include "game/TowerPanel.h"
#include "render/CameraNode.h"
#include "support/LogCapture.h"
#include "support/TempDataHome.h"
#include "ui/ButtonNode.h"
#include "ui/Node2D.h"
#include "ui/TextLineNode.h"

#include <glm/geometric.hpp>

#include <gtest/gtest.h>

#include <random>

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

    // The whole level, loaded and played without a display or GL context.
    std::unique_ptr<Window> headless = Window::headless(200, 200);
    Window& window = *headless;
    std::unique_ptr<LevelScene> scene;
};

TEST_F(LevelSceneTest, TheLevelIsBuiltFromItsModel) {
    EXPECT_GE(rules().towerBases().size(), 8u);
    EXPECT_EQ(rules().towerBases().front()->getName(), "tb[1]");
    ASSERT_NE(scene->activeCamera(), nullptr);
    EXPECT_EQ(scene->activeCamera()->getName(), "camera_main");
    // The economy is the level file's.
    EXPECT_EQ(rules().lives(), rules().level().lives);
    EXPECT_EQ(rules().resources(), rules().level().resources);
    EXPECT_EQ(rules().level().schedule.size(), 18u);
    EXPECT_EQ(rules().level().displayName, "Vezaz");
    ASSERT_NE(scene->root2D()->findChild("tWave"), nullptr);
}

TEST_F(LevelSceneTest, KeysPauseNothingButTrackShotsAndHudMode) {
    test::LogCapture log;
    for (int i = 0; i < 3; ++i)
        scene->onKey(window, Key::KeypadAdd, 0, InputAction::Release, 0);
    EXPECT_NEAR(scene->trackShotSpeed(), 0.5f, 1e-5f);
    scene->onKey(window, Key::Num1, 0, InputAction::Release, 0);
    EXPECT_EQ(scene->activeCamera()->getName(), "camera_trackshot");
    scene->onKey(window, Key::Num0, 0, InputAction::Release, 0);
    EXPECT_EQ(scene->activeCamera()->getName(), "camera_main");
    scene->onKey(window, Key::I, 0, InputAction::Release, 0);
    EXPECT_EQ(scene->root2D()->mode(), DisplayMode::Hidden);
    scene->onKey(window, Key::I, 0, InputAction::Release, 0);
    EXPECT_EQ(scene->root2D()->mode(), DisplayMode::Active);
    scene->onKey(window, Key::I, 0, InputAction::Press, 0); // presses are ignored
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
    for (int key : {Key::P, Key::Space}) {
        SCOPED_TRACE(key);
        scene->onKey(window, key, 0, InputAction::Press, 0);
        EXPECT_EQ(rules().state(), GameState::Playing);
        scene->onKey(window, key, 0, InputAction::Release, 0);
        EXPECT_EQ(rules().state(), GameState::Paused);
        EXPECT_EQ(veil->mode(), DisplayMode::Frozen);
        scene->onKey(window, key, 0, InputAction::Release, 0);
        EXPECT_EQ(rules().state(), GameState::Playing);
        EXPECT_EQ(veil->mode(), DisplayMode::Disabled);
    }

    SoundEngine& sound = window.soundEngine();
    sound.setVolume(0.4f);
    ASSERT_FALSE(sound.muted());
    scene->onKey(window, Key::M, 0, InputAction::Release, 0);
    EXPECT_TRUE(sound.muted());
    scene->onKey(window, Key::M, 0, InputAction::Release, 0);
    EXPECT_FALSE(sound.muted());
    EXPECT_FLOAT_EQ(sound.volume(), 0.4f); // unmuting gives back the chosen volume
}

// Pressing 2 while shot 1 runs shows shot 2 at once: the camera is where shot 2 alone puts it.
TEST_F(LevelSceneTest, ALaterTrackShotReplacesTheRunningOne) {
    scene->onKey(window, Key::Num1, 0, InputAction::Release, 0);
    play(0.5f);
    scene->onKey(window, Key::Num2, 0, InputAction::Release, 0);
    play(0.5f);
    const glm::vec3 afterSwitch = scene->activeCamera()->getWorldPosition();

    scene->onKey(window, Key::Num0, 0, InputAction::Release, 0);
    scene->onKey(window, Key::Num2, 0, InputAction::Release, 0);
    play(0.5f);
    const glm::vec3 shotTwoAlone = scene->activeCamera()->getWorldPosition();
    EXPECT_LT(glm::length(afterSwitch - shotTwoAlone), 1e-3f);
}

// Pausing to plan: the panels slide in and out on the player's time, a tower can be bought, another
// upgraded, retargeted and a third sold, and nothing in the world moves (no walking, no
// construction, no income) until the game resumes.
TEST_F(LevelSceneTest, WhilePausedThePlayerPlansAndTheWorldStandsStill) {
    TowerBase& upgraded = *rules().towerBases().at(1);
    TowerBase& sold = *rules().towerBases().at(2);
    rules().setResources(1000);
    upgraded.build(TowerType::ARROW);
    sold.build(TowerType::CANNON);
    play(6.0f); // both towers stand; monsters are on the road
    ASSERT_EQ(upgraded.tower()->state(), TowerState::Ready);
    ASSERT_FALSE(rules().enemies().empty());
    Enemy& monster = *rules().enemies().front();
    rules().togglePause();
    const glm::vec3 where = monster.getWorldPosition();
    const float health = monster.health();
    const float elapsed = rules().elapsed();
    int resources = rules().resources();

    TowerBase& plot = *rules().towerBases().front();
    plot.onClick({}, {}, {});
    ASSERT_EQ(rules().selectedBase(), &plot);
    auto& cards = dynamic_cast<BuildingCardPanel&>(*scene->root2D()->findChild("panelCards"));
    play(0.6f);
    EXPECT_EQ(cards.slideState(), SlideState::Open);
    BuildingCard* arrow = nullptr;
    for (const auto& child : cards.children())
        if (auto* card = dynamic_cast<BuildingCard*>(child.get());
            card && card->towerType() == TowerType::ARROW)
            arrow = card;
    ASSERT_NE(arrow, nullptr);
    arrow->onClick(MouseButton::Left, InputAction::Release);
    ASSERT_NE(plot.tower(), nullptr);
    EXPECT_EQ(rules().resources(), resources -= towerPrototype(TowerType::ARROW).cost);
    play(0.6f);
    EXPECT_EQ(cards.slideState(), SlideState::Gone);

    // The tower panel: upgrade, retarget, then sell another tower.
    auto& panel = dynamic_cast<TowerPanel&>(*scene->root2D()->findChild("panelTower"));
    rules().selectTower(upgraded.tower());
    play(0.6f);
    EXPECT_EQ(panel.slideState(), SlideState::Open);
    panel.upgradeButton().onClick(MouseButton::Left, InputAction::Release);
    EXPECT_EQ(upgraded.tower()->level(), 2);
    EXPECT_EQ(rules().resources(), resources -= towerLevel(TowerType::ARROW, 2).price);
    panel.targetButton().onClick(MouseButton::Left, InputAction::Release);
    EXPECT_EQ(upgraded.tower()->targeting(), TargetingMode::Last);
    rules().selectTower(sold.tower());
    play(0.1f);
    panel.sellButton().onClick(MouseButton::Left, InputAction::Release);
    EXPECT_EQ(sold.tower(), nullptr);
    EXPECT_EQ(rules().resources(), resources += towerPrototype(TowerType::CANNON).cost * 7 / 10);
    play(0.6f);
    EXPECT_EQ(panel.slideState(), SlideState::Gone);

    play(5.0f);
    EXPECT_EQ(plot.tower()->state(), TowerState::Constructing);
    EXPECT_EQ(monster.getWorldPosition(), where);
    EXPECT_EQ(monster.health(), health);
    EXPECT_EQ(rules().elapsed(), elapsed);
    EXPECT_EQ(rules().resources(), resources);

    rules().togglePause();
    play(3.0f);
    EXPECT_EQ(plot.tower()->state(), TowerState::Ready);
    EXPECT_NE(monster.getWorldPosition(), where);
}

// U, S and T act on the selected tower; Escape lets go of a selection and quits only when nothing
// is selected. The panel's upgrade button is dimmed while the upgrade cannot be paid.
TEST_F(LevelSceneTest, KeysUpgradeSellAndRetargetTheSelectedTower) {
    auto key = [&](int k) { scene->onKey(window, k, 0, InputAction::Release, 0); };
    TowerBase& plot = *rules().towerBases().front();
    rules().setResources(1000);
    plot.build(TowerType::ARROW);
    Tower& tower = *plot.tower();
    key(Key::U); // nothing selected: nothing happens
    EXPECT_EQ(tower.level(), 1);

    rules().selectTower(&tower);
    auto& panel = dynamic_cast<TowerPanel&>(*scene->root2D()->findChild("panelTower"));
    play(0.1f);
    EXPECT_TRUE(panel.upgradeButton().usable());
    key(Key::U);
    EXPECT_EQ(tower.level(), 2);
    key(Key::T);
    key(Key::T);
    EXPECT_EQ(tower.targeting(), TargetingMode::Strongest);

    rules().setResources(towerLevel(TowerType::ARROW, 3).price - 1);
    play(0.1f);
    EXPECT_FALSE(panel.upgradeButton().usable());
    EXPECT_FLOAT_EQ(panel.upgradeButton().shade(), TowerPanel::kDimShade);
    panel.upgradeButton().onClick(MouseButton::Left, InputAction::Release);
    key(Key::U);
    EXPECT_EQ(tower.level(), 2) << "refused";
    rules().setResources(towerLevel(TowerType::ARROW, 3).price);
    play(0.1f);
    EXPECT_TRUE(panel.upgradeButton().usable());

    key(Key::Escape);
    EXPECT_EQ(rules().selectedTower(), nullptr);
    EXPECT_FALSE(window.exitRequested()) << "Escape first lets go of the selection";
    rules().selectTower(&tower);
    const int resources = rules().resources();
    const int value = rules().sellValue(tower);
    key(Key::S);
    EXPECT_EQ(plot.tower(), nullptr);
    EXPECT_EQ(rules().resources(), resources + value);
    key(Key::Escape);
    EXPECT_TRUE(window.exitRequested());
}

TEST_F(LevelSceneTest, AnUndefendedValleyIsLost) {
    rules().toggleSpeed();
    for (int i = 0; i < 400 * 10 && rules().state() == GameState::Playing; ++i)
        play(0.1f, 0.1f);
    EXPECT_EQ(rules().state(), GameState::Lost);
    EXPECT_EQ(rules().lives(), 0);

    // The defeat dialog: replay, map and exit in a row; no way on to the next level.
    play(0.5f);
    Node2D& veil = *scene->root2D()->findChild("eOverlay");
    EXPECT_EQ(veil.mode(), DisplayMode::Frozen);
    if (Node2D* next = veil.findChild("butNext")) {
        EXPECT_EQ(next->mode(), DisplayMode::Disabled);
    }
    float x = 0.0f;
    for (const char* name : {"butReplay", "butMap", "butExit"}) {
        const glm::vec4 at = veil.findChild(name)->getWorldMatrix() * glm::vec4(0.5f, 0.5f, 0.0f, 1.0f);
        EXPECT_GT(at.x, x) << name;
        EXPECT_NEAR(at.y, 0.29f, 1e-4f) << name;
        EXPECT_TRUE(veil.findChild(name)->acceptsInput()) << name;
        x = at.x;
    }
}

// On the campaign's first level a line says how to build, until the first tower stands.
TEST_F(LevelSceneTest, TheBuildHintGoesWithTheFirstTower) {
    ASSERT_NE(scene->buildHint(), nullptr);
    EXPECT_EQ(scene->buildHint()->text(), "Click a stone base, then a card, to build a tower");
    Node2D& strip = *scene->root2D()->findChild("panelBuildHint");
    play(3.0f);
    EXPECT_EQ(strip.mode(), DisplayMode::Active);
    rules().towerBases().front()->build(TowerType::ARROW);
    play(0.1f);
    EXPECT_EQ(strip.mode(), DisplayMode::Disabled);
}

// Played through as the game plays it: the greedy player's towers win Vezaz in the level scene,
// which records the win in the saved progress; the progress file then opens the second level with
// the stars the lives left earn, and the victory dialog's map shows them.
TEST(LevelProgress, WinningVezazOpensTheSecondLevel) {
    test::TempDataHome home;
    auto headless = Window::headless(200, 200);
    Window& window = *headless;
    PlayOptions greedy;
    greedy.policy = PlayerPolicy::Greedy;
    const PlayResult planned = LevelSimulator(window, "Vezaz").play(greedy);
    ASSERT_TRUE(planned.won);

    ProgressStore progress;
    LevelScene scene("Vezaz", &progress);
    scene.start(window);
    LevelCoordinator& rules = scene.coordinator();
    std::size_t next = 0;
    scene.setAfterStep([&] {
        while (rules.state() == GameState::Playing && next < planned.built.size() &&
               rules.canAfford(planned.built[next].type)) {
            rules.towerBases()
                .at(static_cast<std::size_t>(planned.built[next].plot) - 1)
                ->build(planned.built[next].type);
            ++next;
        }
    });
    for (int i = 0; i < 60 * 60 * 10 && rules.state() == GameState::Playing; ++i)
        scene.update(window, 1.0f / 60.0f);
    ASSERT_EQ(rules.state(), GameState::Won);

    const std::vector<std::string> campaign = campaignLevels();
    ASSERT_FALSE(campaign.empty());
    ASSERT_EQ(campaign[0], "Vezaz");
    const LevelDefinition vezaz = loadLevelDefinition("Vezaz");
    ProgressStore saved; // read afresh from the file
    const LevelProgress* result = saved.progress().level("Vezaz");
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(result->lives, rules.lives());
    EXPECT_EQ(result->stars, vezaz.starsFor(true, rules.lives()));
    EXPECT_GE(result->stars, 1);
    for (std::size_t i = 1; i < campaign.size(); ++i)
        EXPECT_EQ(isUnlocked(campaign[i], campaign, saved.progress()), i == 1) << campaign[i];

    // The victory dialog offers the next level (if there is one) before replay, map and exit; the
    // map button opens the menu at its map with the stars just won.
    for (int i = 0; i < 60 * 5; ++i)
        scene.update(window, 1.0f / 60.0f);
    Node2D& veil = *scene.root2D()->findChild("eOverlay");
    EXPECT_EQ(veil.mode(), DisplayMode::Frozen);
    const glm::vec3 replayAt = veil.findChild("butReplay")->getWorldPosition();
    if (campaign.size() > 1) {
        EXPECT_EQ(scene.nextLevel(), campaign[1]);
        auto& nextButton = *dynamic_cast<ButtonNode*>(veil.findChild("butNext"));
        EXPECT_TRUE(nextButton.acceptsInput());
        // First in the row.
        EXPECT_LT(nextButton.getWorldPosition().x, replayAt.x);
        EXPECT_NEAR(nextButton.getWorldPosition().y, replayAt.y, 1e-4f);
    } else {
        EXPECT_EQ(veil.findChild("butNext"), nullptr);
    }
    dynamic_cast<ButtonNode*>(veil.findChild("butMap"))->onClick(MouseButton::Left, InputAction::Release);
    auto* menu = dynamic_cast<MainMenuScene*>(window.currentScene());
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(menu->mapOpen());
    const auto& entries = menu->levelMap()->entries();
    ASSERT_EQ(entries.size(), campaign.size());
    EXPECT_EQ(entries[0].stars, result->stars);
    if (entries.size() > 1) {
        EXPECT_TRUE(entries[1].unlocked);
    }
}

// Frames of uneven length (16.7 ms +- 3 ms) over steps of 1/60 s take no step now and then, and two
// steps at other times. What is drawn of a walking monster still moves on every frame, as far as
// the frame is long, and never back.
TEST_F(LevelSceneTest, AWalkingMonsterIsDrawnMovingOnEveryFrame) {
    rules().spawnEnemy(EnemyType::WALKING_STONE_MONSTER);
    ASSERT_FALSE(rules().enemies().empty());
    NodeRef<Enemy> walker(rules().enemies().back());
    std::mt19937 random(21);
    std::uniform_real_distribution<float> jitter(-0.003f, 0.003f);
    auto drawnPosition = [&] {
        Scene::DrawnPoses drawn(*scene);
        return walker->getWorldPosition();
    };
    // Under way first, a step a frame: the monster has left the gate and steps have been recorded.
    glm::vec3 stepped = walker->getWorldPosition(), steppedBefore = stepped;
    for (int frame = 0; frame < 60; ++frame) {
        scene->update(window, static_cast<float>(LevelScene::kSimulationStep));
        steppedBefore = stepped;
        stepped = walker->getWorldPosition();
    }
    ASSERT_NE(stepped, steppedBefore) << "the monster does not walk";
    glm::vec3 drawn = drawnPosition();
    std::vector<std::pair<float, float>> moves; // (frame time, distance drawn)
    int framesWithoutStep = 0, framesWithTwoSteps = 0;
    for (int frame = 0; frame < 600 && walker && walker->state() == EnemyState::Walking; ++frame) {
        const float seconds = 1.0f / 60.0f + jitter(random);
        const std::int64_t stepsBefore = scene->stepCount();
        scene->update(window, seconds);
        framesWithoutStep += scene->stepCount() == stepsBefore;
        framesWithTwoSteps += scene->stepCount() >= stepsBefore + 2;
        if (walker->getWorldPosition() != stepped) {
            steppedBefore = stepped;
            stepped = walker->getWorldPosition();
        }
        const glm::vec3 now = drawnPosition();
        EXPECT_EQ(walker->getWorldPosition(), stepped) << "drawing moved the monster of the rules";
        const glm::vec3 move = now - drawn;
        EXPECT_GT(glm::dot(move, stepped - steppedBefore), 0.0f)
            << "frame " << frame << " is not drawn ahead";
        moves.emplace_back(seconds, glm::length(move));
        drawn = now;
    }
    ASSERT_GT(moves.size(), 300u);
    EXPECT_GT(framesWithoutStep, 0) << "the frame times never fell between two steps";
    EXPECT_GT(framesWithTwoSteps, 0) << "the frame times never took two steps";
    float distance = 0.0f, time = 0.0f;
    for (const auto& [seconds, moved] : moves) {
        distance += moved;
        time += seconds;
    }
    const float speed = distance / time;
    for (std::size_t i = 0; i < moves.size(); ++i) {
        const float ratio = moves[i].second / (moves[i].first * speed);
        EXPECT_GT(ratio, 0.6f) << "frame " << i << " is drawn short of the frame's time";
        EXPECT_LT(ratio, 1.4f) << "frame " << i << " is drawn beyond the frame's time";
    }
}

} // namespace
} // namespace hm
