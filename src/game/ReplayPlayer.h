// Plays a recorded level again without drawing it: the level loads as in the game, every recorded
// action is done at the step it took effect at, and the play runs until the level ends or as many
// steps as were recorded have passed. The result line is then compared with the recorded one.
//
// A replay is refused (nothing is played) when its level does not exist or an action names a verb
// or a plot the level does not know. Data that changed since the recording (another digest or
// step) is reported and the replay still runs, so that a change of rules or data shows as a
// difference in the result.
#pragma once

#include "game/Replay.h"

#include <optional>
#include <string>
#include <vector>

namespace hm {

class Window;

struct ReplayOutcome {
    std::string line;                  // the replayed result line
    bool same = false;                 // the replayed line is the recorded one
    std::vector<std::string> warnings; // "FILE:LINE: ..." for what did not go as recorded
};

// fileLabel names the replay in messages. nullopt with the reason ("FILE:LINE: ...") when refused.
std::optional<ReplayOutcome> playReplay(Window& window, const Replay& replay, const std::string& fileLabel,
                                        std::string& refusal);

} // namespace hm
