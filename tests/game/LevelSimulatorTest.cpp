#include "game/LevelSimulator.h"

#include <gtest/gtest.h>

namespace hm {
namespace {

TEST(BuildPlan, ParsesTowersInOrder) {
    std::string error;
    auto plan = parsePlan("C2,a10,A4", error);
    ASSERT_TRUE(plan) << error;
    EXPECT_EQ(*plan, (std::vector<PlannedTower>{
                         {TowerType::CANNON, 2}, {TowerType::ARROW, 10}, {TowerType::ARROW, 4}}));
    EXPECT_EQ(formatPlan(*plan), "C2,A10,A4");
    auto none = parsePlan("none", error);
    ASSERT_TRUE(none);
    EXPECT_TRUE(none->empty());
    EXPECT_EQ(formatPlan(*none), "none");
}

TEST(BuildPlan, RefusesWhatIsNotAPlan) {
    for (const char* text : {"", "C", "B2", "A0", "A-1", "A1,,C2", "A1,", "C2 A3", "A99999", "A1x"}) {
        std::string error;
        EXPECT_FALSE(parsePlan(text, error)) << text;
        EXPECT_FALSE(error.empty()) << text;
    }
}

TEST(BuildPlan, PoliciesByName) {
    for (PlayerPolicy policy :
         {PlayerPolicy::Random, PlayerPolicy::Greedy, PlayerPolicy::Arrows, PlayerPolicy::Cannons})
        EXPECT_EQ(parsePolicy(policyName(policy)), policy);
    EXPECT_FALSE(parsePolicy("plan"));
    EXPECT_FALSE(parsePolicy("Greedy"));
}

} // namespace
} // namespace hm
