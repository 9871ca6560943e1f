// The player's actions that change a level's game, as a recording keeps them and a replay does
// them again: a verb, the plot it concerns (0 for none) and one word of argument.
//
//   build   PLOT TYPE    a tower of that type ("ARROW", "CANNON") on the plot
//   upgrade PLOT LEVEL   the tower on the plot rises to that level (2, 3)
//   sell    PLOT -       the tower on the plot is sold
//   target  PLOT MODE    the tower on the plot aims by that mode (first, last, strongest, closest)
//   speed   0    N       the game speed becomes N (1, 2, ...)
//
// Pausing, cameras, selecting a plot and the HUD change nothing in the game and are not actions.
// A new verb is one entry in the table of PlayerAction.cpp, plus one reportAction call where the
// player does it.
#pragma once

#include <string>
#include <string_view>

namespace hm {

class LevelCoordinator;

struct PlayerAction {
    std::string verb;
    int plot = 0;
    std::string argument;
};

bool isKnownPlayerVerb(std::string_view verb);
// Does the action in the level; false with the reason when it could not be done as recorded (an
// unknown verb, a plot the level lacks, a tower that could not be afforded).
bool applyPlayerAction(LevelCoordinator& rules, const PlayerAction& action, std::string& problem);

} // namespace hm
