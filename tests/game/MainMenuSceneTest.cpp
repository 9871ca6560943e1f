#include "game/MainMenuScene.h"

#include "animation/NodeAnimator.h"
#include "app/InputCodes.h"
#include "app/Window.h"
#include "render/Material.h"
#include "render/MeshNode.h"
#include "ui/Node2D.h"

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

TEST_F(MainMenuTest, StartWaitsForTheCameraToHaltAtTheSigns) {
    ASSERT_TRUE(menu.introAnimation());
    menu.update(window, 0.1f);
    menu.root3D()->findByName("WoodStart")->onClick({}, {}, {});
    EXPECT_EQ(menu.root2D()->mode(), DisplayMode::Disabled); // the corner badges go
    EXPECT_EQ(menu.introAnimation()->state(), NodeAnimationState::Playing);
    for (int i = 0; i < 600 && menu.introAnimation()->state() != NodeAnimationState::Paused; ++i)
        menu.update(window, 0.05f);
    ASSERT_EQ(menu.introAnimation()->state(), NodeAnimationState::Paused);
    EXPECT_NEAR(menu.introAnimation()->time() / menu.introAnimation()->length(), 0.52f, 1e-3f);
    menu.root3D()->findByName("WoodStart")->onClick({}, {}, {});
    EXPECT_EQ(menu.introAnimation()->state(), NodeAnimationState::Playing);
}

TEST_F(MainMenuTest, EscapeClosesTheGame) {
    menu.onKey(window, Key::Escape, 0, InputAction::Press, 0);
    EXPECT_FALSE(window.exitRequested());
    menu.onKey(window, Key::Escape, 0, InputAction::Release, 0);
    EXPECT_TRUE(window.exitRequested());
}

} // namespace
} // namespace hm
