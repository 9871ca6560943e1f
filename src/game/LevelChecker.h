// Checks level files and level models against what the game expects of them, one rule per check,
// and reports each problem as a Finding in compiler form:
//
//   GAME_DATA/levels/Vezaz.ini:14: error: unknown monster kind "walkng" (floating, walking, massive)
//   GAME_DATA/models/Vezaz.fbx: node "TowerBase[3]": warning: plot 0.4 units from road 1 (at least 1)
//
// A level model is loaded into a scene of its own on a headless window (no display, no rules, no
// HUD), exactly as the game imports it, so that roads come from the path animations, the first
// camera stands where the "Intro" flight leaves it and click rays meet the model's collision
// bodies. Every plot gets the game's tower base, as in play. The rules read the loaded tree, so a
// test can move, rename or remove nodes of a shipped model before running one.
//
// Errors are what stops a level from playing as designed (a missing road, an unknown monster
// kind, a plot the player cannot see); warnings are what makes it harder to play (a plot near the
// road, a monster too small on screen). docs/level-design.md lists every rule with its figure.
#pragma once

#include "game/LevelDefinition.h"
#include "game/LevelLegibility.h"
#include "game/Road.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace hm {

class CameraNode;
class Node3D;
class Scene;
class Window;

// The figures of the rules that are not legibility figures (those are in LevelLegibility.h).
namespace checks {
// A road shorter than this is most likely a broken path animation (Vezaz's is 28.8 units).
inline constexpr float kMinimumRoadLength = 10.0f;
// A road's spawn point stands this close to where its path animation starts.
inline constexpr float kSpawnPointReach = 0.5f;
// A road ends this close to the core (on the ground plane, from "PlayerCore"'s origin).
inline constexpr float kRoadEndReach = 3.0f;
// Every plot keeps this far from every road (on the ground plane)...
inline constexpr float kPlotRoadClearance = 1.0f;
// ... and at least one road passes within a cannon tower's range, or no tower can reach it.
inline constexpr float kPlotRoadReach = 3.0f;
// A plot keeps this far (on the ground plane) from the box around each part of the core.
inline constexpr float kPlotCoreClearance = 0.5f;
} // namespace checks

// The game's own models a level is measured with: the tower base every plot becomes and the
// monsters that walk its roads.
struct CheckPrototypes {
    struct Monster {
        EnemyType type;
        Bounds box; // its meshes in its own frame, unscaled
        float scale = 1.0f;
    };
    std::unique_ptr<Node3D> towerBase;
    std::vector<Monster> monsters;

    // Findings name a prototype file that cannot be read; the rules that need it are then skipped.
    static CheckPrototypes load(std::vector<Finding>& findings);
};

// A level model loaded for checking, in a started scene of its own.
class LevelModel {
public:
    // path: the model file (e.g. "GAME_DATA/models/Vezaz.fbx"); null after findings saying why the
    // file cannot be used (missing, refused by the importer's pre-check, not readable).
    static std::unique_ptr<LevelModel> load(Window& window, const std::string& path,
                                            std::vector<Finding>& findings);
    ~LevelModel();
    LevelModel(const LevelModel&) = delete;
    LevelModel& operator=(const LevelModel&) = delete;

    const std::string& file() const { return file_; }
    Scene& scene() const { return *scene_; }
    Node3D& root() const;
    Window& window() const { return window_; }

private:
    LevelModel(Window& window, std::string file, std::unique_ptr<Scene> scene);
    Window& window_;
    std::string file_;
    std::unique_ptr<Scene> scene_;
};

// A plot placeholder: a node whose base name is "TowerBase".
struct PlotNode {
    Node3D* node = nullptr;
    int number = 0; // N of "TowerBase[N]"; 0 when the name carries no number
};

