#include "game/BuildingCards.h"

#include <gtest/gtest.h>

namespace hm {
namespace {

// The figures come from the tower table and from the table of the projectile the tower shoots:
// the arrow tower's damage is the arrow's, the cannon's the cannonball's with its splash.
TEST(BuildingCards, FiguresAreReadFromThePrototypeTables) {
    const struct {
        TowerType type;
        std::vector<std::string> lines;
    } cases[] = {
        {TowerType::ARROW, {"damage 10", "range 2", "every 1.5 s"}},
        {TowerType::CANNON, {"damage 50", "range 3", "every 5 s", "splash 1"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(towerPrototype(c.type).typeName);
        EXPECT_EQ(towerFigures(c.type), c.lines);
    }
}

} // namespace
} // namespace hm
