// The sound engine on OpenAL's null output (ALSOFT_DRIVERS=null, set by the test runner): the
// stash, playback bookkeeping and the listener. What reaches the speakers is checked in
// SoundCaptureTest.cpp.
#include "audio/SoundEngine.h"

#include "audio/AudioTestFiles.h"
#include "render/CameraNode.h"
#include "scene/EmptyNode.h"
#include "scene/Scene.h"
#include "scene/SceneTestNodes.h"
#include "support/LogCapture.h"

#include <glm/gtc/matrix_transform.hpp>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace hm {
namespace {

using test::TempFolder;

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.rfind(prefix, 0) == 0;
}

std::size_t countStartingWith(const std::vector<std::string>& lines, const std::string& prefix) {
    return static_cast<std::size_t>(std::count_if(
        lines.begin(), lines.end(), [&](const std::string& l) { return startsWith(l, prefix); }));
}

TEST(SoundEngine, AFileIsNamedByThePartBeforeItsFirstUnderscore) {
    const struct {
        const char* file;
        const char* name;
    } cases[] = {
        {"shoot_02.wav", "shoot"},
        {"cannon_fire_1.wav", "cannon"},
        {"TowerArrowCharge_01.wav", "TowerArrowCharge"},
        {"click.ogg", "click.ogg"},
        {"construction.wav", "construction.wav"},
        {"_1.wav", ""},
        {"Bogenschütze_2.ogg", "Bogenschütze"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(soundNameOf(c.file), c.name) << c.file;
}

TEST(SoundEngine, LoadsEveryWavAndOggFileBelowTheFolderAndSkipsBadOnesWithALogLine) {
    TempFolder folder("stash");
    const auto& dir = folder.path();
    // Two files of one name: the later in path order wins.
    test::writeTone(dir / "cannon_fire_1.wav", 0.1f);
    test::writeTone(dir / "cannon_fire_2.wav", 0.2f);
    test::writeTone(dir / "click.wav", 0.05f, 44100);
    std::filesystem::create_directories(dir / "deep" / "er");
    std::filesystem::copy_file("tests/audio/data/tone_1.ogg", dir / "deep" / "er" / "arrow_hit_3.ogg");
    // Two channels of 0.25 s: the length is in frames, not samples.
    std::vector<std::int16_t> stereo;
    for (std::int16_t s : test::tone(0.25f)) {
        stereo.push_back(s);
        stereo.push_back(0);
    }
    test::writeBytes(dir / "stereo_1.wav", test::wavBytes(stereo, 2, 22050));
    // Not sound files of the game.
    test::writeTone(dir / "music.mp3", 0.1f);
    test::writeTone(dir / "shot.WAV", 0.1f);
    test::writeBytes(dir / "notes.txt", "not a sound");
    std::filesystem::create_directories(dir / "folder_1.wav");
    // Bad sound files.
    test::writeBytes(dir / "corrupt_1.wav", "RIFF\x10\0\0\0WAVEjunkjunkjunk and more junk");
    test::writeBytes(dir / "empty_1.wav", "");
    test::writeBytes(dir / "silent_1.wav", test::wavBytes({}, 1, 22050));

    test::LogCapture log;
    SoundEngine engine(dir);

    EXPECT_EQ(engine.soundNames(), (std::vector<std::string>{"arrow", "cannon", "click.wav", "stereo"}));
    EXPECT_NEAR(engine.duration("cannon"), 0.2f, 1e-4f);
    EXPECT_NEAR(engine.duration("click.wav"), 0.05f, 1e-4f);
    EXPECT_NEAR(engine.duration("arrow"), 0.3f, 1e-3f);
    EXPECT_NEAR(engine.duration("stereo"), 0.25f, 1e-4f);
    EXPECT_EQ(engine.duration("music.mp3"), 0.0f);

    EXPECT_EQ(log.count("loading all sfxStash"), 1u);
    const auto errors = log.messages(spdlog::level::err);
    EXPECT_EQ(errors.size(), 3u);
    for (const char* bad : {"corrupt", "empty", "silent"})
        EXPECT_EQ(countStartingWith(errors, std::string("Load sound: ") + bad + ": "), 1u) << bad;

    // Everything that loaded plays.
    for (const std::string& name : engine.soundNames()) {
        SoundChannel channel;
        engine.play(name, {0.0f, 0.0f, 0.0f}, &channel);
        EXPECT_TRUE(channel.valid()) << name;
    }
    EXPECT_EQ(log.messages(spdlog::level::err).size(), 3u);
}

TEST(SoundEngine, UnknownNamesAndAMissingFolderAreLoggedAndPlayNothing) {
    test::LogCapture log;
    SoundEngine engine("no/such/sounds/folder");
    EXPECT_TRUE(engine.soundNames().empty());
    const auto errors = log.messages(spdlog::level::err);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_TRUE(startsWith(errors[0], "Failed to read the sounds folder no/such/sounds/folder: "))
        << errors[0];

    SoundChannel channel{7, 7};
    engine.play("ProjectileArrowHit", {1.0f, 2.0f, 3.0f}, &channel);
    engine.play("ProjectileArrowHit", {1.0f, 2.0f, 3.0f});
    EXPECT_FALSE(channel.valid());
    EXPECT_EQ(log.count("No sound effect stashed away by the name ProjectileArrowHit"), 2u);
    EXPECT_EQ(engine.voiceCount(), 0u);
}

TEST(SoundEngine, PositionsThatAreNotFiniteAreLoggedAndIgnored) {
    TempFolder folder("finite");
    test::writeTone(folder.path() / "hum_1.wav", 0.5f, 8000);
    test::LogCapture log;
    SoundEngine engine(folder.path());
    const float nan = std::nanf(""), inf = std::numeric_limits<float>::infinity();
    for (const glm::vec3& bad :
         {glm::vec3(nan, 0.0f, 0.0f), glm::vec3(0.0f, inf, 0.0f), glm::vec3(0.0f, 0.0f, -inf)}) {
        SoundChannel channel{1, 1};
        engine.play("hum", bad, &channel);
        EXPECT_FALSE(channel.valid());
    }
    EXPECT_EQ(countStartingWith(log.messages(spdlog::level::err), "Sound hum cannot play at the position ("),
              3u);

    // A camera that lost its pose leaves the listener where it was, with one line for the spell.
    CameraNode camera("cam", 1.0f, 0.1f, 100.0f, 1.0f);
    camera.setWorldMatrix(glm::translate(glm::mat4(1.0f), glm::vec3(1.0f, 2.0f, 3.0f)));
    engine.updateListener(Scene::listenerPoseOf(camera));
    camera.setWorldMatrix(glm::translate(glm::mat4(1.0f), glm::vec3(nan, 2.0f, 3.0f)));
    engine.updateListener(Scene::listenerPoseOf(camera));
    engine.updateListener(Scene::listenerPoseOf(camera));
    EXPECT_EQ(engine.listenerPosition(), glm::vec3(1.0f, 2.0f, 3.0f));
    EXPECT_EQ(log.count("The listener cannot follow camera cam: its position or view is not finite"), 1u);
    camera.setWorldMatrix(glm::translate(glm::mat4(1.0f), glm::vec3(2.0f, 2.0f, 3.0f)));
    engine.updateListener(Scene::listenerPoseOf(camera));
    EXPECT_EQ(engine.listenerVelocity(), glm::vec3(1.0f, 0.0f, 0.0f));
}

class SoundEnginePlayback : public testing::Test {
protected:
    SoundEnginePlayback() { test::writeTone(folder.path() / "hum_1.wav", 5.0f, 8000); }
    TempFolder folder{"playback"};
};

TEST_F(SoundEnginePlayback, FinishedVoicesAreReusedAndTheirOldHandlesGoStale) {
    test::LogCapture log;
    SoundEngine engine(folder.path());
    ASSERT_TRUE(engine.hasDevice()) << "the tests need OpenAL's null output: ALSOFT_DRIVERS=null";

    SoundChannel first, second, third;
    engine.play("hum", {1.0f, 0.0f, 0.0f}, &first);
    ASSERT_TRUE(first.valid());
    EXPECT_TRUE(engine.isPlaying(first));
    engine.stop(first);
    EXPECT_FALSE(engine.isPlaying(first));

    engine.play("hum", {2.0f, 0.0f, 0.0f}, &second);
    EXPECT_EQ(engine.voiceCount(), 1u);
    EXPECT_EQ(second.voice, first.voice);
    EXPECT_TRUE(engine.isPlaying(second));
    // The voice plays again, but not the playback the first handle named.
    EXPECT_FALSE(engine.isPlaying(first));
    engine.stop(first);
    EXPECT_TRUE(engine.isPlaying(second));

    engine.play("hum", {3.0f, 0.0f, 0.0f}, &third);
    EXPECT_EQ(engine.voiceCount(), 2u);
    EXPECT_TRUE(engine.isPlaying(second));
    EXPECT_TRUE(engine.isPlaying(third));
    EXPECT_FALSE(engine.isPlaying(SoundChannel{}));
    EXPECT_TRUE(log.messages(spdlog::level::err).empty());
}

TEST_F(SoundEnginePlayback, WhenEveryVoiceIsBusyTheSoundsThatStartedFirstAreCut) {
    test::LogCapture log;
    SoundEngine engine(folder.path());
    ASSERT_TRUE(engine.hasDevice()) << "the tests need OpenAL's null output: ALSOFT_DRIVERS=null";

    constexpr std::size_t kPlays = 700;
    std::vector<SoundChannel> channels(kPlays);
    for (std::size_t i = 0; i < kPlays; ++i)
        engine.play("hum", {static_cast<float>(i), 0.0f, 0.0f}, &channels[i]);

    const std::size_t voices = engine.voiceCount();
    ASSERT_GT(voices, 16u);
    ASSERT_LT(voices, kPlays);
    for (std::size_t i = 0; i < kPlays; ++i) {
        ASSERT_TRUE(channels[i].valid()) << i;
        EXPECT_EQ(engine.isPlaying(channels[i]), i >= kPlays - voices) << i;
    }
    EXPECT_TRUE(log.messages(spdlog::level::err).empty());
}

TEST(SoundEngine, TheListenerTakesTheCameraPositionAndItsMovementPerFrameAsVelocity) {
    SoundEngine engine("no/such/sounds/folder");
    CameraNode camera("cam", 1.0f, 0.1f, 100.0f, 1.0f);
    const struct {
        glm::vec3 position;
        glm::vec3 velocity;
    } frames[] = {
        // The first frame moves from the origin.
        {{1.0f, 2.0f, 3.0f}, {1.0f, 2.0f, 3.0f}},
        {{1.0f, 2.0f, 3.0f}, {0.0f, 0.0f, 0.0f}},
        {{1.5f, 2.0f, 2.0f}, {0.5f, 0.0f, -1.0f}},
        {{1.5f, 2.0f, 2.0f}, {0.0f, 0.0f, 0.0f}},
    };
    for (const auto& frame : frames) {
        camera.setWorldMatrix(
            glm::rotate(glm::translate(glm::mat4(1.0f), frame.position), 0.3f, glm::vec3(0.0f, 1.0f, 0.0f)));
        engine.updateListener(Scene::listenerPoseOf(camera));
        EXPECT_EQ(engine.listenerPosition(), frame.position);
        EXPECT_NEAR(glm::length(engine.listenerVelocity() - frame.velocity), 0.0f, 1e-6f);
    }
}

TEST(SoundEngine, TheSceneHandsItsActiveCameraToTheListener) {
    SoundEngine engine("no/such/sounds/folder");
    test::TestScene scene("listener");
    scene.setRoot3D(std::make_unique<EmptyNode>("root"));

    // Without an active camera the listener stays where it is.
    scene.updateListener(engine);
    EXPECT_EQ(engine.listenerPosition(), glm::vec3(0.0f));

    auto camera = std::make_unique<CameraNode>("cam", 1.0f, 0.1f, 100.0f, 1.0f);
    camera->setLocalMatrix(glm::translate(glm::mat4(1.0f), glm::vec3(0.0f, 4.0f, 0.0f)));
    auto holder = std::make_unique<EmptyNode>("holder");
    holder->setLocalMatrix(glm::translate(glm::mat4(1.0f), glm::vec3(3.0f, 0.0f, -2.0f)));
    holder->addChild(std::move(camera));
    scene.root3D()->addChild(std::move(holder));
    scene.setActiveCamera("cam");
    ASSERT_NE(scene.activeCamera(), nullptr);

    scene.updateListener(engine);
    EXPECT_NEAR(glm::length(engine.listenerPosition() - glm::vec3(3.0f, 4.0f, -2.0f)), 0.0f, 1e-6f);
}

} // namespace
} // namespace hm
