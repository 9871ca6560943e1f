#include "render/TextureRegistry.h"

#include "app/Window.h"
#include "render/Solid2DTexture.h"
#include "render/TextureFile.h"
#include "render/TextureTestSupport.h"
#include "support//LogCapture.h"
#include "support/GLTestWindow.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <glm/gtc/type_ptr.hpp>

namespace hm {
namespace {

class TextureTest : public testing::Test {
protected:
    void SetUp() override {
        window = test::openWindow("t", 64, 64);
        data = std::make_unique<test::TextureDataFolder>();
    }
    void TearDown() override {
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        data.reset();
    }
    std::filesystem::path textures() const { return data->textures(); }

    std::unique_ptr<Window> window;
    std::unique_ptr<test::TextureDataFolder> data;
};

// Tightly packed rows of odd widths also catch uploads that assume 4-byte row alignment.
TEST_F(TextureTest, ImageFilesKeepChannelsAndRowOrder) {
    struct Case {
        int channels;
        GLenum format;
        GLenum glInternalFormat;
        TextureFormat internalFormat;
    };
    const Case cases[] = {{1, GL_RED, GL_R8, TextureFormat::R8},
                          {2, GL_RG, GL_RG8, TextureFormat::RG8},
                          {3, GL_RGB, GL_RGB8, TextureFormat::RGB8},
                          {4, GL_RGBA, GL_RGBA8, TextureFormat::RGBA8}};
    for (const Case& c : cases) {
        const int width = 3, height = 2;
        std::vector<std::uint8_t> pixels(std::size_t(width * height * c.channels));
        for (std::size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = static_cast<std::uint8_t>(10 + 20 * i);
        const std::string name = "channels/c" + std::to_string(c.channels) + ".png";
        ASSERT_TRUE(test::writePng(textures() / name, width, height, c.channels, pixels));

        auto texture = loadTexture(name, TextureFormat::Auto, TextureFilter::Nearest, TextureFilter::Nearest,
                                   TextureWrap::Unset, TextureWrap::Unset);
        ASSERT_TRUE(texture) << name;
        EXPECT_NE(texture->id(), 0u);
        EXPECT_EQ(texture->name(), name);
        EXPECT_EQ(texture->file()->channels(), c.channels) << name;
        EXPECT_EQ(texture->file()->format(), c.internalFormat) << name;
        EXPECT_EQ(texture->internalFormat(), c.internalFormat) << name;
        EXPECT_EQ(texture->width(), width);
        EXPECT_EQ(texture->height(), height);
        EXPECT_FLOAT_EQ(texture->aspectRatio(), 1.5f);
        texture->bind();
        EXPECT_EQ(test::textureLevelParameter(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT),
                  static_cast<GLint>(c.glInternalFormat));
        EXPECT_EQ(test::readTexture(GL_TEXTURE_2D, c.format, width, height, c.channels), pixels) << name;
    }
}

TEST_F(TextureTest, CompressedDdsFilesAreUploadedAsTheyAre) {
    std::filesystem::copy_file(data->fixture("red_over_blue_dxt5.dds"), textures() / "red_over_blue.dds");
    test::writeBytes(textures() / "odd.dds", test::ddsBytes(5, 3, "DXT1", 16));

    auto texture = loadTexture("red_over_blue.dds", TextureFormat::Auto, TextureFilter::Nearest,
                               TextureFilter::Nearest, TextureWrap::Unset, TextureWrap::Unset);
    ASSERT_TRUE(texture);
    EXPECT_EQ(texture->internalFormat(), TextureFormat::Dxt5);
    EXPECT_EQ(texture->width(), 12);
    EXPECT_EQ(texture->height(), 8);
    texture->bind();
    EXPECT_EQ(test::textureLevelParameter(GL_TEXTURE_2D, 0, GL_TEXTURE_COMPRESSED_IMAGE_SIZE), 96);
    // The first rows of the file are red, the last ones blue.
    const auto pixels = test::readTexture(GL_TEXTURE_2D, GL_RGBA, 12, 8, 4);
    EXPECT_EQ(std::vector<std::uint8_t>(pixels.begin(), pixels.begin() + 4),
              (std::vector<std::uint8_t>{255, 0, 0, 255}));
    EXPECT_EQ(std::vector<std::uint8_t>(pixels.end() - 4, pixels.end()),
              (std::vector<std::uint8_t>{0, 0, 255, 255}));

    auto odd = loadTexture("odd.dds", TextureFormat::RGBA8, TextureFilter::Nearest, TextureFilter::Nearest,
                           TextureWrap::Unset, TextureWrap::Unset);
    ASSERT_TRUE(odd);
    odd->bind();
    EXPECT_EQ(odd->internalFormat(), TextureFormat::Dxt1);
    EXPECT_EQ(test::textureLevelParameter(GL_TEXTURE_2D, 0, GL_TEXTURE_COMPRESSED_IMAGE_SIZE), 16);
}

TEST_F(TextureTest, BrokenFilesGiveNoTexture) {
    test::writeBytes(textures() / "broken" / "truncated.dds", test::ddsBytes(8, 8, "DXT5", 20));
    test::writeBytes(textures() / "broken" / "dxt2.dds", test::ddsBytes(4, 4, "DXT2", 16));
    test::writeBytes(textures() / "broken" / "garbage.png", {1, 2, 3, 4, 5, 6, 7, 8});
    struct Case {
        std::string name;
        std::vector<std::string> lines;
    };
    const std::string loadFailure = ". Check earlier log entries for further details.";
    const Case cases[] = {
        {"broken/truncated.dds",
         {"Error loading dds-file: GAME_DATA/textures/broken/truncated.dds",
          "It seems that an error occured when loading the texture for location broken/truncated.dds" +
              loadFailure}},
        {"broken/dxt2.dds",
         {"DDS-File is of a wrong format! Only DXT1, DXT3 and DXT5 files are supported.",
          "Error loading dds-file: GAME_DATA/textures/broken/dxt2.dds"}},
        {"broken/garbage.png", {"STB-Error loading file: GAME_DATA/textures/broken/garbage.png"}},
        {"broken/none.png",
         {"I couldn't find an asset file for the given location broken/none.png.",
          "The given filename broken/none.png seems to be invalid for a texture file. See earlier log "
          "entries for "
          "further details."}},
    };
    for (const Case& c : cases) {
        test::LogCapture log;
        EXPECT_FALSE(loadTexture(c.name, TextureFormat::Auto, TextureFilter::Linear, TextureFilter::Linear,
                                 TextureWrap::Unset, TextureWrap::Unset))
            << c.name;
        for (const auto& line : c.lines)
            EXPECT_TRUE(log.contains(line)) << c.name << ": " << line;
    }
}

TEST_F(TextureTest, MipmapFiltersBuildTheMipmapChain) {
    ASSERT_TRUE(test::writeSolidPng(textures() / "mip.png", 4, 4, {9, 9, 9}));
    for (const auto& [minFilter, level1Width] :
         {std::pair{TextureFilter::LinearMipmapLinear, 2}, std::pair{TextureFilter::Linear, 0}}) {
        auto texture = loadTexture("mip.png", TextureFormat::Auto, TextureFilter::Linear, minFilter,
                                   TextureWrap::Unset, TextureWrap::Unset);
        ASSERT_TRUE(texture);
        texture->bind();
        EXPECT_EQ(test::textureLevelParameter(GL_TEXTURE_2D, 1, GL_TEXTURE_WIDTH), level1Width)
            << static_cast<int>(minFilter);
    }
}

TEST_F(TextureTest, CompressedFilesBringTheirOwnMipLevelsOrNone) {
    // 8x8 DXT1: 32 bytes for the top level, 8 for the 4x4 one.
    test::writeBytes(textures() / "one_level.dds", test::ddsBytes(8, 8, "DXT1", 32));
    test::writeBytes(textures() / "two_levels.dds", test::withMipLevels(test::ddsBytes(8, 8, "DXT1", 40), 2));
    struct Case {
        const char* file;
        GLint maxLevel;
    };
    for (const Case& c : {Case{"one_level.dds", 0}, Case{"two_levels.dds", 1}}) {
        SCOPED_TRACE(c.file);
        auto texture = loadTexture(c.file, TextureFormat::Auto, TextureFilter::Linear,
                                   TextureFilter::LinearMipmapLinear, TextureWrap::Unset, TextureWrap::Unset);
        ASSERT_TRUE(texture);
        texture->bind();
        GLint maxLevel = -1;
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, &maxLevel);
        EXPECT_EQ(maxLevel, c.maxLevel);
        // Nothing was generated below the file's own levels.
        EXPECT_EQ(test::textureLevelParameter(GL_TEXTURE_2D, c.maxLevel + 1, GL_TEXTURE_WIDTH), 0);
        if (c.maxLevel == 1) {
            ASSERT_EQ(test::textureLevelParameter(GL_TEXTURE_2D, 1, GL_TEXTURE_COMPRESSED_IMAGE_SIZE), 8);
            std::vector<std::uint8_t> level1(8);
            glGetCompressedTexImage(GL_TEXTURE_2D, 1, level1.data());
            EXPECT_EQ(level1, (std::vector<std::uint8_t>{32, 33, 34, 35, 36, 37, 38, 39}));
        }
    }
}

TEST_F(TextureTest, WrapModesAreSetOnlyWhenGivenAndTheBorderOnlyForClampToBorder) {
    const glm::vec4 border(0.25f, 0.5f, 0.75f, 1.0f);
    struct Case {
        TextureWrap wrapS, wrapT;
        GLint expectedS, expectedT;
        glm::vec4 expectedBorder;
    };
    const Case cases[] = {
        {TextureWrap::Unset, TextureWrap::Unset, GL_REPEAT, GL_REPEAT, glm::vec4(0.0f)},
        {TextureWrap::ClampToBorder, TextureWrap::Unset, GL_CLAMP_TO_BORDER, GL_REPEAT, border},
        {TextureWrap::Unset, TextureWrap::ClampToBorder, GL_REPEAT, GL_CLAMP_TO_BORDER, border},
        {TextureWrap::ClampToEdge, TextureWrap::MirroredRepeat, GL_CLAMP_TO_EDGE, GL_MIRRORED_REPEAT,
         glm::vec4(0.0f)},
    };
    for (const Case& c : cases) {
        TextureParameters parameters = Solid2DTexture::defaultParameters();
        parameters.wrapS = c.wrapS;
        parameters.wrapT = c.wrapT;
        parameters.borderColour = border;
        Solid2DTexture texture("wrap", glm::vec4(1.0f), parameters);
        ASSERT_TRUE(texture.load());
        texture.bind();
        GLint s = 0, t = 0, r = 0;
        glm::vec4 actualBorder(-1.0f);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &s);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &t);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_R, &r);
        glGetTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_BORDER_COLOR, glm::value_ptr(actualBorder));
        EXPECT_EQ(s, c.expectedS);
        EXPECT_EQ(t, c.expectedT);
        EXPECT_EQ(r, GL_REPEAT);
        EXPECT_EQ(actualBorder, c.expectedBorder) << c.expectedS << " " << c.expectedT;
    }
}

