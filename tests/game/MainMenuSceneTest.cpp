#include "game/MainMenuScene.h"

#include "animation/NodeAnimator.h"
#include "app/InputCodes.h"
#include "app/Window.h"
#include "game/LevelDefinition.h"
#include "game/LevelMap.h"
#include "game/ProgressStore.h"
#include "render/Material.h"
#include "render/MeshNode.h"
#include "support/LogCapture.h"
#include "support/TempDataHome.h"
#include "ui/ButtonNode.h"
#include "ui/Node2D.h"
#include "ui/TextLineNode.h"

#include <gtest/gtest.h>

namespace hm {
namespace {

class MainMenuTest : public testing::Test {
protected:
    void SetUp() override {
        menu.start(window);
        menu.setAspectRatio(1.0f);
    }
    std::string boardMaterial(const char* sign) {
        Node3D* node = menu.root3D()->findByName(sign);
        auto* board = node ? dynamic_cast<MeshNode*>(node->getChildren().front().get()) : nullptr;
        return board && board->material() ? board->material()->name() : "";
    }

    std::unique_ptr<Window> headless = Window::headless(200, 200);
    Window& window = *headless;
    MainMenuScene menu;
};

TEST_F(MainMenuTest, SignsLightUpUnderThePointer) {
    Node3D* start = menu.root3D()->findByName("WoodStart");
    Node3D* exit = menu.root3D()->findByName("WoodExit");
    ASSERT_TRUE(start && exit);
    start->onMouseEnter({}, {}, {});
    EXPECT_EQ(boardMaterial("WoodStart"), "tHoverMenu");
    start->onMouseLeave({}, {}, {});
    exit->onMouseEnter({}, {}, {});
    EXPECT_EQ(boardMaterial("WoodStart"), "ColorPicker");
    EXPECT_EQ(boardMaterial("WoodExit"), "tHoverMenu");
}

// The camera still flies in when START is clicked: the map opens at once, and a level chosen
// then lets the camera fly through the signs' halt into that level.
TEST_F(MainMenuTest, StartOpensTheMapAndALevelChosenInFlightFliesOn) {
    ASSERT_TRUE(menu.introAnimation());
    menu.update(window, 0.1f);
    EXPECT_FALSE(menu.mapOpen());
    menu.root3D()->findByName("WoodStart")->onClick({}, {}, {});
    EXPECT_TRUE(menu.mapOpen());
    EXPECT_EQ(menu.root2D()->findChild("credits")->mode(), DisplayMode::Disabled); // the corner badges go
    EXPECT_EQ(menu.introAnimation()->state(), NodeAnimationState::Playing);

    menu.levelMap()->sign(0).onClick(MouseButton::Left, InputAction::Release);
    EXPECT_EQ(menu.chosenLevel(), "Vezaz");
    EXPECT_FALSE(menu.mapOpen());
    for (int i = 0; i < 600 && !window.currentScene(); ++i) {
        menu.update(window, 0.05f);
        EXPECT_NE(menu.introAnimation()->state(), NodeAnimationState::Paused);
    }
    ASSERT_NE(window.currentScene(), nullptr);
    EXPECT_EQ(window.currentScene()->name(), "Vezaz");
}

TEST_F(MainMenuTest, AtTheSignsALevelChosenResumesTheFlight) {
    for (int i = 0; i < 600 && menu.introAnimation()->state() != NodeAnimationState::Paused; ++i)
        menu.update(window, 0.05f);
    ASSERT_EQ(menu.introAnimation()->state(), NodeAnimationState::Paused);
    EXPECT_NEAR(menu.introAnimation()->time() / menu.introAnimation()->length(), 0.52f, 1e-3f);
    menu.openMap();
    menu.chooseLevel("Vezaz");
    EXPECT_EQ(menu.introAnimation()->state(), NodeAnimationState::Playing);
    menu.openMap(); // on its way: the map stays shut
    EXPECT_FALSE(menu.mapOpen());
}

// Escape steps back one place at a time: from the map to the signs, then out of the game.
TEST_F(MainMenuTest, EscapeLeavesTheMapThenTheGame) {
    menu.openMap();
    menu.onKey(window, Key::Escape, 0, InputAction::Release, 0);
    EXPECT_FALSE(menu.mapOpen());
    EXPECT_EQ(menu.root2D()->findChild("credits")->mode(), DisplayMode::Active);
    EXPECT_FALSE(window.exitRequested());
    menu.onKey(window, Key::Escape, 0, InputAction::Release, 0);
    EXPECT_TRUE(window.exitRequested());
}

TEST_F(MainMenuTest, TheMapsBackButtonReturnsToTheSigns) {
    menu.openMap();
    menu.levelMap()->backButton().onClick(MouseButton::Left, InputAction::Release);
    EXPECT_FALSE(menu.mapOpen());
    EXPECT_FALSE(window.exitRequested());
}

TEST_F(MainMenuTest, EscapeClosesTheGame) {
    menu.onKey(window, Key::Escape, 0, InputAction::Press, 0);
    EXPECT_FALSE(window.exitRequested());
    menu.onKey(window, Key::Escape, 0, InputAction::Release, 0);
    EXPECT_TRUE(window.exitRequested());
}

std::size_t countChildren(const Node2D& node, const std::string& name) {
    std::size_t count = 0;
    for (const auto& child : node.children())
        count += child->getName() == name ? 1 : 0;
    return count;
}

// A map of three levels as a player's progress may have them: stars for what was won, the next
// level open, the one after it locked; a click on the locked one says why and starts nothing.
TEST_F(MainMenuTest, TheMapShowsStarsAndExplainsALock) {
    std::vector<MapEntry> entries = {
        {"Vezaz", "Vezaz", true, 2}, {"Fen", "Morrow Fen", true, 0}, {"Pass", "Cinder Pass", false, 0}};
    std::vector<std::string> chosen;
    auto& map = menu.root2D()->createChild<LevelMap>(
        entries, [&](const std::string& level) { chosen.push_back(level); }, nullptr);

    EXPECT_EQ(countChildren(map.sign(0), "mapStarFull"), 2u);
    EXPECT_EQ(countChildren(map.sign(0), "mapStarEmpty"), 1u);
    EXPECT_EQ(countChildren(map.sign(1), "mapStarEmpty"), 3u);
    EXPECT_EQ(countChildren(map.sign(1), "mapLock"), 0u);
    ButtonNode& locked = map.sign(2);
    EXPECT_EQ(countChildren(locked, "mapLock"), 1u);
    EXPECT_EQ(countChildren(locked, "mapStarEmpty"), 0u);
    EXPECT_LT(locked.shade(), 1.0f);
    const auto* name = dynamic_cast<const TextLineNode*>(locked.findChild("mapName"));
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->text(), "Cinder Pass");
    // The signs stand in a column, in campaign order.
    EXPECT_GT(map.sign(0).getWorldPosition().y, map.sign(1).getWorldPosition().y);
    EXPECT_GT(map.sign(1).getWorldPosition().y, map.sign(2).getWorldPosition().y);

