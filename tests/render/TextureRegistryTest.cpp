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
        changed([](auto& p) { p.magFilter = TextureFilter::Nearest; }),
        changed([](auto& p) { p.minFilter = TextureFilter::LinearMipmapLinear; }),
        changed([](auto& p) { p.wrapS = TextureWrap::Repeat; }),
        changed([](auto& p) { p.wrapT = TextureWrap::Repeat; }),
        changed([](auto& p) { p.wrapR = TextureWrap::Repeat; }),
        changed([](auto& p) { p.internalFormat = TextureFormat::RGBA8; }),
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
    nearest.magFilter = TextureFilter::Nearest;
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
    nearest.magFilter = TextureFilter::Nearest;
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

// Model files name sampler settings by OpenGL's enumerant names, or give their numbers.
TEST(TextureParameterNames, MapToTheEngineEnums) {
    const struct {
        const char* name;
        std::int64_t number;
        TextureFilter filter;
    } filters[] = {
        {"GL_NEAREST", 0x2600, TextureFilter::Nearest},
        {"GL_LINEAR", 0x2601, TextureFilter::Linear},
        {"GL_NEAREST_MIPMAP_NEAREST", 0x2700, TextureFilter::NearestMipmapNearest},
        {"GL_LINEAR_MIPMAP_NEAREST", 0x2701, TextureFilter::LinearMipmapNearest},
        {"GL_NEAREST_MIPMAP_LINEAR", 0x2702, TextureFilter::NearestMipmapLinear},
        {"GL_LINEAR_MIPMAP_LINEAR", 0x2703, TextureFilter::LinearMipmapLinear},
    };
    for (const auto& c : filters) {
        EXPECT_EQ(textureParameterFromName<TextureFilter>(c.name), c.filter) << c.name;
        EXPECT_EQ(textureParameterFromNumber<TextureFilter>(c.number), c.filter) << c.name;
    }
    const struct {
        const char* name;
        std::int64_t number;
        TextureWrap wrap;
    } wraps[] = {
        {"GL_REPEAT", 0x2901, TextureWrap::Repeat},
        {"GL_MIRRORED_REPEAT", 0x8370, TextureWrap::MirroredRepeat},
        {"GL_CLAMP_TO_EDGE", 0x812F, TextureWrap::ClampToEdge},
        {"GL_CLAMP_TO_BORDER", 0x812D, TextureWrap::ClampToBorder},
    };
    for (const auto& c : wraps) {
        EXPECT_EQ(textureParameterFromName<TextureWrap>(c.name), c.wrap) << c.name;
        EXPECT_EQ(textureParameterFromNumber<TextureWrap>(c.number), c.wrap) << c.name;
    }
    EXPECT_EQ(textureParameterFromNumber<TextureWrap>(0x8743), TextureWrap::MirrorClampToEdge);
    const struct {
        const char* name;
        std::int64_t number;
        TextureFormat format;
    } formats[] = {
        {"GL_R8", 0x8229, TextureFormat::R8},
        {"GL_RG8", 0x822B, TextureFormat::RG8},
        {"GL_RGB8", 0x8051, TextureFormat::RGB8},
        {"GL_RGBA8", 0x8058, TextureFormat::RGBA8},
    };
    for (const auto& c : formats) {
        EXPECT_EQ(textureParameterFromName<TextureFormat>(c.name), c.format) << c.name;
        EXPECT_EQ(textureParameterFromNumber<TextureFormat>(c.number), c.format) << c.name;
    }
    EXPECT_EQ(textureParameterFromNumber<TextureFormat>(0x8C43), TextureFormat::SRGB8Alpha8);

    // A name of another kind of setting, or of none, is refused; so are compressed formats,
    // which only DDS files bring.
    for (const char* unknown : {"", "gl_linear", "GL_LINEAR ", "GL_RGBA", "GL_CLAMP", "GL_REPEAT"})
        EXPECT_FALSE(textureParameterFromName<TextureFilter>(unknown)) << unknown;
    EXPECT_FALSE(textureParameterFromName<TextureWrap>("GL_LINEAR"));
    EXPECT_FALSE(textureParameterFromName<TextureFormat>("GL_NEAREST"));
    EXPECT_FALSE(textureParameterFromNumber<TextureFilter>(0x2901));
    EXPECT_FALSE(textureParameterFromNumber<TextureFormat>(0x83F1)); // DXT1
    EXPECT_FALSE(textureParameterFromNumber<TextureFormat>(0));
}

} // namespace
} // namespace hm