TEST_F(TextureTest, SolidTexturesHoldOneClampedPixel) {
    struct Case {
        glm::vec4 colour;
        TextureFormat internalFormat;
        TextureFormat expectedFormat;
        std::vector<std::uint8_t> pixel;
    };
    const Case cases[] = {
        {{1.0f, 0.5f, 0.25f, 0.0f}, TextureFormat::Auto, TextureFormat::RGB8, {255, 127, 63, 255}},
        {{2.0f, -1.0f, 0.5f, 0.5f}, TextureFormat::RGBA8, TextureFormat::RGBA8, {255, 0, 127, 127}},
    };
    for (const Case& c : cases) {
        Solid2DTexture texture("solid", c.colour, Solid2DTexture::defaultParameters(c.internalFormat));
        ASSERT_TRUE(texture.load());
        EXPECT_EQ(texture.internalFormat(), c.expectedFormat);
        EXPECT_EQ(texture.width(), 1);
        EXPECT_EQ(texture.height(), 1);
        texture.bind();
        EXPECT_EQ(test::readTexture(GL_TEXTURE_2D, GL_RGBA, 1, 1, 4), c.pixel);
    }
}

TEST_F(TextureTest, UnloadedOrReleasedTexturesAreNotBound) {
    Solid2DTexture texture("grey", glm::vec4(0.5f));
    EXPECT_FLOAT_EQ(texture.aspectRatio(), 1.0f);
    {
        test::LogCapture log;
        texture.bind();
        EXPECT_EQ(log.messages(spdlog::level::err),
                  std::vector<std::string>{"Attempt to bind uninitialised texture grey"});
    }
    ASSERT_TRUE(texture.load());
    const GLuint id = texture.id();
    texture.bind();
    EXPECT_TRUE(glIsTexture(id));
    texture.release();
    EXPECT_EQ(texture.id(), 0u);
    EXPECT_FALSE(glIsTexture(id));
    glBindTexture(GL_TEXTURE_2D, 0);
    test::LogCapture log;
    texture.bind();
    EXPECT_TRUE(log.contains("Attempt to bind uninitialised texture grey"));
    GLint bound = -1;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, 0);
}

