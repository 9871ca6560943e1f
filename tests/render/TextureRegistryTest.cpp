// Registry bookkeeping and texture identity; no texture here is loaded, so no GL is needed.
#include "render/TextureRegistry.h"

#include "render/Solid2DTexture.h"

#include <gtest/gtest.h>

namespace hm {
namespace {

std::shared_ptr<Texture> solid(const std::string& name, TextureParameters parameters = {}) {
    return std::make_shared<Solid2DTexture>(name, glm::vec4(1.0f), parameters);
}

TEST(TextureIdentity, EveryRequestedParameterCounts) {
    const TextureParameters base;
    auto changed = [&](auto change) {
        TextureParameters p = base;
        change(p);
        return p;
    };
    const std::vector<TextureParameters> variants = {
        changed([](auto& p) { p.magFilter = GL_NEAREST; }),
        changed([](auto& p) { p.minFilter = GL_LINEAR_MIPMAP_LINEAR; }),
        changed([](auto& p) { p.wrapS = GL_REPEAT; }),
        changed([](auto& p) { p.wrapT = GL_REPEAT; }),
        changed([](auto& p) { p.wrapR = GL_REPEAT; }),
        changed([](auto& p) { p.internalFormat = GL_RGBA8; }),
        changed([](auto& p) { p.borderColour.r = 0.5f; }),
        changed([](auto& p) { p.borderColour.a = 1.0f; }),
    };
    const auto reference = solid("a.png", base);
    EXPECT_TRUE(reference->equals(*solid("a.png", base)));
    EXPECT_FALSE(reference->equals(*solid("b.png", base)));
    for (std::size_t i = 0; i < variants.size(); ++i)
        EXPECT_FALSE(reference->equals(*solid("a.png", variants[i]))) << "variant " << i;
    // Same name and parameters but another kind.
    EXPECT_FALSE(reference->equals(File2DTexture("a.png", base)));
}

TEST(TextureRegistry, FindsTheNewestLiveEqualTexture) {
    TextureRegistry registry;
    TextureParameters nearest;
    nearest.magFilter = GL_NEAREST;
    auto first = solid("t.png");
    auto other = solid("t.png", nearest);
    registry.add(first);
    registry.add(other);
    EXPECT_EQ(registry.find(*solid("t.png")).texture, first);
    EXPECT_EQ(registry.find(*solid("t.png")).index, 0u);
    EXPECT_EQ(registry.find(*solid("t.png", nearest)).texture, other);
    EXPECT_EQ(registry.find(*solid("t.png", nearest)).index, 1u);
    EXPECT_FALSE(registry.find(*solid("u.png")).texture);

    // Registering the same texture again changes nothing; an equal one is kept out by default.
    registry.add(first);
    auto duplicate = solid("t.png");
    registry.add(duplicate, TextureRegistry::Mode::KeepExisting);
    EXPECT_EQ(registry.entryCount("t.png"), 2u);
    EXPECT_EQ(registry.find(*duplicate).texture, first);
    registry.add(duplicate, TextureRegistry::Mode::Replace);
    EXPECT_EQ(registry.entryCount("t.png"), 2u);
    EXPECT_EQ(registry.find(*first).texture, duplicate);
}

TEST(TextureRegistry, DropsTexturesThatNoLongerExist) {
    TextureRegistry registry;
    auto kept = solid("t.png");
    TextureParameters nearest;
    nearest.magFilter = GL_NEAREST;
    {
        auto gone = solid("t.png", nearest);
        registry.add(kept);
        registry.add(gone);
    }
    EXPECT_EQ(registry.entryCount("t.png"), 2u);
    // The walk from the back meets the expired entry first and removes it.
    EXPECT_EQ(registry.find(*kept).texture, kept);
    EXPECT_EQ(registry.entryCount("t.png"), 1u);
    EXPECT_FALSE(registry.find(*solid("t.png", nearest)).texture);
    auto again = solid("t.png", nearest);
    registry.add(again);
    EXPECT_EQ(registry.find(*solid("t.png", nearest)).texture, again);
}

TEST(TextureRegistry, UnknownModeThrows) {
    TextureRegistry registry;
    EXPECT_THROW(registry.add(solid("t.png"), static_cast<TextureRegistry::Mode>(2)), std::logic_error);
    EXPECT_EQ(registry.entryCount("t.png"), 0u);
}

TEST(TextureParameterNames, MapToTheirGLValues) {
    const std::pair<const char*, GLenum> cases[] = {
        {"GL_LINEAR", 0x2601},
        {"GL_NEAREST", 0x2600},
        {"GL_LINEAR_MIPMAP_LINEAR", 0x2703},
        {"GL_LINEAR_MIPMAP_NEAREST", 0x2701},
        {"GL_NEAREST_MIPMAP_LINEAR", 0x2702},
        {"GL_NEAREST_MIPMAP_NEAREST", 0x2700},
        {"GL_REPEAT", 0x2901},
        {"GL_MIRRORED_REPEAT", 0x8370},
        {"GL_CLAMP_TO_EDGE", 0x812F},
        {"GL_CLAMP_TO_BORDER", 0x812D},
        {"GL_R8", 0x8229},
        {"GL_RG8", 0x822B},
        {"GL_RGB8", 0x8051},
        {"GL_RGBA8", 0x8058},
    };
    for (const auto& [name, value] : cases)
        EXPECT_EQ(textureParameterFromName(name), value) << name;
    for (const char* unknown : {"", "gl_linear", "GL_LINEAR ", "GL_RGBA", "GL_CLAMP"})
        EXPECT_FALSE(textureParameterFromName(unknown)) << unknown;
}

} // namespace
} // namespace hm
