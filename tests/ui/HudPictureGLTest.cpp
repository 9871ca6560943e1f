// A small HUD drawn through the scene and the renderer's 2D pass: a picture panel with a label,
// two buttons (one glowing under the cursor), a half-faded veil and a centred text line.
#include "ui/ButtonNode.h"
#include "ui/ImageNode.h"
#include "ui/Overlay.h"
#include "ui/TextLineNode.h"

#include "support/GLTestWindow.h"
#include "support/ImageCompare.h"
#include "ui/UiTestSupport.h"

#include <gtest/gtest.h>

namespace hm {
namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;

struct Hud {
    ImageNode* panel = nullptr;
    ButtonNode* plain = nullptr;
    ButtonNode* glowing = nullptr;
    Overlay* veil = nullptr;
};

void build(Node2D& root, Hud& hud) {
    // Red over blue, twice as wide as high: shows which way up pictures are drawn.
    hud.panel = &root.createChild<ImageNode>(true, "panel");
    hud.panel->setMaterial(test::stripedCanvas("hudPanel", 4, {{220, 40, 40, 255}, {40, 40, 220, 255}}));
    hud.panel->setAnchor(AnchorTopLeft);
    hud.panel->translate(0.02f, 0.98f, 0.0f);
    hud.panel->scale(1.0f, 0.25f, 1.0f);
    auto& value = hud.panel->createChild<TextLineNode>("tValue", "Oetztype", 60.0f, "234");
    value.setAnchor(AnchorCentre);
    value.setTranslation({0.5f, 0.5f, 0.0f});

    const auto grey = test::stripedCanvas("hudButton", 1, {{128, 128, 128, 255}});
    for (auto [button, x] : {std::pair{&hud.plain, 0.3f}, std::pair{&hud.glowing, 0.7f}}) {
        *button = &root.createChild<ButtonNode>(false, "button", nullptr);
        (*button)->setMaterial(grey);
        (*button)->setAnchor(AnchorBottomMiddle);
        (*button)->translate(x, 0.05f, 0.0f);
        (*button)->scale(0.15f, 0.2f, 1.0f);
    }

    auto& title = root.createChild<TextLineNode>("title", "Oetztype", 80.0f, "Hollowmere");
    title.setAnchor(AnchorCentre);
    title.setTranslation({0.5f, 0.5f, 0.0f});
    title.setColour({1.0f, 0.85f, 0.2f});

    // Over the top-right quarter, fading out from black.
    hud.veil = &root.createChild<Overlay>(FadeState::FadingOut, "veil", glm::vec4(0, 0, 0, 1), 1.0f);
    hud.veil->translate(0.5f, 0.5f, 0.0f);
    hud.veil->scale(0.5f, 0.5f, 1.0f);
}

glm::ivec3 rgb(const test::Image& image, float x, float y) {
    // x, y in screen space (origin bottom left).
    const std::uint8_t* p = image.pixel(static_cast<int>(x * kWidth), static_cast<int>((1.0f - y) * kHeight));
    return {p[0], p[1], p[2]};
}

void expectColour(glm::ivec3 actual, glm::ivec3 expected, const std::string& what) {
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(actual[c], expected[c], 3) << what << " channel " << c;
}

TEST(HudPicture, WidgetsAndTextDrawOverTheSceneAsLaidOut) {
    Window& window = test::glWindow();
    test::resize(window, kWidth, kHeight);
    Hud hud;
    test::UiScene scene([&](Node2D& root) { build(root, hud); });
    scene.setClearColour({0.2f, 0.4f, 0.6f});
    scene.start(window);
    // The cursor rests on the right-hand button while half a second passes.
    window.dispatchCursorPosition(0.7 * kWidth, 0.85 * kHeight);
    ASSERT_TRUE(hud.glowing->hovered());
    ASSERT_FALSE(hud.plain->hovered());
    scene.update(window, 0.25f);
    scene.update(window, 0.25f);
    EXPECT_FLOAT_EQ(hud.glowing->glow(), 1.0f);
    EXPECT_FLOAT_EQ(hud.veil->alpha(), 0.5f);

    scene.render(window, 0.0f);
    const test::Image image = test::readFramebuffer(kWidth, kHeight);
    test::savePng("build/hud_picture.png", image);

    const glm::ivec3 clear(51, 102, 153);
    expectColour(rgb(image, 0.05f, 0.95f), {220, 40, 40}, "top of the panel");
    expectColour(rgb(image, 0.05f, 0.76f), {40, 40, 220}, "bottom of the panel");
    // 0.25 high, twice as wide, in a 4:3 window.
    expectColour(rgb(image, 0.02f + 0.375f - 0.01f, 0.95f), {220, 40, 40}, "right end of the panel");
    expectColour(rgb(image, 0.02f + 0.375f + 0.01f, 0.95f), clear, "beyond the panel");
    expectColour(rgb(image, 0.3f, 0.15f), {128, 128, 128}, "plain button");
    expectColour(rgb(image, 0.7f, 0.15f), {166, 166, 166}, "glowing button, 30 % brighter");
    expectColour(rgb(image, 0.95f, 0.95f), clear / 2, "under the half-faded veil");
    expectColour(rgb(image, 0.95f, 0.45f), clear, "beside the veil");

    const std::string mismatch = test::matchGolden("tests/ui/golden/hud_picture.png", image);
    EXPECT_TRUE(mismatch.empty()) << mismatch;
}

} // namespace
} // namespace hm
