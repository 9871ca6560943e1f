// Images, buttons and overlays with a real window: mouse input through the window's dispatch,
// aspect correction, button glow and clicks, overlay fades, and the scene handing them its window.
#include "ui/ButtonNode.h"
#include "ui/ImageNode.h"
#include "ui/Overlay.h"

#include "support/GLTestWindow.h"
#include "support/LogCapture.h"
#include "ui/UiTestSupport.h"

#include <gtest/gtest.h>

namespace hm {
namespace {

using Journal = std::vector<std::string>;

class RecordingImage : public ImageNode {
public:
    RecordingImage(std::string name, Journal& journal)
        : ImageNode(false, std::move(name)), journal(journal) {}
    void onHover() override { journal.push_back("hover"); }
    void onHoverEnter() override { journal.push_back("enter"); }
    void onHoverLeave() override { journal.push_back("leave"); }
    void onClick(int button, int action) override {
        journal.push_back("click " + std::to_string(button) + " " + std::to_string(action));
    }
    Journal& journal;
};

// The window is 64 x 64 pixels: a centred node of size 0.5 covers pixels 16 to 48 both ways.
class Widgets : public testing::Test {
protected:
    Widgets() : window(test::glWindow()) { test::resize(window, 64, 64); }
    Window& window;
};

TEST_F(Widgets, TheCursorHoversAnImageInsideItsSquareEdgesIncluded) {
    Journal journal;
    RecordingImage image("image", journal);
    image.setAnchor(AnchorCentre);
    image.translate(0.5f, 0.5f, 0.0f);
    image.scale(0.5f, 0.5f, 1.0f);
    image.setWindow(&window);
    ASSERT_EQ(image.registeredWindow(), &window);

    const struct {
        double x, y;
        bool hovered;
        Journal calls;
        glm::vec2 local;
    } moves[] = {
        {8, 8, false, {}, {-0.25f, 1.25f}},
        {16, 48, true, {"enter", "hover"}, {0.0f, 0.0f}}, // bottom-left corner
        {48, 16, true, {"hover"}, {1.0f, 1.0f}},          // top-right corner
        {49, 16, false, {"leave"}, {1.03125f, 1.0f}},
        {32, 32, true, {"enter", "hover"}, {0.5f, 0.5f}},
    };
    for (const auto& move : moves) {
        journal.clear();
        window.dispatchCursorPosition(move.x, move.y);
        EXPECT_EQ(image.hovered(), move.hovered) << move.x << "," << move.y;
        EXPECT_EQ(journal, move.calls) << move.x << "," << move.y;
        EXPECT_FLOAT_EQ(image.cursorLocal().x, move.local.x);
        EXPECT_FLOAT_EQ(image.cursorLocal().y, move.local.y);
    }
    journal.clear();
    window.dispatchMouseButton(1, 1, 0);
    EXPECT_EQ(journal, (Journal{"click 1 1"})) << "an image reports every button while hovered";

    // Hiding it takes it from under the cursor: no hover, and no click goes through.
    journal.clear();
    image.setMode(DisplayMode::Hidden);
    window.dispatchCursorPosition(33, 33);
    window.dispatchMouseButton(0, 0, 0);
    EXPECT_EQ(journal, (Journal{"leave"}));
    EXPECT_FALSE(image.hovered());
}

TEST_F(Widgets, AButtonClicksOnALeftReleaseOverItOnlyWhenNothingAboveRefusesInput) {
    int clicks = 0;
    Node2D panel("panel");
    auto& button = panel.createChild<ButtonNode>(false, "button", [&] { ++clicks; });
    button.setAnchor(AnchorCentre);
    button.translate(0.5f, 0.5f, 0.0f);
    button.scale(0.5f, 0.5f, 1.0f);
    panel.setWindow(&window);
    auto over = [&] { window.dispatchCursorPosition(32, 32); };
    auto away = [&] { window.dispatchCursorPosition(2, 2); };
    auto press = [&](int button) { window.dispatchMouseButton(button, 1, 0); };
    auto release = [&](int button) { window.dispatchMouseButton(button, 0, 0); };

    panel.setMode(DisplayMode::Disabled);
    over();
    press(0);
    release(0);
    EXPECT_FALSE(button.hovered());
    EXPECT_EQ(clicks, 0) << "inside a disabled parent";

    panel.setMode(DisplayMode::Frozen);
    over();
    EXPECT_TRUE(button.hovered());
    release(0);
    EXPECT_EQ(clicks, 1) << "a frozen parent is drawn and clickable";

    press(0);
    away();
    release(0);
    EXPECT_EQ(clicks, 1) << "pressed over it, released elsewhere";
    press(0);
    over();
    release(0);
    EXPECT_EQ(clicks, 2) << "pressed elsewhere, released over it";
    press(1);
    release(1);
    EXPECT_EQ(clicks, 2) << "the right button does not click";

    button.setOnClickCallback(nullptr);
    release(0); // nothing to call: nothing happens
    EXPECT_EQ(clicks, 2);
}

TEST_F(Widgets, AButtonMayDestroyItselfFromItsCallback) {
    auto panel = std::make_unique<Node2D>("panel");
    panel->setWindow(&window);
    ButtonNode* button = nullptr;
    button = &panel->createChild<ButtonNode>(false, "close", [&] { panel->releaseChild(button).reset(); });
    button->setWindow(&window);
    window.dispatchCursorPosition(10, 60);
    window.dispatchMouseButton(0, 0, 0);
    EXPECT_TRUE(panel->children().empty());
}

TEST_F(Widgets, TheGlowFollowsTheHoverWithinAFifthOfASecond) {
    ButtonNode button(false, "button", nullptr);
    button.setWindow(&window);
    window.dispatchCursorPosition(10, 60);
    ASSERT_TRUE(button.hovered());
    const struct {
        float dt;
        bool over;
        float glow;
    } steps[] = {{0.1f, true, 0.5f}, {0.3f, true, 1.0f}, {0.05f, false, 0.75f}, {1.0f, false, 0.0f}};
    for (const auto& step : steps) {
        window.dispatchCursorPosition(step.over ? 10 : -10, 60);
        button.updatePass(step.dt);
        EXPECT_FLOAT_EQ(button.glow(), step.glow);
    }
}

TEST_F(Widgets, KeepAspectMakesTheWidthFollowTheHeightThePictureAndTheWindow) {
    ImageNode image(true, "image");
    image.scale(0.2f, 0.1f, 1.0f);
    image.translate(0.3f, 0.4f, 0.0f);
    image.onFramebufferSize(window, 800, 600);
    EXPECT_FLOAT_EQ(image.getLocalMatrix()[0][0], 0.075f) << "a square picture 0.1 high in 800 x 600";
    EXPECT_FLOAT_EQ(image.getLocalMatrix()[1][1], 0.1f);
    EXPECT_EQ(glm::vec2(image.getLocalMatrix()[3]), glm::vec2(0.3f, 0.4f));

    // A wider picture widens the image at once.
    image.setMaterial(test::stripedCanvas("wide", 4, {{255, 0, 0, 255}, {0, 0, 255, 255}}));
    EXPECT_FLOAT_EQ(image.imageAspect(), 2.0f);
    EXPECT_FLOAT_EQ(image.getLocalMatrix()[0][0], 0.15f);

    // A minimised window (0 x 0) changes nothing; a null material is refused.
    test::LogCapture log;
    image.onFramebufferSize(window, 0, 0);
    image.setMaterial(nullptr);
    EXPECT_FLOAT_EQ(image.getLocalMatrix()[0][0], 0.15f);
    EXPECT_FLOAT_EQ(image.windowAspect(), 0.75f);
    EXPECT_TRUE(log.contains("ImageNode image was given no material; it keeps its current one."));
    EXPECT_EQ(image.getTypeName(), "ImageNode2D");

    // Without keepAspect the x scale is the caller's.
    ImageNode free(false, "free");
    free.scale(0.2f, 0.1f, 1.0f);
    free.onFramebufferSize(window, 800, 600);
    EXPECT_FLOAT_EQ(free.getLocalMatrix()[0][0], 0.2f);
}

TEST_F(Widgets, OverlaysStartShownOrHiddenByTheirFadeState) {
    const struct {
        FadeState state;
        DisplayMode mode;
        float alpha;
    } cases[] = {{FadeState::Transparent, DisplayMode::Hidden, 0.0f},
                 {FadeState::FadingOut, DisplayMode::Active, 1.0f},
                 {FadeState::Opaque, DisplayMode::Active, 1.0f},
                 {FadeState::FadingIn, DisplayMode::Hidden, 0.0f}};
    for (const auto& c : cases) {
        Overlay overlay(c.state, "veil", {0, 0, 0, 1}, 1.0f);
        EXPECT_EQ(overlay.mode(), c.mode);
        EXPECT_EQ(overlay.alpha(), c.alpha);
        EXPECT_EQ(overlay.material()->opacity, c.alpha);
        EXPECT_FALSE(overlay.keepAspect());
    }
    // Namesakes (a replayed level's veils) fade independently.
    Overlay a(FadeState::Opaque, "bOverlay", {0, 0, 0, 1}, 1.0f);
    Overlay b(FadeState::Opaque, "bOverlay", {1, 1, 1, 1}, 1.0f);
    EXPECT_NE(a.material(), b.material());
}

TEST_F(Widgets, AnOverlayFadingOutIsTransparentAndHiddenAfterOneSecondAtSpeedOne) {
    Overlay veil(FadeState::FadingOut, "veil", {0, 0, 0, 1}, 1.0f);
    for (float expected : {0.75f, 0.5f, 0.25f}) {
        veil.updatePass(0.25f);
        EXPECT_FLOAT_EQ(veil.alpha(), expected);
        EXPECT_FLOAT_EQ(veil.material()->opacity, expected);
        EXPECT_EQ(veil.mode(), DisplayMode::Active);
    }
    veil.updatePass(0.3f);
    EXPECT_EQ(veil.alpha(), 0.0f);
    EXPECT_EQ(veil.material()->opacity, 0.0f);
    EXPECT_EQ(veil.fadeState(), FadeState::Transparent);
    EXPECT_EQ(veil.mode(), DisplayMode::Hidden);

    // Fading in ends opaque; the mode is the caller's.
    veil.setFadeState(FadeState::FadingIn);
    veil.updatePass(0.6f);
    veil.updatePass(0.6f);
    EXPECT_EQ(veil.alpha(), 1.0f);
    EXPECT_EQ(veil.fadeState(), FadeState::Opaque);
    EXPECT_EQ(veil.mode(), DisplayMode::Hidden);

    test::LogCapture log;
    veil.setFadeSpeed(-2.0f);
    EXPECT_EQ(veil.fadeSpeed(), 1.0f);
    EXPECT_TRUE(log.contains("Overlay veil ignores the fade speed -2."));
}

TEST_F(Widgets, TheSceneHandsItsWindowToThe2DTreeAtStartAndToNodesJoiningLater) {
    ImageNode* early = nullptr;
    test::UiScene scene([&](Node2D& root) { early = &root.createChild<ImageNode>(false, "early"); });
    scene.start(window);
    EXPECT_EQ(scene.root2D()->window(), &window);
    EXPECT_EQ(early->registeredWindow(), &window);

    auto& late = scene.root2D()->createChild<ImageNode>(false, "late");
    EXPECT_EQ(late.registeredWindow(), &window);
    std::unique_ptr<Node2D> removed = scene.root2D()->releaseChild(&late);
    EXPECT_EQ(late.registeredWindow(), nullptr) << "leaving the scene withdraws it from the window";
}

TEST_F(Widgets, TheSceneUpdatesThe2DTreeUnlessTheRootStopsIt) {
    const struct {
        DisplayMode mode;
        float glow;
    } cases[] = {{DisplayMode::Active, 0.5f},
                 {DisplayMode::Hidden, 0.5f},
                 {DisplayMode::Frozen, 0.0f},
                 {DisplayMode::Disabled, 0.0f}};
    for (const auto& c : cases) {
        ButtonNode* button = nullptr;
        test::UiScene scene(
            [&](Node2D& root) { button = &root.createChild<ButtonNode>(false, "b", nullptr); });
        scene.start(window);
        window.dispatchCursorPosition(10, 60);
        scene.root2D()->setMode(c.mode);
        scene.update(window, 0.1f);
        EXPECT_FLOAT_EQ(button->glow(), c.glow) << static_cast<int>(c.mode);
    }
}

} // namespace
} // namespace hm
