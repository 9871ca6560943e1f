// The game's own sound effects: every sound the game plays is there, and each one loads.
#include "audio/SoundEngine.h"

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

} // namespace
} // namespace hm
