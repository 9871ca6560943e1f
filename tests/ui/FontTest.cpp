// Font sizes and font failures that need no OpenGL context.
#include "ui/Font.h"
#include "ui/TextLineNode.h"

#include "app/Log.h"

#include <gtest/gtest.h>
#include <spdlog/sinks/stdout_sinks.h>

#include <limits>

namespace hm {
namespace {

TEST(TextLineNode, FontSizesAreGivenForA700PixelWindowAndRoundedDown) {
    const struct {
        float fontSize;
        int windowHeight;
        int pixels;
    } cases[] = {{26.0f, 700, 26}, {26.0f, 1080, 40}, {18.0f, 700, 18}, {18.0f, 600, 15}, {26.0f, 64, 2}};
    for (const auto& c : cases)
        EXPECT_EQ(TextLineNode::pixelSizeFor(c.fontSize, c.windowHeight), c.pixels)
            << c.fontSize << " at " << c.windowHeight;
    EXPECT_EQ(FontCache::keyOf("Oetztype", 26), "Oetztype_26");
}

TEST(TextLineNode, BadFontSizesFallBackToTheDefault) {
    for (float bad : {0.0f, -3.0f, std::numeric_limits<float>::quiet_NaN()}) {
        TextLineNode label("label", "Oetztype", bad, "x");
        EXPECT_FLOAT_EQ(label.fontSizeFactor(), TextLineNode::kDefaultFontSize / 700.0f);
    }
}

TEST(FontDeathTest, AMissingFontFileEndsTheProgramAfterAnErrorLine) {
    EXPECT_EXIT(
        {
            // The console sink writes to stdout; death tests match what reaches stderr.
            spdlog::default_logger()->sinks().push_back(std::make_shared<spdlog::sinks::stderr_sink_mt>());
            Font("NoSuchFont", 12);
        },
        testing::ExitedWithCode(1), "Failed to load font: \"./GAME_DATA/fonts/NoSuchFont.ttf\"");
}

} // namespace
} // namespace hm