TEST_F(TextureTest, FactoryReturnsTheLiveEqualTexture) {
    ASSERT_TRUE(test::writeSolidPng(textures() / "shared" / "wall.png", 2, 2, {1, 2, 3}));
    const auto& registry = TextureRegistry::instance();

    // Internal format 0 is resolved at upload; the request still matches the next one.
    auto first = loadTexture("wall.png", TextureFormat::Auto, TextureFilter::Linear, TextureFilter::Linear,
                             TextureWrap::Repeat, TextureWrap::Unset);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->name(), "shared/wall.png");
    auto again = loadTexture("shared\\wall.png", TextureFormat::Auto, TextureFilter::Linear,
                             TextureFilter::Linear, TextureWrap::Repeat, TextureWrap::Unset);
    EXPECT_EQ(again, first);
    EXPECT_EQ(registry.entryCount("shared/wall.png"), 1u);

    auto nearest = loadTexture("wall.png", TextureFormat::Auto, TextureFilter::Nearest, TextureFilter::Linear,
                               TextureWrap::Repeat, TextureWrap::Unset);
    ASSERT_TRUE(nearest);
    EXPECT_NE(nearest, first);
    EXPECT_NE(nearest->id(), first->id());
    EXPECT_EQ(nearest->file(), first->file()); // the decoded image is shared
    EXPECT_EQ(registry.entryCount("shared/wall.png"), 2u);

    // Once every user has let go, the next request loads a fresh texture.
    first.reset();
    again.reset();
    auto reloaded = loadTexture("wall.png", TextureFormat::Auto, TextureFilter::Linear, TextureFilter::Linear,
                                TextureWrap::Repeat, TextureWrap::Unset);
    ASSERT_TRUE(reloaded);
    EXPECT_NE(reloaded->id(), 0u);
    EXPECT_EQ(registry.entryCount("shared/wall.png"), 2u);
}

} // namespace
} // namespace hm
