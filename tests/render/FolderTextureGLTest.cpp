// Textures built from folders: cube maps and frame-sequence videos.
#include "render/TextureRegistry.h"

#include "app/UpdateableObject.h"
#include "app/Window.h"
#include "render/TextureFile.h"
#include "render/TextureTestSupport.h"
#include "support//LogCapture.h"
#include "support/GLTestWindow.h"

#include <gtest/gtest.h>

namespace hm {
namespace {

using Pixels = std::vector<std::uint8_t>;

class FolderTextureTest : public testing::Test {
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

    // Six 2x2 faces; face i is filled with the grey value 10 * (i + 1).
    void writeCube(const std::string& folder, const std::vector<std::string>& faces) {
        for (std::size_t i = 0; i < faces.size(); ++i) {
            const auto grey = static_cast<std::uint8_t>(10 * (i + 1));
            ASSERT_TRUE(test::writeSolidPng(textures() / folder / faces[i], 2, 2, {grey, grey, grey}));
        }
    }

    Pixels videoPixels(const Video2DTexture& video) {
        glBindTexture(GL_TEXTURE_2D, video.id());
        return test::readTexture(GL_TEXTURE_2D, GL_RGBA, video.width(), video.height(), 4);
    }

    std::unique_ptr<Window> window;
    std::unique_ptr<test::TextureDataFolder> data;
};

const std::vector<std::string> kFaces = {"posx.png", "negx.png", "posy.png",
                                         "negy.png", "posz.png", "negz.png"};

TEST_F(FolderTextureTest, CubeMapTakesOneFilePerFace) {
    writeCube("sky", kFaces);
    ASSERT_TRUE(test::writeSolidPng(textures() / "sky" / "posx_old.png", 2, 2, {200, 200, 200}));
    test::writeBytes(textures() / "sky" / "readme.txt", {'h', 'i'});

    auto cube = loadCubeMap("sky");
    ASSERT_TRUE(cube);
    EXPECT_NE(cube->id(), 0u);
    EXPECT_EQ(cube->target(), TextureTarget::CubeMap);
    EXPECT_EQ(cube->width(), 2);
    EXPECT_EQ(cube->internalFormat(), TextureFormat::RGB8);

    // Face 0 comes from whichever posx file the listing yields first.
    std::uint8_t posxGrey = 0;
    for (const auto& entry : std::filesystem::directory_iterator(textures() / "sky")) {
        const auto file = entry.path().filename().string();
        if (file.rfind("posx", 0) == 0) {
            posxGrey = file == "posx.png" ? 10 : 200;
            break;
        }
    }
    cube->bind();
    EXPECT_EQ(test::readTexture(GL_TEXTURE_CUBE_MAP_POSITIVE_X, GL_RED, 2, 2, 1), Pixels(4, posxGrey));
    for (GLenum face = 1; face < 6; ++face)
        EXPECT_EQ(test::readTexture(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face, GL_RED, 2, 2, 1),
                  Pixels(4, static_cast<std::uint8_t>(10 * (face + 1))));
    EXPECT_EQ(loadCubeMap("sky/"), cube);
}

TEST_F(FolderTextureTest, CubeMapWithAMissingOrBrokenFaceFails) {
    writeCube("five", {kFaces.begin(), kFaces.end() - 1});
    {
        test::LogCapture log;
        CubeMapTexture direct("five");
        EXPECT_FALSE(direct.load());
        EXPECT_EQ(direct.id(), 0u);
        EXPECT_FALSE(log.contains("Failed to generate OpenGL-Texture for Texture 'five'..."));
        EXPECT_EQ(
            log.messages(spdlog::level::err),
            std::vector<std::string>{
                "Fetching the 6 cubemap images failed. Are they correctly named inside the folder five?"});
        const auto warnings = log.messages(spdlog::level::warn);
        ASSERT_EQ(warnings.size(), 1u);
        EXPECT_EQ(warnings[0].rfind("The cube map five has no negz image in ", 0), 0u) << warnings[0];
        EXPECT_FALSE(loadCubeMap("five"));
        EXPECT_TRUE(
            log.contains("Couldn't load cubemap texture. Check earlier log entries for further details."));
    }

    writeCube("damaged", kFaces);
    test::writeBytes(textures() / "damaged" / "posz.png", {0x89, 'P', 'N', 'G'});
    {
        test::LogCapture log;
        CubeMapTexture direct("damaged");
        EXPECT_FALSE(direct.load());
        EXPECT_EQ(direct.id(), 0u);
        EXPECT_TRUE(log.contains("Failed to load fileObject with name: damaged/posz.png"));
    }

    test::LogCapture log;
    EXPECT_FALSE(loadCubeMap("nowhere"));
    EXPECT_TRUE(log.contains("It seems that the directory nowhere doesn't exist."));
    CubeMapTexture notAFolder("five/posx.png");
    EXPECT_FALSE(notAFolder.load());
    EXPECT_TRUE(log.contains("CubeMapTextures-Name is not a valid directory: five/posx.png"));
}

TEST_F(FolderTextureTest, VideoNeedsTwoFramesThatLoad) {
    ASSERT_TRUE(test::writeSolidPng(textures() / "single" / "0.png", 2, 2, {1, 2, 3, 4}));
    ASSERT_TRUE(test::writeSolidPng(textures() / "single" / "1.jpg.txt", 2, 2, {1, 2, 3, 4}));
    test::writeBytes(textures() / "wrecked" / "0.png", {1, 2, 3});
    test::writeBytes(textures() / "wrecked" / "1.png", {1, 2, 3});
    ASSERT_TRUE(test::writeSolidPng(textures() / "wrecked" / "2.png", 2, 2, {1, 2, 3, 4}));
    struct Case {
        std::string folder;
        std::string line;
    };
    const Case cases[] = {
        {"single", "Only 1 files found for the video single. At least 2 frames are required."},
        {"wrecked",
         "Only 1 files could be loaded for the video wrecked. At least 2 working frames are required."},
    };
    for (const Case& c : cases) {
        test::LogCapture log;
        EXPECT_FALSE(loadVideoTexture(c.folder)) << c.folder;
        EXPECT_TRUE(log.contains(c.line)) << c.folder;
        EXPECT_TRUE(
            log.contains("Couldn't load video texture. Check earlier log entries for further details."));
    }
    test::LogCapture log;
    Video2DTexture notAFolder("single/0.png");
    EXPECT_FALSE(notAFolder.load());
    EXPECT_TRUE(log.contains("Video2DTexture-Name is not a valid directory single/0.png."));
}

TEST_F(FolderTextureTest, AGapInTheFrameNumbersIsReported) {
    // Numbers sort by value (9 before 10), so only the missing frame 11 is reported.
    for (const char* frame : {"f_9.png", "f_10.png", "f_12.png"})
        ASSERT_TRUE(test::writeSolidPng(textures() / "gap" / frame, 2, 2, {1, 2, 3, 4}));
    test::LogCapture log;
    auto video = loadVideoTexture("gap");
    ASSERT_TRUE(video);
    EXPECT_EQ(video->frameCount(), 3u);
    EXPECT_EQ(
        log.messages(spdlog::level::warn),
        std::vector<std::string>{"The video gap has no frame between 10 and 12: 1 frame file(s) missing."});
}

TEST_F(FolderTextureTest, VideoSkipsBrokenFramesAndLoops) {
    const Pixels red{255, 0, 0, 255}, green{0, 255, 0, 255};
    ASSERT_TRUE(test::writeSolidPng(textures() / "clip" / "frame0.png", 2, 2, red));
    test::writeBytes(textures() / "clip" / "frame1.png", {0x89, 'P', 'N', 'G', 1, 2});
    ASSERT_TRUE(test::writeSolidPng(textures() / "clip" / "frame2.png", 2, 2, green));
    test::writeBytes(textures() / "clip" / "notes.txt", {'x'});

    test::LogCapture log;
    std::shared_ptr<Video2DTexture> video = loadVideoTexture("clip");
    ASSERT_TRUE(video);
    EXPECT_TRUE(
        log.contains("Error while loading file clip/frame1.png for animated texture. See log for more "
                     "details."));
    ASSERT_EQ(video->frameCount(), 2u);
    EXPECT_EQ(video->frames()[0]->name(), "clip/frame0.png");
    EXPECT_EQ(video->frames()[1]->name(), "clip/frame2.png");
    EXPECT_EQ(video->internalFormat(), TextureFormat::RGBA8);
    EXPECT_EQ(video->currentFrame(), -1);

    // The scene holds its updateables weakly; the owner keeps the texture alive.
    std::weak_ptr<UpdateableObject> updateable = video;
    const float frame = video->frameDuration();
    EXPECT_FLOAT_EQ(frame, 1.0f / 24.0f);
    struct Step {
        float seconds;
        int shownFrame; // frame on the texture after this update
        float elapsed;  // clock after this update
    };
    // The clock restarts once it passes 2 frames (1/12 s).
    const Step steps[] = {
        {0.05f, 0, 0.05f}, {0.05f, 1, 0.0f}, {0.03f, 0, 0.03f}, {0.0f, 1, 0.03f}, {0.06f, 1, 0.0f},
    };
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        updateable.lock()->update(steps[i].seconds);
        EXPECT_EQ(video->currentFrame(), steps[i].shownFrame) << "step " << i;
        EXPECT_FLOAT_EQ(video->elapsed(), steps[i].elapsed) << "step " << i;
        const Pixels expected = steps[i].shownFrame == 0 ? red : green;
        Pixels all;
        for (int p = 0; p < 4; ++p)
            all.insert(all.end(), expected.begin(), expected.end());
        EXPECT_EQ(videoPixels(*video), all) << "step " << i;
    }
    // Updates leave no texture bound.
    glBindTexture(GL_TEXTURE_2D, 0);
    video->update(0.0f);
    GLint bound = -1;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, 0);
}

