#include "game/LevelSimulator.h"

#include "game/LevelDefinition.h"

#include "app/Window.h"
#include "game/Enemy.h"
#include "game/LevelCoordinator.h"
#include "game/LevelScene.h"

#include <glm/geometric.hpp>

#include <algorithm>
#include <ostream>

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

// Upgrades, sales and targets on a plot's tower read and write as U, S and T steps.
TEST(BuildPlan, ParsesUpgradesSalesAndTargets) {
    std::string error;
    auto plan = parsePlan("A7,u7,T7=strongest,S7,t3=closest", error);
    ASSERT_TRUE(plan) << error;
    EXPECT_EQ(*plan,
              (std::vector<PlannedTower>{{TowerType::ARROW, 7},
                                         {TowerType::ARROW, 7, PlanAction::Upgrade},
                                         {TowerType::ARROW, 7, PlanAction::Target, TargetingMode::Strongest},
                                         {TowerType::ARROW, 7, PlanAction::Sell},
                                         {TowerType::ARROW, 3, PlanAction::Target, TargetingMode::Closest}}));
    EXPECT_EQ(formatPlan(*plan), "A7,U7,T7=strongest,S7,T3=closest");
}

TEST(BuildPlan, RefusesWhatIsNotAPlan) {
    for (const char* text : {"", "C", "B2", "A0", "A-1", "A1,,C2", "A1,", "C2 A3", "A99999", "A1x", "U", "U0",
                             "S7=last", "T7", "T7=", "T7=Strongest", "T7=best", "A7=first", "U7x"}) {
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

// The real level, the real economy, played by the simulator's scripted players.
class VezazPlays : public testing::Test {
protected:
    PlayResult play(PlayerPolicy policy, const std::string& plan = "none", double step = 1.0 / 60.0,
                    int speed = 1, double pace = PlayOptions::kPersonPace) {
        PlayOptions options;
        options.policy = policy;
        options.pace = pace;
        options.plan = parsePlan(plan, error).value();
        options.frameStep = step;
        options.speed = speed;
        return simulator.play(options);
    }

    std::unique_ptr<Window> window = Window::headless(200, 200);
    LevelSimulator simulator{*window, "Vezaz"};
    std::string error;
};

TEST_F(VezazPlays, AnUndefendedValleyIsLost) {
    const PlayResult result = play(PlayerPolicy::Plan, "none");
    EXPECT_FALSE(result.won);
    EXPECT_EQ(result.lives, 0);
    EXPECT_EQ(result.kills, 0);
    EXPECT_TRUE(result.built.empty());
}

// At a person's pace: nothing before the intro has ended, a few seconds per tower.
TEST_F(VezazPlays, TheGreedyPlayerWins) {
    const PlayResult result = play(PlayerPolicy::Greedy);
    EXPECT_TRUE(result.won) << "lives " << result.lives << ", plan " << formatPlan(result.built);
    EXPECT_GE(result.lives, 5);
    EXPECT_EQ(result.kills + (10 - result.lives), 18) << "every monster is killed or reached the core";
}

// The designer's targets that single plans can show: one tower alone cannot hold the valley, and
// arrows only or cannons only, built in a sensible order, can.
TEST_F(VezazPlays, OneTowerLosesAndEachTypeAloneCanWin) {
    struct Case {
        PlayerPolicy policy;
        const char* plan;
        bool won;
    };
    // Plots 17 and 11 see the most road; arrows win when built from the gate towards the core, passing by
    // the outlying plots 1, 2 and 10. A single tower loses even at its top level.
    for (const Case& c :
         {Case{PlayerPolicy::Plan, "C17", false}, Case{PlayerPolicy::Plan, "A11", false},
          Case{PlayerPolicy::Plan, "C17,U17,U17", false}, Case{PlayerPolicy::Plan, "C11,U11,U11", false},
          Case{PlayerPolicy::Plan, "A11,U11,U11", false},
          Case{PlayerPolicy::Plan, "A3,A4,A5,A6,A7,A8,A9,A11,A12,A13,A14,A15,A16,A17,A18,A19,A20,A21", true},
          Case{PlayerPolicy::Cannons, "none", true}}) {
        const PlayResult result = play(c.policy, c.plan);
        EXPECT_EQ(result.won, c.won) << policyName(c.policy) << " " << c.plan << ": lives " << result.lives
                                     << ", built " << formatPlan(result.built);
    }
}

// One plan gives the same play however the frames cut the time, and at 2x and 4x. The plans are on
// the edge: one is won with a single life left, one lost with one monster to go, so a frame rate
// that changed anything in the rules would show here. The player acts at once: a person's pace is
// real time, so at a higher speed it would span more of the play.
struct EdgePlan {
    const char* plan;
    bool won;
    int lives;
    int kills;
};

// Test names and messages show the plan.
void PrintTo(const EdgePlan& plan, std::ostream* out) {
    *out << plan.plan;
}

class VezazPlaysOnTheEdge : public VezazPlays, public testing::WithParamInterface<EdgePlan> {};

TEST_P(VezazPlaysOnTheEdge, TheOutcomeDoesNotDependOnTheFrameRate) {
    struct Frames {
        const char* name;
        std::vector<double> times; // seconds, taken in turn
    };
    const std::vector<Frames> frames = {
        {"1/60", {1.0 / 60.0}},
        {"1/30", {1.0 / 30.0}},
        {"1/15", {1.0 / 15.0}},
        {"1/4", {0.25}},
        {"1/120", {1.0 / 120.0}},
        {"1/144", {1.0 / 144.0}},
        {"9,25,16,3,40 ms", {0.009, 0.025, 0.016, 0.003, 0.040}},
    };
    const EdgePlan& p = GetParam();
    const PlayResult reference = play(PlayerPolicy::Plan, p.plan, 1.0 / 60.0, 1, 0.0);
    ASSERT_EQ(reference.won, p.won) << p.plan << " is no longer on the edge: lives " << reference.lives
                                    << ", kills " << reference.kills;
    EXPECT_EQ(reference.lives, p.lives) << p.plan;
    EXPECT_EQ(reference.kills, p.kills) << p.plan;
    for (const Frames& f : frames)
        for (int speed : {1, 2, 4}) {
            PlayOptions options;
            options.plan = parsePlan(p.plan, error).value();
            options.frameTimes = f.times;
            options.speed = speed;
            options.pace = 0.0;
            const PlayResult result = simulator.play(options);
            const std::string where =
                std::string(p.plan) + " at frames " + f.name + ", speed " + std::to_string(speed);
            EXPECT_EQ(result.won, reference.won) << where;
            EXPECT_EQ(result.lives, reference.lives) << where;
            EXPECT_EQ(result.kills, reference.kills) << where;
            EXPECT_EQ(result.time, reference.time) << where;
            EXPECT_EQ(result.resources, reference.resources) << where;
            EXPECT_EQ(result.built, reference.built) << where;
        }
}

// One plan per test, so that the two (each some forty plays) run side by side.
INSTANTIATE_TEST_SUITE_P(WonAndLost, VezazPlaysOnTheEdge,
                         testing::Values(EdgePlan{"C15,C19,A4,C6,C16,A17,A8,C13,A12", true, 1, 18},
                                         EdgePlan{"C13,C19,A21,A8,C1,A3,C10,C6,C7", false, 0, 17}),
                         [](const testing::TestParamInfo<EdgePlan>& info) {
                             return info.param.won ? std::string("Won") : std::string("Lost");
                         });

// The figures are measured on the path animation alone; a walking monster of the real level,
// followed step by step, must see the same road: as long, as slow, and as long within each plot's
// reach.
TEST_F(VezazPlays, FiguresAgreeWithAMonsterWalkingTheRoad) {
    const LevelFigures figures = simulator.figures();
    ASSERT_FALSE(figures.plots.empty());
    ASSERT_EQ(figures.travelTimes.size(), 3u);

    LevelScene scene("Vezaz");
    scene.start(*window);
    LevelCoordinator& rules = scene.coordinator();
    rules.spawnEnemy(EnemyType::WALKING_STONE_MONSTER);
    ASSERT_FALSE(rules.enemies().empty());
    NodeRef<Enemy> walker(rules.enemies().back());
    const float step = static_cast<float>(LevelScene::kSimulationStep);
    const float arrowRange = towerPrototype(TowerType::ARROW).range;
    const float cannonRange = towerPrototype(TowerType::CANNON).range;

    float walked = 0.0f, seconds = 0.0f;
    int samples = 0;
    std::vector<int> inArrowRange(figures.plots.size()), inCannonRange(figures.plots.size());
    glm::vec3 last = walker->getWorldPosition();
    while (walker && walker->state() != EnemyState::Attacking && seconds < 1000.0f) {
        scene.update(*window, step);
        if (!walker)
            break;
        const glm::vec3 now = walker->getWorldPosition();
        walked += glm::length(now - last);
        last = now;
        seconds += step;
        ++samples;
        for (std::size_t i = 0; i < figures.plots.size(); ++i) {
            const float distance = glm::length(now - figures.plots[i].position);
            inArrowRange[i] += distance <= arrowRange;
            inCannonRange[i] += distance <= cannonRange;
        }
    }
    ASSERT_TRUE(walker) << "the walking monster was removed on its way";
    ASSERT_EQ(walker->state(), EnemyState::Attacking) << "the walking monster never reached the core";
    EXPECT_NEAR(walked, figures.pathLength, 0.02f * figures.pathLength);
    EXPECT_NEAR(seconds, figures.travelTimes[1].second, 2.0f * step);
    for (std::size_t i = 0; i < figures.plots.size(); ++i) {
        const float arrow = static_cast<float>(inArrowRange[i]) / static_cast<float>(samples);
        const float cannon = static_cast<float>(inCannonRange[i]) / static_cast<float>(samples);
        EXPECT_NEAR(figures.plots[i].arrowShare, arrow, 0.01f) << "plot " << figures.plots[i].index;
        EXPECT_NEAR(figures.plots[i].cannonShare, cannon, 0.01f) << "plot " << figures.plots[i].index;
    }
}

// A person acts only after the intro and then at most once per pace; a perfect player at once.
TEST_F(VezazPlays, APersonBuildsAtTheirPace) {
    const LevelFigures figures = simulator.figures();
    ASSERT_GT(figures.introSeconds, 1.0f);
    const int start = loadLevelDefinition("Vezaz").resources;
    std::string error;
    PlayOptions options;
    options.plan = parsePlan("A3,A4,A5", error).value();
    options.sampleInterval = 1.0f / 60.0f;
    options.pace = 0.0;
    const PlayResult instant = simulator.play(options);
    ASSERT_FALSE(instant.trace.empty());
    EXPECT_EQ(instant.trace.front().resources, start - 2 * towerPrototype(TowerType::ARROW).cost)
        << "a perfect player builds what it can afford before the first step";

    options.pace = 3.0;
    const PlayResult person = simulator.play(options);
    ASSERT_EQ(person.built.size(), 3u);
    EXPECT_EQ(person.trace.front().resources, start);
    // Resources fall by a tower's price the moment it is built: the trace tells when each was.
    std::vector<float> built;
    for (std::size_t i = 1; i < person.trace.size() && built.size() < 3; ++i)
        if (person.trace[i].resources < person.trace[i - 1].resources)
            built.push_back(person.trace[i].time);
    ASSERT_EQ(built.size(), 3u);
    EXPECT_GE(built[0], figures.introSeconds + 3.0f - 0.02f) << "nothing before the intro, then a pause";
    EXPECT_GE(built[1] - built[0], 3.0f - 0.02f);
    EXPECT_GE(built[2] - built[1], 3.0f - 0.02f);
}

// A plan's upgrades wait until they can be paid, sales and targets happen at once, and steps on
// a plot without a tower are skipped; the greedy player upgrades as well as it builds.
TEST_F(VezazPlays, PlansUpgradeSellAndRetarget) {
    const PlayResult result =
        play(PlayerPolicy::Plan, "U11,A11,U11,T11=last,U11,U11,S11,T11=first,C17", 1.0 / 60.0, 1, 0.0);
    EXPECT_EQ(formatPlan(result.built), "A11,U11,T11=last,U11,S11,C17")
        << "the first U11 and the fourth (past the top level) and the last T11 (no tower) are skipped";

    const PlayResult greedy = play(PlayerPolicy::Greedy);
    EXPECT_TRUE(std::any_of(greedy.built.begin(), greedy.built.end(), [](const PlannedTower& step) {
        return step.action == PlanAction::Upgrade;
    })) << formatPlan(greedy.built);
}

} // namespace
} // namespace hm