// What the model rules read, gathered once from the tree as it stands.
struct LevelModelFacts {
    LevelModel* model = nullptr;
    const CheckPrototypes* prototypes = nullptr;
    std::vector<Road> roads;
    std::vector<PlotNode> plots; // in tree order (the order in which the game numbers them)
    Node3D* core = nullptr;
    CameraNode* camera = nullptr;
    bool hasIntro = false;
    std::optional<ScreenView> view; // camera_main at the end of the intro flight
    // Nodes with a collision body that are neither the ground ("Terrain", "Road"), a plot, nor
    // part of the core.
    std::vector<Node3D*> scenery;

    const std::string& file() const;
};

// Gives every plot its tower base (as in play), plays the intro flight and gathers the facts.
LevelModelFacts gatherFacts(LevelModel& model, const CheckPrototypes& prototypes);

// The rules. Each adds its findings and nothing else; model rules name the model file and a node.
namespace rules {
// A level file as the game reads it (every finding of the reader: unknown keys and monster kinds,
// numbers out of range, a missing schedule...).
LevelDefinition levelFile(const std::string& path, const std::string& name, std::vector<Finding>& out);
// The campaign list reads cleanly and every level it lists has its file.
void campaign(const std::string& path, std::vector<Finding>& out);
// The level's model file exists in GAME_DATA/models.
void modelFileNamed(const LevelDefinition& level, std::vector<Finding>& out);

void cameraMain(const LevelModelFacts& facts, std::vector<Finding>& out);
void core(const LevelModelFacts& facts, std::vector<Finding>& out);
// Road 1 exists; every road has its spawn point near its start; no road number is skipped.
void roadsPresent(const LevelModelFacts& facts, std::vector<Finding>& out);
void roadsLongEnough(const LevelModelFacts& facts, std::vector<Finding>& out);
void roadsEndAtCore(const LevelModelFacts& facts, std::vector<Finding>& out);
// Every schedule entry of the level file names a road the model has.
void scheduleRoads(const LevelDefinition& level, const LevelModelFacts& facts, std::vector<Finding>& out);
// TowerBase[1]..TowerBase[N]: at least one, each with a number, none twice, none missing.
void plotNumbers(const LevelModelFacts& facts, std::vector<Finding>& out);
// Each plot clear of every road, and within a cannon's range of at least one.
void plotsBesideRoads(const LevelModelFacts& facts, std::vector<Finding>& out);
void plotsClearOfCore(const LevelModelFacts& facts, std::vector<Finding>& out);
// Scenery bodies keep off every plot and every road.
void sceneryClear(const LevelModelFacts& facts, std::vector<Finding>& out);
// From camera_main at the end of the intro: every plot in the picture, and reached by click rays.
void plotsInFrame(const LevelModelFacts& facts, std::vector<Finding>& out);
void plotsInSight(const LevelModelFacts& facts, std::vector<Finding>& out);
// Legibility: monsters tall enough all along every road, plots wide enough.
void monstersLegible(const LevelModelFacts& facts, std::vector<Finding>& out);
void plotsLegible(const LevelModelFacts& facts, std::vector<Finding>& out);
} // namespace rules

// Runs every model rule (and the schedule's roads when a level is given).
void checkLevelModel(const LevelModelFacts& facts, const LevelDefinition* level, std::vector<Finding>& out);

// Checks files as hollowmere-check does, loading each model once.
class LevelChecker {
public:
    explicit LevelChecker(Window& window);
    ~LevelChecker();

    // Every level of the game: the campaign list, each level file it names and their models.
    void checkGame();
    // A level file (its model too, when withModel), the campaign file, or a model file, told apart
    // by name and extension.
    void checkFile(const std::string& path);
    void checkLevelFile(const std::string& path, bool withModel);
    void checkModelFile(const std::string& path, const LevelDefinition* level);

    const std::vector<Finding>& findings() const { return findings_; }
    int errorCount() const;
    int fileCount() const { return static_cast<int>(checkedFiles_.size()); }

private:
    struct LoadedModel;
    LoadedModel* loadModel(const std::string& path);

    Window& window_;
    std::vector<Finding> findings_;
    std::optional<CheckPrototypes> prototypes_;
    std::vector<std::unique_ptr<LoadedModel>> models_;
    std::vector<std::string> checkedFiles_;
};

} // namespace hm
