// Plays a level without a player at the keyboard: a scripted player builds, upgrades, sells and
// retargets towers by a plan or a built-in policy while the level runs as fast as the machine allows, at a
// chosen frame step and game speed. Nothing is drawn. Used by the hollowmere-sim tool and by the whole-level
// tests.
//
// Every play loads a fresh level scene, exactly as the game does, with the real economy. The
// scripted player acts between two simulation steps at a person's pace: nothing before the intro
// flight has ended, and each action at least `pace` seconds after the previous one and after it
// became affordable (pace 0 is a perfect player that acts the instant it can). A plan therefore
// gives the same play whatever the frame step.
//
// The designer's figures (each road's length and travel times, each plot's share of the roads
// within arrow and cannon range) are measured on the loaded level from the roads' path animations.
#pragma once

#include "game/Prototypes.h"

#include <glm/vec3.hpp>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace hm {

class LevelScene;
struct Replay;
class Window;

// What one step of a plan does on its plot.
enum class PlanAction {
    Build,   // "A3", "C3": a tower of that type
    Upgrade, // "U3": the tower there to its next level
    Sell,    // "S3": the tower there is sold
    Target,  // "T3=strongest": the tower there aims by that mode
};

// One step of a build plan: what is done on the plot with the 1-based index (tb[N]).
struct PlannedTower {
    TowerType type = TowerType::ARROW;
    int plot = 0;
    PlanAction action = PlanAction::Build;
    TargetingMode mode = TargetingMode::First; // for Target
    bool operator==(const PlannedTower&) const = default;
};

// "C2,A10,U2,T2=last,S10,..." (or "none"); nullopt with a reason in error for anything else.
std::optional<std::vector<PlannedTower>> parsePlan(const std::string& text, std::string& error);
std::string formatPlan(const std::vector<PlannedTower>& plan);

// How the scripted player chooses its towers.
enum class PlayerPolicy {
    Plan,    // the given plan, in order
    Random,  // a random free plot and a random type, or now and then an upgrade of a random tower
    Greedy,  // the most damage on the road per coin: a new tower (a cannon when affordable, else an
             // arrow) on the free plot that sees the most road, or the upgrade of a standing one
    Arrows,  // arrows only, plots by their share of road within arrow range
    Cannons, // cannons only, plots by their share of road within cannon range
};
std::optional<PlayerPolicy> parsePolicy(const std::string& name);
const char* policyName(PlayerPolicy policy);

struct PlayOptions {
    PlayerPolicy policy = PlayerPolicy::Plan;
    std::vector<PlannedTower> plan;
    unsigned seed = 1;             // for the random policy
    double frameStep = 1.0 / 60.0; // seconds of real time per frame
    // When not empty, the frames take these seconds in turn, over and over (frameStep unused).
    std::vector<double> frameTimes;
    int speed = 1; // 1, 2 or 4 (the fast-forward button)
    // Seconds a person needs per action (select a plot, pick a card), in real time; 0 also skips
    // the wait for the intro flight.
    double pace = kPersonPace;
    static constexpr double kPersonPace = 3.0;
    // When set, the play is recorded into it as a replay (hollowmere-sim --record).
    Replay* record = nullptr;
    float timeLimit = 1800.0f;   // seconds of play after which a stalled level counts as lost
    float sampleInterval = 0.5f; // seconds of play between two points of the trace
};

struct PlaySample {
    float time = 0.0f;
    int lives = 0;
    int resources = 0;
};

struct PlayResult {
    bool won = false;
    bool left = false; // the level was left before it ended (a replay of such a play)
    int lives = 0;
    int kills = 0;
    float time = 0.0f; // seconds of play (scaled time)
    int resources = 0;
    std::vector<PlannedTower> built; // what the player did (builds, upgrades, ...), in order
    std::vector<PlaySample> trace;
};

struct PlotFigures {
    int index = 0;
    glm::vec3 position{0.0f};
    float arrowShare = 0.0f;  // share of the road's travel time within arrow range
    float cannonShare = 0.0f; // the same within cannon range
    bool seesLastStretch = false;
};

struct RoadFigures {
    int number = 1;
    float length = 0.0f;
    float seconds = 0.0f;                                 // the path animation's length at speed 1
    std::vector<std::pair<EnemyType, float>> travelTimes; // seconds from the gate to the core
    float lastStretch = 0.0f;       // the length of road before the core that "last stretch" means
    std::vector<glm::vec3> samples; // the carrier's world positions, evenly spaced in time
};

struct LevelFigures {
    // Road 1's figures (the only road of most levels).
    float pathLength = 0.0f;
    float pathSeconds = 0.0f;
    std::vector<std::pair<EnemyType, float>> travelTimes;
    float lastStretch = 0.0f;
    std::vector<glm::vec3> road;
    std::vector<RoadFigures> roads; // every road, road 1 first
    // Shares count every road's samples alike: a plot between two roads sees both.
    std::vector<PlotFigures> plots;
    float introSeconds = 0.0f; // the intro flight, before which a person does not act
};

class LevelSimulator {
public:
    // The last share of the road before the core (by travel time) that the figures single out.
    static constexpr float kLastStretchShare = 0.1f;

    LevelSimulator(Window& window, std::string levelName);

    const std::string& levelName() const { return levelName_; }

    // Loads the level once to check that it can be played (a path, a spawn point and plots).
    bool canLoad(std::string& error);
    PlayResult play(const PlayOptions& options);
    LevelFigures figures();

private:
    std::unique_ptr<LevelScene> loadLevel();
    static LevelFigures measure(LevelScene& scene);

    Window& window_;
    std::string levelName_;
};

} // namespace hm