TEST_F(FolderTextureTest, VideoFramesOfAnotherSizeAreCropped) {
    // Frame 0 is 2x2; frame 1 is 4x2 with a distinct value per pixel.
    ASSERT_TRUE(test::writeSolidPng(textures() / "sizes" / "a.png", 2, 2, {0, 0, 0}));
    Pixels wide;
    for (std::uint8_t i = 0; i < 8; ++i)
        wide.insert(wide.end(), {std::uint8_t(i * 10), std::uint8_t(i * 10 + 1), std::uint8_t(i * 10 + 2)});
    ASSERT_TRUE(test::writePng(textures() / "sizes" / "b.png", 4, 2, 3, wide));

    auto video = loadVideoTexture("sizes");
    ASSERT_TRUE(video);
    EXPECT_EQ(video->width(), 2);
    video->update(video->frameDuration());
    video->update(0.0f);
    ASSERT_EQ(video->currentFrame(), 1);
    glBindTexture(GL_TEXTURE_2D, video->id());
    // The top-left 2x2 of frame 1: pixels 0, 1 of its first row and 4, 5 of its second.
    EXPECT_EQ(test::readTexture(GL_TEXTURE_2D, GL_RGB, 2, 2, 3),
              (Pixels{0, 1, 2, 10, 11, 12, 40, 41, 42, 50, 51, 52}));
}

TEST_F(FolderTextureTest, VideoIgnoresUpdatesUntilLoadedAndBadFrameDurations) {
    Video2DTexture video("nothing");
    video.update(1.0f);
    EXPECT_EQ(video.currentFrame(), -1);
    EXPECT_EQ(video.elapsed(), 0.0f);
    test::LogCapture log;
    for (float bad :
         {0.0f, -1.0f, std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN()})
        video.setFrameDuration(bad);
    EXPECT_EQ(log.messages(spdlog::level::err).size(), 4u);
    EXPECT_FLOAT_EQ(video.frameDuration(), Video2DTexture::kDefaultFrameDuration);
    video.setFrameDuration(0.5f);
    EXPECT_FLOAT_EQ(video.frameDuration(), 0.5f);
}

} // namespace
} // namespace hm
