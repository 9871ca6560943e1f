// The level's sound effects: a lost sound file is reported when the level starts.
#include "game/GameSound.h"

#include "audio/AudioTestFiles.h"
#include "audio/SoundEngine.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

namespace hm {
namespace {

TEST(GameSound, SoundsMissingFromTheFolderAreNamed) {
    test::TempFolder folder("game_sounds");
    const std::string tone = test::wavBytes(std::vector<std::int16_t>(800, 1000), 1, 8000);
    for (const char* file : {"TowerArrowCharge_01.wav", "TowerCannonCharge_01.wav",
                             "ProjectileArrowShoot_01.wav", "ProjectileArrowHit_01.wav",
                             "ProjectileCannonballShoot_01.wav", "construction_01.wav", "UiClick_01.wav"})
        test::writeBytes(folder.path() / file, tone);
    test::writeBytes(folder.path() / "ProjectileCannonballHit_01.wav", "RIFF garbage");
    SoundEngine engine(folder.path());

    test::LogCapture log;
    reportMissingGameSounds(engine);
    const auto warnings = log.messages(spdlog::level::warn);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0].rfind("The sound ProjectileCannonballHit was not loaded from", 0), 0u)
        << warnings[0];

    log.clear();
    reportMissingGameSounds(SoundEngine());
    EXPECT_TRUE(log.messages(spdlog::level::warn).empty());
}

} // namespace
} // namespace hm
