// Fonts and text lines with a real window: the font cache, measuring, alignment on the anchor,
// hovering, bytes without glyphs, and what reaches the framebuffer.
#include "ui/Font.h"
#include "ui/TextLineNode.h"

#include "render/GLHandle.h"
#include "render/SceneUniforms.h"
#include "render/ShaderLocations.h"
#include "support/GLTestWindow.h"
#include "support/ImageCompare.h"
#include "support/LogCapture.h"
#include "ui/UiTestSupport.h"

#include <GL/glew.h>
#include <glm/gtc/matrix_transform.hpp>
#include <gtest/gtest.h>

namespace hm {
namespace {

// Pixel bounds of what was drawn (anything brighter than the black background), rows from the top.
struct Bounds {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
    bool empty() const { return right < 0; }
};

Bounds drawnBounds(const test::Image& image) {
    Bounds b;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            if (image.pixel(x, y)[0] > 60) {
                b.left = std::min(b.left, x);
                b.right = std::max(b.right, x);
                b.top = std::min(b.top, y);
                b.bottom = std::max(b.bottom, y);
            }
    return b;
}

class TextLines : public testing::Test {
protected:
    TextLines() : window(test::glWindow()) { test::resize(window, 128, 128); }

    // Draws the label alone with the 2D pass's state into a black window and reads it back.
    test::Image draw(TextLineNode& label) {
        glViewport(0, 0, 128, 128);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        SceneUniforms block{};
        block.view = glm::mat4(1.0f);
        block.projection = glm::ortho(0.0f, 1.0f, 0.0f, 1.0f, -10.0f, 999.0f);
        if (!uniforms) {
            GLuint buffer = 0;
            glGenBuffers(1, &buffer);
            uniforms.reset(buffer);
        }
        glBindBuffer(GL_UNIFORM_BUFFER, uniforms.get());
        glBufferData(GL_UNIFORM_BUFFER, sizeof(block), &block, GL_STREAM_DRAW);
        glBindBufferBase(GL_UNIFORM_BUFFER, shader::kSceneBlockBinding, uniforms.get());
        glDisable(GL_DEPTH_TEST);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        label.renderPass(4);
        return test::readFramebuffer(128, 128);
    }