    locked.onClick(MouseButton::Left, InputAction::Release);
    EXPECT_EQ(map.message(), "Win Morrow Fen to open Cinder Pass");
    EXPECT_TRUE(chosen.empty());
    map.sign(1).onClick(MouseButton::Left, InputAction::Release);
    EXPECT_EQ(chosen, std::vector<std::string>{"Fen"});
    EXPECT_EQ(map.message(), "");
}

// The menu's map is the shipped campaign as the saved progress has it.
TEST(MainMenuMap, IsTheCampaignAsTheSavedProgressHasIt) {
    test::TempDataHome home;
    ProgressStore progress;
    ASSERT_TRUE(progress.recordWin("Vezaz", 2, 6));
    auto headless = Window::headless(200, 200);
    MainMenuScene menu("Unnamed Scene", &progress);
    menu.start(*headless);
    const std::vector<std::string> campaign = campaignLevels();
    const auto& entries = menu.levelMap()->entries();
    ASSERT_EQ(entries.size(), campaign.size());
    EXPECT_EQ(entries[0].level, "Vezaz");
    EXPECT_EQ(entries[0].stars, 2);
    EXPECT_TRUE(entries[0].unlocked);
    for (std::size_t i = 1; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].level, campaign[i]);
        EXPECT_EQ(entries[i].unlocked, i == 1) << entries[i].level;
    }
}

// A campaign level whose file cannot be used is not offered.
TEST(MainMenuMap, ALevelThatCannotBeLoadedIsLeftOut) {
    Progress progress;
    progress.record("Vezaz", 1, 1);
    test::LogCapture log;
    const auto entries = campaignMap({"Vezaz", "NoSuchLevel"}, progress);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].level, "Vezaz");
    EXPECT_TRUE(
        log.contains("GAME_DATA/levels/NoSuchLevel.ini: error: cannot be read: No such file or directory"));
}

// Back from a level the menu opens at the map, with the camera at the signs.
TEST(MainMenuMap, ComingBackFromALevelOpensAtTheMap) {
    auto headless = Window::headless(200, 200);
    MainMenuScene menu("Unnamed Scene", nullptr, MainMenuScene::Opening::Map);
    menu.start(*headless);
    EXPECT_TRUE(menu.mapOpen());
    ASSERT_TRUE(menu.introAnimation());
    EXPECT_EQ(menu.introAnimation()->state(), NodeAnimationState::Paused);
    EXPECT_NEAR(menu.introAnimation()->time() / menu.introAnimation()->length(), 0.52f, 1e-3f);
}

} // namespace
} // namespace hm
