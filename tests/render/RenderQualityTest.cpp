#include "render/RenderQuality.h"

#include <gtest/gtest.h>

namespace hm {
namespace {

// Software rasterisers draw the full look at a few frames per second: they start at low.
TEST(RenderQuality, ChoiceFromTheRendererString) {
    const struct {
        const char* renderer;
        RenderQuality expected;
    } cases[] = {
        {"llvmpipe (LLVM 15.0.6, 256 bits)", RenderQuality::Low},
        {"softpipe", RenderQuality::Low},
        {"Software Rasterizer (swrast)", RenderQuality::Low},
        {"LLVMPIPE", RenderQuality::Low},
        {"NVIDIA GeForce RTX 3060/PCIe/SSE2", RenderQuality::High},
        // Mesa's hardware drivers name their shader compiler; that is no software rasteriser.
        {"AMD Radeon RX 6600 (navi23, LLVM 15.0.6, DRM 3.49, 6.1.0-13-amd64)", RenderQuality::High},
        {"Mesa Intel(R) UHD Graphics 620 (KBL GT2)", RenderQuality::High},
        {"", RenderQuality::High},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.renderer);
        const QualityChoice choice = chooseQuality(c.renderer);
        EXPECT_EQ(choice.quality, c.expected);
        if (*c.renderer) {
            EXPECT_NE(choice.reason.find(c.renderer), std::string::npos) << choice.reason;
        } else {
            EXPECT_EQ(choice.reason, "the OpenGL renderer is unknown");
        }
    }
}

} // namespace
} // namespace hm
