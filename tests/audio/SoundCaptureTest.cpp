// What a player hears: OpenAL Soft's wave output writes the mix to a file, which these tests
// read back. OpenAL picks its output once per process, so every capture runs in a child process
// of its own: this test program started again with the case in its environment, where it
// registers and runs the one test SoundCaptureChild.Run.
#include "audio/SoundEngine.h"

#include "audio/AudioTestFiles.h"
#include "render/CameraNode.h"
#include "scene/Scene.h"
#include "support/LogCapture.h"

#include <glm/gtc/matrix_transform.hpp>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace hm {
namespace {

constexpr const char* kFolderVariable = "HM_AUDIO_CAPTURE_FOLDER";
constexpr const char* kModeVariable = "HM_AUDIO_CAPTURE_MODE";
constexpr const char* kPositionVariable = "HM_AUDIO_CAPTURE_POSITION";
// A master volume for the child to set, or "muted".
constexpr const char* kVolumeVariable = "HM_AUDIO_CAPTURE_VOLUME";

// Off the origin, turned and tilted, so that a listener read wrongly from the camera is heard.
glm::mat4 cameraPose() {
    glm::mat4 pose = glm::translate(glm::mat4(1.0f), glm::vec3(6.0f, 2.5f, -4.0f));
    pose = glm::rotate(pose, 2.1f, glm::vec3(0.0f, 1.0f, 0.0f));
    return glm::rotate(pose, -0.3f, glm::vec3(1.0f, 0.0f, 0.0f));
}

// ---- Child side -----------------------------------------------------------------------------

void playAndWait(SoundEngine& engine, const glm::vec3& position) {
    SoundChannel channel;
    engine.play("tone", position, &channel);
    ASSERT_TRUE(channel.valid());
    // The wave output mixes in real time.
    for (int polls = 0; engine.isPlaying(channel); ++polls) {
        ASSERT_LT(polls, 1000) << "the sound never ended";
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

class CaptureChild : public testing::Test {
public:
    void TestBody() override {
        const std::filesystem::path folder = std::getenv(kFolderVariable);
        const std::string mode = std::getenv(kModeVariable);
        glm::vec3 position{0.0f};
        std::istringstream(std::getenv(kPositionVariable)) >> position.x >> position.y >> position.z;

        test::LogCapture log;
        SoundEngine engine(folder / "sounds");
        CameraNode camera("cam", 1.0f, 0.1f, 100.0f, 1.0f);
        camera.setWorldMatrix(cameraPose());
        engine.updateListener(Scene::listenerPoseOf(camera));
        if (const char* volume = std::getenv(kVolumeVariable)) {
            if (std::string(volume) == "muted")
                engine.setMuted(true);
            else
                engine.setVolume(std::stof(volume));
        }
        if (mode == "capture") {
            ASSERT_TRUE(engine.hasDevice());
            playAndWait(engine, position);
        } else {
            // No device: the game goes on without sound.
            EXPECT_FALSE(engine.hasDevice());
            EXPECT_EQ(log.count("No audio output: sound effects stay silent."), 1u);
            EXPECT_TRUE(engine.contains("tone"));
            SoundChannel channel;
            engine.play("tone", position, &channel);
            engine.play("nothing", position);
            engine.updateListener(Scene::listenerPoseOf(camera));
            EXPECT_FALSE(channel.valid());
            EXPECT_EQ(log.count("No sound effect stashed away by the name nothing"), 1u);
        }
        EXPECT_EQ(log.messages(spdlog::level::err).size(), mode == "capture" ? 0u : 1u);
    }
};

const bool kChildRegistered = [] {
    if (std::getenv(kFolderVariable) && std::getenv(kModeVariable) && std::getenv(kPositionVariable))
        testing::RegisterTest("SoundCaptureChild", "Run", nullptr, nullptr, __FILE__, __LINE__,
                              []() -> testing::Test* { return new CaptureChild; });
    return true;
}();

// ---- Parent side ----------------------------------------------------------------------------

struct ChildResult {
    int status = -1;
    std::string output;
};

// Starts this program again for one capture. environment holds the variables to set; a value
// of nullptr removes the variable.
ChildResult runChild(const std::filesystem::path& folder,
                     const std::vector<std::pair<std::string, const char*>>& environment) {
    std::vector<std::string> variables;
    for (char** entry = environ; *entry; ++entry) {
        const std::string variable = *entry;
        const std::string key = variable.substr(0, variable.find('='));
        const bool replaced = std::any_of(environment.begin(), environment.end(),
                                          [&](const auto& change) { return change.first == key; });
        if (!replaced)
            variables.push_back(variable);
    }
    for (const auto& [key, value] : environment)
        if (value)
            variables.push_back(key + "=" + value);
    std::vector<char*> envp;
    for (std::string& variable : variables)
        envp.push_back(variable.data());
    envp.push_back(nullptr);

    std::string program = "/proc/self/exe", filter = "--gtest_filter=SoundCaptureChild.Run";
    char* argv[] = {program.data(), filter.data(), nullptr};
    const std::string logPath = (folder / "child.log").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);

    ChildResult result;
    pid_t pid = 0;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, envp.data()) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    posix_spawn_file_actions_destroy(&actions);
    std::ifstream log(logPath);
    result.output.assign(std::istreambuf_iterator<char>(log), std::istreambuf_iterator<char>());
    return result;
}

struct Capture {
    double left = 0.0;                        // energy of the left channel
    double right = 0.0;                       // energy of the right channel
    double onsetLeft = 0.0, onsetRight = 0.0; // the same over the first 10 ms of sound
};

class SoundCapture : public testing::Test {
protected:
    SoundCapture() { test::writeTone(folder.path() / "sounds" / "tone_1.wav", 0.3f); }

