#include "game/ReplayPlayer.h"

#include "game/LevelCoordinator.h"
#include "game/LevelDefinition.h"
#include "game/LevelScene.h"
#include "game/PlayRecorder.h"
#include "game/PlayerAction.h"

#include <cmath>
#include <filesystem>

namespace hm {

std::optional<ReplayOutcome> playReplay(Window& window, const Replay& replay, const std::string& fileLabel,
                                        std::string& refusal) {
    auto at = [&](int line) { return line > 0 ? fileLabel + ":" + std::to_string(line) : fileLabel; };
    if (!isLevelName(replay.level) || !std::filesystem::is_regular_file(levelFilePath(replay.level))) {
        refusal = fileLabel + ": the level \"" + replay.level + "\" does not exist (no " +
                  levelFilePath(replay.level) + ")";
        return std::nullopt;
    }
    for (const ReplayAction& action : replay.actions)
        if (!isKnownPlayerVerb(action.verb)) {
            refusal = at(action.line) + ": unknown action \"" + action.verb + "\"";
            return std::nullopt;
        }

    auto scene = std::make_unique<LevelScene>(replay.level);
    scene->start(window);
    LevelCoordinator& rules = scene->coordinator();
    const std::size_t plots = rules.towerBases().size();
    for (const ReplayAction& action : replay.actions)
        if (action.plot < 0 || static_cast<std::size_t>(action.plot) > plots) {
            refusal = at(action.line) + ": plot " + std::to_string(action.plot) + " is not in the level " +
                      replay.level + " (" + std::to_string(plots) + " plots)";
            return std::nullopt;
        }

    ReplayOutcome outcome;
    const std::string today = levelDataDigest(rules.level().path, rules.level().modelFile);
    if (replay.digest.empty())
        outcome.warnings.push_back(fileLabel + ": the replay does not say which data it was played on");
    else if (replay.digest != today)
        outcome.warnings.push_back(fileLabel + ": recorded on other data than today's (digest " +
                                   replay.digest + ", today " + today +
                                   "); the rules or data may have changed");
    const int stepsPerSecond = static_cast<int>(std::lround(1.0 / LevelScene::kSimulationStep));
    if (replay.stepsPerSecond != stepsPerSecond)
        outcome.warnings.push_back(fileLabel + ": recorded with steps of 1/" +
                                   std::to_string(replay.stepsPerSecond) + " s; the game now steps 1/" +
                                   std::to_string(stepsPerSecond) + " s");

    // The same recorder as the game's, so that the replayed line is made exactly as the recorded one.
    PlayRecorder recorder(*scene);
    std::size_t next = 0;
    auto act = [&] {
        while (next < replay.actions.size() && replay.actions[next].step <= scene->stepCount()) {
            const ReplayAction& action = replay.actions[next++];
            std::string problem;
            if (!applyPlayerAction(rules, {action.verb, action.plot, action.argument}, problem))
                outcome.warnings.push_back(at(action.line) + ": the recorded " + action.verb +
                                           " could not be done: " + problem);
        }
    };
    scene->setAfterStep([&] {
        recorder.stepTaken();
        act();
    });
    act();
    // One step per frame at every speed, so that the play stops exactly at the recorded step.
    while (!recorder.ended() && scene->stepCount() < replay.steps)
        scene->update(window, static_cast<float>(LevelScene::kSimulationStep) / rules.gameSpeed());
    recorder.levelLeft();
    scene->setAfterStep(nullptr);

    outcome.line = recorder.replay().result;
    outcome.same = outcome.line == replay.result;
    return outcome;
}

} // namespace hm
