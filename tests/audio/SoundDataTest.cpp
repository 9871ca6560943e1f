// The game's own sound effects: every sound the game plays is there, and each one loads.
#include "audio/SoundEngine.h"

#include "audio/AudioTestFiles.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

namespace hm {
namespace {

TEST(SoundData, EverySoundTheGamePlaysLoadsFromTheDataFolder) {
    test::LogCapture log;
    SoundEngine engine;
    EXPECT_TRUE(log.messages(spdlog::level::err).empty());
    EXPECT_TRUE(log.messages(spdlog::level::warn).empty());
    for (const char* name : {"construction", "TowerArrowCharge", "TowerCannonCharge", "ProjectileArrowShoot",
                             "ProjectileCannonballShoot", "ProjectileArrowHit", "ProjectileCannonballHit"}) {
        // Short effects: long enough to be heard, short enough not to pile up.
        EXPECT_GT(engine.duration(name), 0.1f) << name;
        EXPECT_LT(engine.duration(name), 2.5f) << name;
    }
}

// Damaged headers: the sample rate goes to the mixer as it is (one it refuses ends the game), and
// a file that says it is longer than it is gives what it holds, with a line saying it is truncated.
TEST(SoundData, DamagedHeadersAreRefusedOrReadForWhatTheyHold) {
    test::TempFolder folder("decode");
    const std::vector<std::int16_t> tone(400, 1000);
    std::string longer = test::wavBytes(tone, 1, 8000);
    longer.replace(40, 4, "\xf0\xff\xff\x7f"); // the data chunk claims 2 GB
    const struct {
        const char* name;
        std::string bytes;
        std::size_t samples; // 0: refused
        const char* line;
    } cases[] = {
        {"usual", test::wavBytes(tone, 1, 8000), 400, ""},
        {"sample rate far too high", test::wavBytes(tone, 1, 400000), 0, "a sample rate of 400000 Hz"},
        {"sample rate far too low", test::wavBytes(tone, 1, 10), 0, "a sample rate of 10 Hz"},
        {"data claimed beyond the end", longer, 400, "the file is truncated: 400 of 1073741816 frames"},
        {"cut in half", test::wavBytes(tone, 1, 8000).substr(0, 44 + 400), 200,
         "the file is truncated: 200 of 400 frames"},
        {"stereo averaged to mono", test::wavBytes(std::vector<std::int16_t>(800, 1000), 2, 8000), 400, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto path = folder.path() / "sound.wav";
        test::writeBytes(path, c.bytes);
        test::LogCapture log;
        const auto sound = decodeSoundFile(path, "sound");
        if (c.samples == 0) {
            EXPECT_FALSE(sound);
            const auto errors = log.messages(spdlog::level::err);
            ASSERT_EQ(errors.size(), 1u);
            EXPECT_NE(errors[0].find(c.line), std::string::npos) << errors[0];
            EXPECT_NE(errors[0].find(path.string()), std::string::npos) << errors[0];
        } else {
            ASSERT_TRUE(sound);
            EXPECT_EQ(sound->samples.size(), c.samples);
            const auto warnings = log.messages(spdlog::level::warn);
            if (*c.line) {
                ASSERT_EQ(warnings.size(), 1u);
                EXPECT_NE(warnings[0].find(c.line), std::string::npos) << warnings[0];
                EXPECT_NE(warnings[0].find(path.string()), std::string::npos) << warnings[0];
            } else {
                EXPECT_TRUE(warnings.empty());
            }
            EXPECT_EQ(sound->samples.front(), 1000);
        }
    }
}

} // namespace
} // namespace hm