    // Plays the tone at a position given in the camera's frame (x right, y up, -z ahead).
    Capture capture(const glm::vec3& inCameraFrame, const char* volume = nullptr) {
        const glm::vec3 world = glm::vec3(cameraPose() * glm::vec4(inCameraFrame, 1.0f));
        const std::filesystem::path out = folder.path() / "out.wav";
        std::filesystem::remove(out);
        const std::filesystem::path conf = folder.path() / "alsoft.conf";
        std::ofstream(conf) << "[general]\ndrivers = wave\nchannels = stereo\nsample-type = int16\n"
                               "frequency = 44100\nhrtf = false\n[wave]\nfile = "
                            << out.string() << "\n";
        const std::string position =
            std::to_string(world.x) + " " + std::to_string(world.y) + " " + std::to_string(world.z);
        const std::string folderText = folder.path().string();
        const ChildResult child = runChild(folder.path(), {{kFolderVariable, folderText.c_str()},
                                                           {kModeVariable, "capture"},
                                                           {kPositionVariable, position.c_str()},
                                                           {kVolumeVariable, volume},
                                                           {"ALSOFT_CONF", conf.c_str()},
                                                           {"ALSOFT_DRIVERS", nullptr}});
        EXPECT_EQ(child.status, 0) << child.output;

        const test::WavData wav = test::readWav16(out);
        EXPECT_EQ(wav.channels, 2);
        Capture result;
        if (wav.channels != 2)
            return result;
        const std::size_t frames = wav.samples.size() / 2;
        std::size_t onset = frames;
        for (std::size_t i = 0; i < frames && onset == frames; ++i)
            if (std::abs(wav.samples[2 * i]) > 30 || std::abs(wav.samples[2 * i + 1]) > 30)
                onset = i;
        const std::size_t onsetEnd = onset + static_cast<std::size_t>(wav.sampleRate / 100);
        for (std::size_t i = 0; i < frames; ++i) {
            const double l = wav.samples[2 * i], r = wav.samples[2 * i + 1];
            result.left += l * l;
            result.right += r * r;
            if (i >= onset && i < onsetEnd) {
                result.onsetLeft += l * l;
                result.onsetRight += r * r;
            }
        }
        if (!volume || std::string(volume) != "muted") {
            EXPECT_GT(result.left + result.right, 0.0) << "nothing was heard";
        }
        return result;
    }

