#include "game/HealthBar.h"

#include "render/Mesh.h"

#include <gtest/gtest.h>

namespace hm {
namespace {

TEST(HealthBar, FractionAndVisibilityFollowHealthAndState) {
    const struct {
        const char* name;
        float health, full;
        EnemyState state;
        bool visible;
        float fraction;
    } cases[] = {
        {"unhurt walker", 150.0f, 150.0f, EnemyState::Walking, false, 1.0f},
        {"hit walker", 140.0f, 150.0f, EnemyState::Walking, true, 140.0f / 150.0f},
        {"half", 25.0f, 50.0f, EnemyState::Walking, true, 0.5f},
        {"nearly dead", 0.5f, 550.0f, EnemyState::Walking, true, 0.5f / 550.0f},
        {"hit and attacking the core", 100.0f, 150.0f, EnemyState::Attacking, true, 100.0f / 150.0f},
        {"unhurt attacker", 50.0f, 50.0f, EnemyState::Attacking, false, 1.0f},
        {"dying", -10.0f, 50.0f, EnemyState::Dying, false, 0.0f},
        {"dead", -10.0f, 50.0f, EnemyState::Dead, false, 0.0f},
        {"not yet on the road", 40.0f, 50.0f, EnemyState::Spawned, false, 0.8f},
        {"no full health to compare with", 40.0f, 0.0f, EnemyState::Walking, false, 1.0f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const HealthBarLook look = healthBarLook(c.health, c.full, c.state);
        EXPECT_EQ(look.visible, c.visible);
        EXPECT_FLOAT_EQ(look.fraction, c.fraction);
    }
}

TEST(HealthBar, ColourRunsFromGreenThroughYellowToRed) {
    const auto colour = [](float fraction) {
        return healthBarLook(fraction, 1.0f, EnemyState::Walking).colour;
    };
    const glm::vec3 whole = colour(0.99f), half = colour(0.5f), low = colour(0.05f);
    EXPECT_GT(whole.g, 2.0f * whole.r) << "green when nearly whole";
    EXPECT_NEAR(half.r, half.g, 0.2f) << "yellow at half";
    EXPECT_GT(low.r, 4.0f * low.g) << "red near the end";
    // The red share only grows as health falls.
    for (float f = 0.0f; f < 1.0f; f += 0.05f)
        EXPECT_GE(colour(f).r / (colour(f).g + 1e-3f), colour(f + 0.05f).r / (colour(f + 0.05f).g + 1e-3f))
            << f;
}

// The bars share one quad while they exist, and it goes with the last of them, so that a level
// in a later window never draws with GL objects of an earlier context.
TEST(HealthBar, BarsShareOneQuadThatGoesWithTheLastOfThem) {
    std::weak_ptr<Mesh> quad;
    {
        HealthBarPart first("first");
        HealthBarPart second("second");
        EXPECT_EQ(first.mesh(), second.mesh());
        EXPECT_FALSE(first.castsShadow()) << "a bar casts no shadow";
        quad = first.mesh();
    }
    EXPECT_TRUE(quad.expired());
    HealthBarPart later("later");
    EXPECT_NE(later.mesh(), nullptr);
}

} // namespace
} // namespace hm
