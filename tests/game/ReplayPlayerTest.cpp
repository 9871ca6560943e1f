#include "game/ReplayPlayer.h"

#include "app/Window.h"
#include "game/LevelCoordinator.h"
#include "game/LevelScene.h"
#include "game/LevelSimulator.h"
#include "game/PlayRecorder.h"
#include "game/Tower.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace hm {
namespace {

class Replays : public testing::Test {
protected:
    // A play of the simulator's scripted player, recorded as the game records one.
    Replay recordPlay(const std::string& plan, int speed = 1) {
        PlayOptions options;
        std::string error;
        options.plan = parsePlan(plan, error).value();
        options.speed = speed;
        options.pace = 0.0;
        Replay replay;
        options.record = &replay;
        played = simulator.play(options);
        return replay;
    }
    ReplayOutcome replay(const Replay& replay) {
        std::string refusal;
        auto outcome = playReplay(*window, replay, "play.txt", refusal);
        EXPECT_TRUE(outcome) << refusal;
        return outcome.value_or(ReplayOutcome{});
    }
    std::string refusalOf(const Replay& replay) {
        std::string refusal;
        EXPECT_FALSE(playReplay(*window, replay, "play.txt", refusal));
        return refusal;
    }

    std::unique_ptr<Window> window = Window::headless(200, 200);
    LevelSimulator simulator{*window, "Vezaz"};
    PlayResult played;
};

// What the simulator played is what the replay plays: the same line, built from the same actions
// at the same steps, at normal and double speed.
TEST_F(Replays, ARecordedPlayIsPlayedAgainExactly) {
    for (int speed : {1, 2}) {
        const Replay recorded = recordPlay("C13,C3,A15,C19,A9,C8,C11,C5", speed);
        EXPECT_EQ(recorded.result, resultLine(played)) << "speed " << speed;
        EXPECT_EQ(recorded.level, "Vezaz");
        EXPECT_EQ(recorded.digest.size(), 16u);
        ASSERT_EQ(recorded.actions.size(), speed == 2 ? 9u : 8u);
        const ReplayAction doubled{0, "speed", 0, "2", 0};
        EXPECT_EQ(std::count(recorded.actions.begin(), recorded.actions.end(), doubled), speed == 2 ? 1 : 0);
        EXPECT_EQ(recorded.actions.back().verb, "build");
        EXPECT_EQ(recorded.actions.back().plot, 5);
        EXPECT_EQ(recorded.actions.back().argument, "CANNON");

        const ReplayOutcome outcome = replay(recorded);
        EXPECT_TRUE(outcome.same) << "recorded " << recorded.result << ", replayed " << outcome.line;
        EXPECT_TRUE(outcome.warnings.empty()) << outcome.warnings.front();
    }
}

// Upgrades, sales and targets are recorded and done again at their steps: the replay ends as the
// play did, and its plan lists them as the simulator does.
TEST_F(Replays, UpgradesSalesAndTargetsArePlayedAgain) {
    const Replay recorded = recordPlay("C17,A11,T11=last,U11,A7,S7,C14,U17");
    std::vector<std::string> verbs;
    for (const ReplayAction& action : recorded.actions)
        verbs.push_back(action.verb);
    for (const char* verb : {"upgrade", "sell", "target"})
        EXPECT_NE(std::find(verbs.begin(), verbs.end(), verb), verbs.end()) << verb;
    EXPECT_EQ(recorded.result, resultLine(played));
    const ReplayOutcome outcome = replay(recorded);
    EXPECT_TRUE(outcome.same) << "recorded " << recorded.result << ", replayed " << outcome.line;
    EXPECT_NE(outcome.line.find("plan=C17,A11,T11=last,U11,A7,S7,C14,U17"), std::string::npos)
        << outcome.line;
}

// A play left before its end stops at the step it was left, with what the player did by then.
TEST_F(Replays, ALevelLeftEarlyStopsWhereItWasLeft) {
    Replay recorded = recordPlay("C13,C3,A15,C19,A9,C8,C11,C5");
    while (!recorded.actions.empty() && recorded.actions.back().step > 3000)
        recorded.actions.pop_back();
    recorded.steps = 3000;
    const ReplayOutcome outcome = replay(recorded);
    EXPECT_EQ(outcome.line.rfind("left lives=10 kills=", 0), 0u) << outcome.line;
    EXPECT_NE(outcome.line.find("time=50.0 "), std::string::npos) << outcome.line;

    recorded.result = outcome.line;
    EXPECT_TRUE(replay(recorded).same);
}

// A replay whose actions changed, or whose data changed, differs; a file that cannot be played is
// refused with its line.
TEST_F(Replays, ChangesShowAndImpossibleReplaysAreRefused) {
    const Replay recorded = recordPlay("C13,C3,A15,C19,A9,C8,C11,C5");

    Replay later = recorded;
    for (ReplayAction& action : later.actions)
        action.step += 600; // every tower ten seconds late
    ReplayOutcome outcome = replay(later);
    EXPECT_FALSE(outcome.same) << outcome.line;

    Replay otherData = recorded;
    otherData.digest = "0000000000000000";
    outcome = replay(otherData);
    EXPECT_TRUE(outcome.same);
    ASSERT_EQ(outcome.warnings.size(), 1u);
    EXPECT_NE(outcome.warnings[0].find("other data"), std::string::npos) << outcome.warnings[0];

    Replay unaffordable = recorded;
    unaffordable.actions[0].step = 0;
    unaffordable.actions[0].line = 7;
    unaffordable.actions[1].step = 0; // two cannons at the start: the second cannot be paid
    unaffordable.actions[1].line = 8;
    outcome = replay(unaffordable);
    EXPECT_FALSE(outcome.same);
    ASSERT_FALSE(outcome.warnings.empty());
    EXPECT_EQ(outcome.warnings[0].rfind("play.txt:8: the recorded build could not be done", 0), 0u)
        << outcome.warnings[0];

    Replay unknownLevel = recorded;
    unknownLevel.level = "Atlantis";
    EXPECT_EQ(refusalOf(unknownLevel),
              "play.txt: the level \"Atlantis\" does not exist (no GAME_DATA/levels/Atlantis.ini)");
    Replay unknownVerb = recorded;
    unknownVerb.actions[2].verb = "teleport";
    unknownVerb.actions[2].line = 9;
    EXPECT_EQ(refusalOf(unknownVerb), "play.txt:9: unknown action \"teleport\"");
    Replay noSuchPlot = recorded;
    noSuchPlot.actions[0].plot = 99;
    noSuchPlot.actions[0].line = 6;
    EXPECT_EQ(refusalOf(noSuchPlot).rfind("play.txt:6: plot 99 is not in the level Vezaz", 0), 0u);
}

// Plays recorded in the game (and a few from the simulator), kept with the tests. A change of rules
// or data that changes how one of them ends shows here; accepting it means recording it again.
TEST_F(Replays, GoldenReplaysEndAsRecorded) {
    const std::filesystem::path folder = "tests/game/golden/replays";
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().extension() == ".txt")
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    ASSERT_GE(files.size(), 3u);
    for (const std::filesystem::path& file : files) {
        std::string message;
        const std::optional<Replay> recorded = readReplayFile(file.string(), message);
        ASSERT_TRUE(recorded) << message;
        std::string refusal;
        const std::optional<ReplayOutcome> outcome = playReplay(*window, *recorded, file.string(), refusal);
        ASSERT_TRUE(outcome) << refusal;
        EXPECT_TRUE(outcome->same) << file << ": recorded " << recorded->result << ", replayed "
                                   << outcome->line;
        for (const std::string& warning : outcome->warnings)
            std::printf("%s\n", warning.c_str());
    }
}

} // namespace
} // namespace hm