    Window& window;
    BufferHandle uniforms;
};

TEST_F(TextLines, LabelsShareFontsByNameAndSizeAndAResizeFetchesTheNewSize) {
    TextLineNode a("a", "Oetztype", 26.0f, "12");
    TextLineNode b("b", "Oetztype", 26.0f, "34");
    EXPECT_EQ(a.font(), nullptr) << "no font before a window";
    a.setWindow(&window);
    b.setWindow(&window);
    ASSERT_NE(a.font(), nullptr);
    EXPECT_EQ(a.font(), b.font());
    EXPECT_EQ(a.font()->pixelSize(), TextLineNode::pixelSizeFor(26.0f, 128));
    EXPECT_EQ(a.registeredWindow(), &window);

    const Font* before = a.font();
    window.dispatchFramebufferSize(1920, 1080);
    EXPECT_EQ(a.font()->pixelSize(), 40);
    EXPECT_EQ(a.font(), b.font());
    EXPECT_TRUE(FontCache::instance().contains("Oetztype", before->pixelSize()))
        << "the old size stays cached";
    EXPECT_EQ(&FontCache::instance().getFont("Oetztype", 40), a.font());

    window.dispatchFramebufferSize(0, 0); // minimised: keep the last font
    EXPECT_EQ(a.font()->pixelSize(), 40);
    EXPECT_EQ(a.getTypeName(), "TextLineNode: 12");
}

TEST_F(TextLines, AFontHoldsTheAsciiGlyphsAndBytesWithoutOneAreEmpty) {
    const Font& font = FontCache::instance().getFont("Oetztype", 20);
    EXPECT_TRUE(font.hasGlyph('A'));
    EXPECT_GT(font.glyph('A').size.x, 0);
    EXPECT_GT(font.glyph('A').advance, 0u);
    EXPECT_FALSE(font.hasGlyph(0xE9));
    const Glyph& none = font.glyph(0xE9);
    EXPECT_EQ(none.size, glm::ivec2(0));
    EXPECT_EQ(none.advance, 0u);

    const glm::ivec2 window(128, 128);
    EXPECT_EQ(font.measure("", window), glm::vec2(0.0f));
    EXPECT_EQ(font.measure("A", window), font.measure("\xC3\xA9"
                                                      "A\xFF",
                                                      window));
    const glm::vec2 a = font.measure("A", window);
    EXPECT_FLOAT_EQ(a.x, static_cast<float>(font.glyph('A').advance / 64) / 128.0f);
    EXPECT_FLOAT_EQ(a.y, static_cast<float>(font.glyph('A').bearing.y) / 128.0f);
    EXPECT_EQ(font.measure("A", {0, 0}), glm::vec2(0.0f));
}

TEST_F(TextLines, ALineIsAlignedOnItsPositionByItsAnchor) {
    // Where the drawn box lies relative to the node's position at (64, 64) pixels.
    const struct {
        std::int32_t anchor;
        float expectLeft, expectRight, expectTop, expectBottom; // in box sizes from the position
    } cases[] = {
        {AnchorCentre, -0.5f, 0.5f, 0.5f, -0.5f},
        {AnchorBottomLeft, 0.0f, 1.0f, 1.0f, 0.0f},
        {AnchorTopRight, -1.0f, 0.0f, 0.0f, -1.0f},
    };
    for (const auto& c : cases) {
        TextLineNode label("label", "Oetztype", 120.0f, "HH");
        label.setAnchor(c.anchor);
        label.setTranslation({0.5f, 0.5f, 0.0f});
        label.setWindow(&window);
        const glm::vec2 box = label.measure({128, 128}) * 128.0f;
        const Bounds drawn = drawnBounds(draw(label));
        ASSERT_FALSE(drawn.empty()) << c.anchor;
        // H has no descender and small side bearings: the ink nearly fills the measured box.
        const float tolerance = 0.15f * box.x + 2.0f;
        EXPECT_NEAR(drawn.left, 64.0f + c.expectLeft * box.x, tolerance) << c.anchor;
        EXPECT_NEAR(drawn.right + 1, 64.0f + c.expectRight * box.x, tolerance) << c.anchor;
        EXPECT_NEAR(drawn.top, 64.0f - c.expectTop * box.y, 2.0f) << c.anchor;
        EXPECT_NEAR(drawn.bottom + 1, 64.0f - c.expectBottom * box.y, 2.0f) << c.anchor;
    }
}

TEST_F(TextLines, EmptyTextUnknownBytesAndLabelsWithoutAWindowDrawNothingAmiss) {
    TextLineNode label("label", "Oetztype", 120.0f, "");
    EXPECT_TRUE(drawnBounds(draw(label)).empty()) << "no window, no font";
    label.setWindow(&window);
    EXPECT_TRUE(drawnBounds(draw(label)).empty()) << "empty text";
    EXPECT_EQ(label.measure({128, 128}), glm::vec2(0.0f));

    label.setText("\xE9\x80\xFF");
    EXPECT_TRUE(drawnBounds(draw(label)).empty()) << "bytes above 127 have no glyphs";
    label.setText("\xE9I");
    label.setColour({1, 0, 0});
    const test::Image image = draw(label);
    const Bounds drawn = drawnBounds(image);
    ASSERT_FALSE(drawn.empty());
    const std::uint8_t* ink = image.pixel((drawn.left + drawn.right) / 2, (drawn.top + drawn.bottom) / 2);
    EXPECT_GT(ink[0], 200);
    EXPECT_LT(ink[1], 30) << "drawn in its colour";
}

TEST_F(TextLines, TheCursorHoversTheMeasuredBoxEdgesIncluded) {
    class Label : public TextLineNode {
    public:
        using TextLineNode::TextLineNode;
        void onHover() override { ++hovers; }
        void onClick(int button, int action) override { clicks.push_back(button * 10 + action); }
        int hovers = 0;
        std::vector<int> clicks;
    };
    test::resize(window, 64, 64); // powers of two keep the edges exact
    Node2D parent("parent");
    auto& label = parent.createChild<Label>("label", "Oetztype", 200.0f, "A");
    label.setTranslation({0.25f, 0.5f, 0.0f}); // bottom-left at (16, 32) pixels
    parent.setWindow(&window);
    const glm::vec2 box = label.measure({64, 64}) * 64.0f;
    ASSERT_GT(box.x, 2.0f);

    const struct {
        double x, y;
        bool hovered;
    } moves[] = {
        {16, 32, true},    {16 + box.x, 32 - box.y, true},         {15.5, 32, false},
        {16, 32.5, false}, {16 + box.x / 2, 32 - box.y / 2, true},
    };
    for (const auto& move : moves) {
        window.dispatchCursorPosition(move.x, move.y);
        EXPECT_EQ(label.hovered(), move.hovered) << move.x << "," << move.y;
    }
    EXPECT_FLOAT_EQ(label.cursorRelative().x, 0.5f);
    EXPECT_FLOAT_EQ(label.cursorRelative().y, 0.5f);
    EXPECT_EQ(label.hovers, 3);
    window.dispatchMouseButton(0, 0, 0);
    EXPECT_EQ(label.clicks, (std::vector<int>{0}));

    parent.setMode(DisplayMode::Hidden);
    window.dispatchCursorPosition(16, 32);
    window.dispatchMouseButton(1, 1, 0);
    EXPECT_FALSE(label.hovered());
    EXPECT_EQ(label.clicks, (std::vector<int>{0}));
}

TEST_F(TextLines, ALineIsDrawnJustAboveItsParent) {
    TextLineNode alone("alone", "Oetztype", 26.0f, "x");
    alone.setTranslation({0.1f, 0.1f, 5.0f});
    EXPECT_FLOAT_EQ(alone.depth(), 1.0f) << "without a parent the depth stays";

    Node2D panel("panel");
    panel.translate(0.0f, 0.0f, 2.0f);
    auto& label = panel.createChild<TextLineNode>("label", "Oetztype", 26.0f, "x");
    EXPECT_FLOAT_EQ(label.depth(), 2.01f);
    panel.translate(0.0f, 0.0f, 1.0f);
    EXPECT_FLOAT_EQ(label.depth(), 3.01f);

    // setAnchor only chooses the alignment: the node's own square stays where it is.
    label.setAnchor(AnchorCentre);
    EXPECT_EQ(label.getAnchorMatrix(), glm::mat4(1.0f));
    EXPECT_EQ(label.anchor(), AnchorCentre);
}

} // namespace
} // namespace hm