    test::TempFolder folder{"capture"};
};

TEST_F(SoundCapture, ASoundIsHeardOnTheSideItIsOnFromItsFirstSamples) {
    const struct {
        const char* where;
        glm::vec3 inCameraFrame;
        double minRightOverLeft, maxRightOverLeft;
    } cases[] = {
        {"right", {3.0f, 0.0f, 0.0f}, 4.0, 1e9},
        {"left", {-3.0f, 0.0f, 0.0f}, 0.0, 0.25},
        {"ahead", {0.0f, 0.0f, -3.0f}, 0.8, 1.25},
        {"above", {0.0f, 3.0f, 0.0f}, 0.8, 1.25},
    };
    for (const auto& c : cases) {
        const Capture heard = capture(c.inCameraFrame);
        const double ratio = heard.right / std::max(heard.left, 1.0);
        const double onsetRatio = heard.onsetRight / std::max(heard.onsetLeft, 1.0);
        EXPECT_GE(ratio, c.minRightOverLeft) << c.where;
        EXPECT_LE(ratio, c.maxRightOverLeft) << c.where;
        EXPECT_GE(onsetRatio, c.minRightOverLeft) << c.where << " at the start";
        EXPECT_LE(onsetRatio, c.maxRightOverLeft) << c.where << " at the start";
        std::printf("%s: right/left energy %.3g (first 10 ms %.3g), total %.3g\n", c.where, ratio, onsetRatio,
                    heard.left + heard.right);
    }
}

TEST_F(SoundCapture, LoudnessFallsWithTheInverseOfTheDistance) {
    // Gain is 0.5 / distance beyond the minimum distance of 0.5, so energy falls with its square.
    const Capture near = capture({0.0f, 0.0f, -1.0f});
    const Capture far = capture({0.0f, 0.0f, -10.0f});
    const double ratio = (near.left + near.right) / std::max(far.left + far.right, 1.0);
    EXPECT_GT(ratio, 100.0 / 1.5);
    EXPECT_LT(ratio, 100.0 * 1.5);
    // Within the minimum distance there is no gain beyond full volume.
    const Capture closer = capture({0.0f, 0.0f, -0.25f});
    const Capture atMinimum = capture({0.0f, 0.0f, -0.5f});
    const double inside = (closer.left + closer.right) / std::max(atMinimum.left + atMinimum.right, 1.0);
    EXPECT_NEAR(inside, 1.0, 0.2);
    std::printf("energy 1 unit / 10 units: %.3g; 0.25 / 0.5 units: %.3g\n", ratio, inside);
}

TEST_F(SoundCapture, TheVolumeScalesEverythingAndMutingSilences) {
    const glm::vec3 ahead{0.0f, 0.0f, -1.0f};
    const Capture full = capture(ahead);
    const Capture half = capture(ahead, "0.5");
    const Capture muted = capture(ahead, "muted");
    const double fullEnergy = full.left + full.right;
    // Half the amplitude is a quarter of the energy.
    const double ratio = (half.left + half.right) / std::max(fullEnergy, 1.0);
    EXPECT_GT(ratio, 0.25 / 1.3);
    EXPECT_LT(ratio, 0.25 * 1.3);
    EXPECT_LT(muted.left + muted.right, fullEnergy * 1e-6);
    std::printf("energy at volume 0.5 / 1.0: %.3g; muted: %.3g\n", ratio, muted.left + muted.right);
}

TEST_F(SoundCapture, WithoutAnAudioDeviceTheGameRunsSilent) {
    const std::string folderText = folder.path().string();
    const ChildResult child = runChild(folder.path(), {{kFolderVariable, folderText.c_str()},
                                                       {kModeVariable, "nodevice"},
                                                       {kPositionVariable, "1 2 3"},
                                                       {"ALSOFT_CONF", nullptr},
                                                       {"ALSOFT_DRIVERS", "no-such-driver"}});
    EXPECT_EQ(child.status, 0) << child.output;
    EXPECT_NE(child.output.find("Failed to open the audio device: "), std::string::npos) << child.output;
}

} // namespace
} // namespace hm
