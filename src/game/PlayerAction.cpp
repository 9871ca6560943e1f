#include "game/PlayerAction.h"

#include "game/LevelCoordinator.h"
#include "game/Tower.h"

#include <charconv>
#include <functional>
#include <map>
#include <optional>

namespace hm {

namespace {

using Apply = std::function<bool(LevelCoordinator&, const PlayerAction&, std::string&)>;

TowerBase* plotOf(LevelCoordinator& rules, int plot, std::string& problem) {
    const auto& bases = rules.towerBases();
    if (plot < 1 || plot > static_cast<int>(bases.size())) {
        problem = "plot " + std::to_string(plot) + " is not in this level (" + std::to_string(bases.size()) +
                  " plots)";
        return nullptr;
    }
    return bases[static_cast<std::size_t>(plot) - 1];
}

bool build(LevelCoordinator& rules, const PlayerAction& action, std::string& problem) {
    TowerBase* base = plotOf(rules, action.plot, problem);
    if (!base)
        return false;
    for (const auto& [type, prototype] : towerPrototypes()) {
        if (prototype.typeName != action.argument)
            continue;
        if (base->tower()) {
            problem = "plot " + std::to_string(action.plot) + " already has a tower";
            return false;
        }
        if (!rules.canAfford(type)) {
            problem = "a tower of " + std::to_string(prototype.cost) + " with " +
                      std::to_string(rules.resources()) + " resources";
            return false;
        }
        base->build(type);
        if (!base->tower()) {
            problem = "the tower could not be built";
            return false;
        }
        return true;
    }
    problem = "no tower type \"" + action.argument + "\"";
    return false;
}

// The tower on the action's plot, or null with the problem.
Tower* towerOn(LevelCoordinator& rules, const PlayerAction& action, std::string& problem) {
    TowerBase* base = plotOf(rules, action.plot, problem);
    if (!base)
        return nullptr;
    if (!base->tower())
        problem = "plot " + std::to_string(action.plot) + " has no tower";
    return base->tower();
}

bool upgrade(LevelCoordinator& rules, const PlayerAction& action, std::string& problem) {
    Tower* tower = towerOn(rules, action, problem);
    if (!tower)
        return false;
    int wanted = 0;
    const char* end = action.argument.data() + action.argument.size();
    if (std::from_chars(action.argument.data(), end, wanted).ptr != end || wanted != tower->level() + 1 ||
        wanted > kTowerLevels) {
        problem = "the tower on plot " + std::to_string(action.plot) + " is at level " +
                  std::to_string(tower->level()) + ", not below level " + action.argument;
        return false;
    }
    if (!rules.upgradeTower(*tower)) {
        problem = "an upgrade of " + std::to_string(rules.upgradePrice(*tower).value_or(0)) + " with " +
                  std::to_string(rules.resources()) + " resources";
        return false;
    }
    return true;
}

bool sell(LevelCoordinator& rules, const PlayerAction& action, std::string& problem) {
    Tower* tower = towerOn(rules, action, problem);
    if (!tower)
        return false;
    rules.sellTower(*tower);
    return true;
}

bool target(LevelCoordinator& rules, const PlayerAction& action, std::string& problem) {
    Tower* tower = towerOn(rules, action, problem);
    if (!tower)
        return false;
    const std::optional<TargetingMode> mode = parseTargeting(action.argument);
    if (!mode) {
        problem = "no targeting mode \"" + action.argument + "\" (first, last, strongest, closest)";
        return false;
    }
    rules.setTargeting(*tower, *mode);
    return true;
}

bool speed(LevelCoordinator& rules, const PlayerAction& action, std::string& problem) {
    int wanted = 0;
    const char* end = action.argument.data() + action.argument.size();
    if (std::from_chars(action.argument.data(), end, wanted).ptr != end || wanted < 1) {
        problem = "a speed is a whole number from 1";
        return false;
    }
    rules.setGameSpeed(static_cast<float>(wanted));
    if (rules.gameSpeed() != static_cast<float>(wanted)) {
        problem = "the game has no speed " + action.argument;
        return false;
    }
    return true;
}

const std::map<std::string, Apply, std::less<>>& verbs() {
    static const std::map<std::string, Apply, std::less<>> table = {
        {"build", build}, {"speed", speed}, {"upgrade", upgrade}, {"sell", sell}, {"target", target},
    };
    return table;
}

} // namespace

bool isKnownPlayerVerb(std::string_view verb) {
    return verbs().find(verb) != verbs().end();
}

bool applyPlayerAction(LevelCoordinator& rules, const PlayerAction& action, std::string& problem) {
    auto it = verbs().find(action.verb);
    if (it == verbs().end()) {
        problem = "unknown action \"" + action.verb + "\"";
        return false;
    }
    return it->second(rules, action, problem);
}

} // namespace hm
