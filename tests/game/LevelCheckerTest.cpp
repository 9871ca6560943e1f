// The level checker's rules, each shown on a small broken fixture with the message a designer
// reads: level files as text written to a scratch folder, models as the shipped Vezaz model with
// nodes moved, renamed or added in memory before the rule runs. Every shipped level checks clean.
#include "game/LevelChecker.h"

#include "animation/Animation.h"
#include "animation/NodeAnimator.h"
#include "app/AssetLocations.h"
#include "app/Window.h"
#include "game/LevelCoordinator.h"
#include "game/LevelScene.h"
#include "game/LevelSimulator.h"
#include "game/Tower.h"
#include "render/CameraNode.h"
#include "scene/EmptyNode.h"
#include "scene/Scene.h"

#include <glm/gtc/matrix_transform.hpp>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>

namespace hm {
namespace {

namespace fs = std::filesystem;

const std::string kVezaz = kModelsFolder + "Vezaz.fbx";

std::vector<std::string> texts(const std::vector<Finding>& findings) {
    std::vector<std::string> out;
    for (const Finding& finding : findings)
        out.push_back(finding.text());
    return out;
}

// Whether text matches a pattern in which "..." stands for any run of characters (a measured
// figure, say).
bool matches(const std::string& text, const std::string& pattern) {
    std::size_t at = 0, from = 0;
    bool first = true;
    while (true) {
        const std::size_t gap = pattern.find("...", from);
        const std::string piece =
            pattern.substr(from, gap == std::string::npos ? std::string::npos : gap - from);
        if (gap == std::string::npos) {
            if (first)
                return text == piece;
            return text.size() >= at + piece.size() &&
                   text.compare(text.size() - piece.size(), piece.size(), piece) == 0;
        }
        const std::size_t found = first ? (text.compare(0, piece.size(), piece) == 0 ? 0 : std::string::npos)
                                        : text.find(piece, at);
        if (found == std::string::npos)
            return false;
        at = found + piece.size();
        from = gap + 3;
        first = false;
    }
}

// Each expected line matches one finding, in any order; nothing else may be found.
void expectFindings(const std::vector<Finding>& findings, const std::vector<std::string>& expected) {
    std::vector<std::string> left = texts(findings);
    for (const std::string& line : expected) {
        const auto it = std::find_if(left.begin(), left.end(),
                                     [&](const std::string& text) { return matches(text, line); });
        if (it == left.end())
            ADD_FAILURE() << "missing: " << line;
        else
            left.erase(it);
    }
    for (const std::string& text : left)
        ADD_FAILURE() << "unexpected: " << text;
}

Node3D& node(Node3D& root, const std::string& name) {
    Node3D* found = root.findByName(name);
    if (!found)
        throw std::runtime_error("the Vezaz model has no node " + name);
    return *found;
}

void moveTo(Node3D& node, const glm::vec3& world) {
    glm::mat4 matrix = node.getWorldMatrix();
    matrix[3] = glm::vec4(world, 1.0f);
    node.setWorldMatrix(matrix);
}

// A scratch folder for level-file fixtures, removed afterwards.
class ScratchFolder {
public:
    ScratchFolder()
        : path_(fs::temp_directory_path() /
                ("hm-check-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name())) {
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~ScratchFolder() { fs::remove_all(path_); }
    std::string write(const std::string& name, const std::string& text) const {
        const fs::path file = path_ / name;
        std::ofstream(file) << text;
        return file.string();
    }

private:
    fs::path path_;
};

class LevelCheck : public testing::Test {
protected:
    void SetUp() override {
        std::vector<Finding> findings;
        prototypes = CheckPrototypes::load(findings);
        ASSERT_TRUE(findings.empty()) << texts(findings).front();
    }

    std::unique_ptr<LevelModel> loadVezaz() {
        std::vector<Finding> findings;
        auto model = LevelModel::load(*window, kVezaz, findings);
        EXPECT_TRUE(findings.empty()) << texts(findings).front();
        return model;
    }

    std::unique_ptr<Window> window = Window::headless(800, 800);
    CheckPrototypes prototypes;
};

// One model rule on the Vezaz model broken in one way.
struct ModelCase {
    const char* name;
    std::function<void(Node3D& root)> breakIt;
    std::function<void(const LevelModelFacts&, std::vector<Finding>&)> rule;
    std::vector<std::string> expected;
};

void PrintTo(const ModelCase& c, std::ostream* os) {
    *os << c.name;
}

const std::string V = kVezaz + ": ";

const std::vector<ModelCase> kModelCases = {
    {"CameraMissing",
     [](Node3D& root) { node(root, "camera_main").setName("camera_spare"); },
     rules::cameraMain,
     {V +
      "error: there is no camera \"camera_main\" (the player's view; plots and legibility are not checked)"}},
    {"CoreMissing",
     [](Node3D& root) { node(root, "PlayerCore").setName("Heart"); },
     rules::core,
     {V + "error: there is no core \"PlayerCore\" (what the monsters attack)"}},
    {"NoRoad",
     [](Node3D& root) { node(root, "EnemyPathNode").setName("Carrier"); },
     rules::roadsPresent,
     {V + "error: there is no road 1: there is no node \"EnemyPathNode\""}},
    {"SpawnPointMissing",
     [](Node3D& root) { node(root, "EnemySpawnPoint").setName("Gate"); },
     rules::roadsPresent,
     {V + "error: road 1 has no spawn point \"EnemySpawnPoint\""}},
    {"SpawnPointAway",
     [](Node3D& root) {
         node(root, "EnemySpawnPoint").translateGlobal({2.0f, 0.0f, 0.0f});
     },
     rules::roadsPresent,
     {V +
      "node \"EnemySpawnPoint\": warning: spawn point 2.00 units from the start of road 1 (at most 0.5)"}},
    {"SecondRoadWithoutPath",
     [](Node3D& root) { node(root, "EnemyPaths").createChild<EmptyNode>("EnemyPathNode2"); },
     rules::roadsPresent,
     {V + "error: road 2 is incomplete: there is no animation \"EnemyPath2\""}},
    {"RoadNumberSkipped",
     [](Node3D& root) { node(root, "EnemyPaths").createChild<EmptyNode>("EnemyPathNode3"); },
     rules::roadsPresent,
     {V + "error: road 3 is never used: road 2 (\"EnemyPathNode2\" with its animation \"EnemyPath2\") is "
          "missing or incomplete"}},
    {"RoadTooShort",
     [](Node3D& root) { node(root, "EnemyPaths").scale(0.25f, 0.25f, 0.25f); },
     rules::roadsLongEnough,
     {V + "error: road 1 (\"EnemyPath\") is ... units long (at least 10)"}},
    {"RoadMissesTheCore",
     [](Node3D& root) {
         node(root, "PlayerCore").translateGlobal({0.0f, 0.0f, 10.0f});
     },
     rules::roadsEndAtCore,
     {V + "warning: road 1 ends ...units from the core (at most 3)"}},
    {"PlotNumberTwice",
     [](Node3D& root) { node(root, "TowerBase[5]").setName("TowerBase[3]"); },
     rules::plotNumbers,
     {V + "node \"TowerBase[3]\": error: plot 3 is there twice",
      V + "error: plot 5 is missing (the plots are numbered from 1 without gaps)"}},
    {"PlotNumbersSkipped",
     [](Node3D& root) { node(root, "TowerBase[21]").setName("TowerBase[24]"); },
     rules::plotNumbers,
     {V + "error: plots 21 to 23 are missing (the plots are numbered from 1 without gaps)"}},
    {"PlotWithoutNumber",
     [](Node3D& root) { node(root, "TowerBase[21]").setName("TowerBase"); },
     rules::plotNumbers,
     {V + "node \"TowerBase\": error: a plot is named \"TowerBase[N]\" with N from 1"}},
    {"PlotCopiedInBlender",
     [](Node3D& root) { node(root, "TowerBase[21]").setName("TowerBase[21].001"); },
     rules::plotNumbers,
     {V + "node \"TowerBase[21].001\": warning: not a plot: the game takes only nodes named \"TowerBase[N]\" "
          "for plots"}},
    {"NoPlots",
     [](Node3D& root) {
         for (int n = 1; n <= 21; ++n)
             node(root, "TowerBase[" + std::to_string(n) + "]").setName("Stone" + std::to_string(n));
     },
     rules::plotNumbers,
     {V + "error: there are no plots (\"TowerBase[1]\", \"TowerBase[2]\", ...)"}},
    {"PlotOnTheRoad",
     [](Node3D& root) {
         // A point of the road's guide: the start, where the carrier template stands.
         moveTo(node(root, "TowerBase[3]"), node(root, "EnemySpawnPoint").getWorldPosition());
     },
     rules::plotsBesideRoads,
     {V + "node \"TowerBase[3]\": warning: plot 0.00 units from the road (at least 1)"}},
    {"PlotOutOfReach",
     [](Node3D& root) {
         node(root, "TowerBase[1]").translateGlobal({-6.0f, 0.0f, 0.0f});
     },
     rules::plotsBesideRoads,
     {V +
      "node \"TowerBase[1]\": warning: plot ...units from the nearest road: no tower reaches it (at most 3, "
      "a cannon's range)"}},
    {"PlotOnTheCore",
     [](Node3D& root) {
         moveTo(node(root, "TowerBase[21]"),
                node(root, "PlayerCore").getWorldPosition() + glm::vec3(0, 0.35f, 0));
     },
     rules::plotsClearOfCore,
     {V + "node \"TowerBase[21]\": warning: plot 0.00 units from the core (at least 0.5)"}},
    {"BoulderOnAPlot",
     [](Node3D& root) {
         Node3D& boulder = node(root, "Boulder1");
         moveTo(boulder, node(root, "TowerBase[1]").getWorldPosition() * glm::vec3(1, 0, 1) +
                             glm::vec3(0, boulder.getWorldPosition().y, 0));
     },
     rules::sceneryClear,
     {V + "node \"TowerBase[1]\": warning: plot 0.00 units from the body of \"Boulder1\" (at least 0.8)"}},
    {"BoulderOnTheRoad",
     [](Node3D& root) {
         Node3D& boulder = node(root, "Boulder2");
         moveTo(boulder, node(root, "EnemySpawnPoint").getWorldPosition() * glm::vec3(1, 0, 1) +
                             glm::vec3(0, boulder.getWorldPosition().y, 0));
     },
     rules::sceneryClear,
     {V + "node \"Boulder2\": warning: its collision body stands on road 1 at (-6.0, -5.0) (at least 0.7 "
          "units "
          "away)",
      V + "node \"TowerBase[2]\": warning: plot ...units from the body of \"Boulder2\" (at least 0.8)"}},
    {"PlotOutOfThePicture",
     [](Node3D& root) {
         node(root, "TowerBase[7]").translateGlobal({0.0f, 0.0f, 12.0f});
     },
     rules::plotsInFrame,
     {V +
      "node \"TowerBase[7]\": error: plot outside the picture of \"camera_main\" at the end of \"Intro\""}},
    {"PlotUnderground",
     [](Node3D& root) {
         node(root, "TowerBase[8]").translateGlobal({0.0f, -3.0f, 0.0f});
     },
     rules::plotsInSight,
     {V + "node \"TowerBase[8]\": error: plot hidden behind \"Terrain\" from \"camera_main\""}},
    {"PlotBehindAnotherPlot",
     [](Node3D& root) {
         // Plot 9 lifted into the line of sight from where the intro leaves the camera to plot 8.
         Node3D& camera = node(root, "camera_main");
         const auto intro = root.getScene()->nodeAnimator().stashed("Intro");
         const glm::vec3 eye(camera.getParent()->getWorldMatrix() *
                             intro->channels.front().sample(intro->durationTicks())[3]);
         const glm::vec3 plot = node(root, "TowerBase[8]").getWorldPosition();
         moveTo(node(root, "TowerBase[9]"), plot + 0.2f * (eye - plot) + glm::vec3(0.0f, 0.15f, 0.0f));
     },
     rules::plotsInSight,
     {V + "node \"TowerBase[8]\": error: plot hidden behind \"TowerBase[9]\" from \"camera_main\""}},
    {"RoadOutOfThePicture",
     [](Node3D& root) {
         node(root, "EnemyPaths").translateGlobal({25.0f, 0.0f, 0.0f});
     },
     rules::monstersLegible,
     {V + "warning: road 1 leaves the picture of \"camera_main\" at ..."}},
    {"SmallPlot",
     [](Node3D& root) { node(root, "TowerBase[8]").scale(0.5f, 0.5f, 0.5f); },
     rules::plotsLegible,
     {V + "node \"TowerBase[8]\": warning: plot ...pixels across (at least 30 at 800x800)"}},
};

class ModelRule : public LevelCheck, public testing::WithParamInterface<ModelCase> {};

TEST_P(ModelRule, ReportsTheBrokenModel) {
    const ModelCase& c = GetParam();
    auto model = loadVezaz();
    ASSERT_NE(model, nullptr);
    c.breakIt(model->root());
    const LevelModelFacts facts = gatherFacts(*model, prototypes);
    std::vector<Finding> findings;
    c.rule(facts, findings);
    expectFindings(findings, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Vezaz, ModelRule, testing::ValuesIn(kModelCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Monsters smaller than the game's: the legibility figures of every kind are missed.
TEST_F(LevelCheck, SmallMonstersAreHardToRead) {
    auto model = loadVezaz();
    ASSERT_NE(model, nullptr);
    CheckPrototypes small;
    for (CheckPrototypes::Monster monster : prototypes.monsters) {
        monster.scale *= 0.25f;
        small.monsters.push_back(monster);
    }
    const LevelModelFacts facts = gatherFacts(*model, prototypes);
    LevelModelFacts withSmall = facts;
    withSmall.prototypes = &small;
    std::vector<Finding> findings;
    rules::monstersLegible(withSmall, findings);
    expectFindings(findings,
                   {V + "warning: floating monster ...pixels tall on road 1 (at least 10 at 800x800)",
                    V + "warning: walking monster ...pixels tall on road 1 (at least 24 at 800x800)",
                    V + "warning: massive monster ...pixels tall on road 1 (at least 40 at 800x800)"});
}

// Level files: the reader's findings, the model they name, the roads their schedule names.
TEST_F(LevelCheck, LevelFileRules) {
    const ScratchFolder folder;
    struct Case {
        const char* text;
        std::vector<std::string> expected; // "FILE" stands for the fixture's path
    };
    const Case cases[] = {
        {"[level]\nname = Typo\nmodel = Vezaz.fbx\nlives = 10\nresources = 300\nincome = 5\n"
         "income_interval = 2\ntwo_stars = 5\nthree_stars = 9\n[schedule]\nfloating = 1\nwalkng = 5\n",
         {"FILE:12: error: unknown monster kind \"walkng\" (floating, walking, massive)"}},
        {"[level]\nname = Lost\nmodel = Nowhere.fbx\nlives = 10\nresources = 300\nincome = 5\n"
         "income_interval = 2\ntwo_stars = 5\nthree_stars = 9\n[schedule]\nfloating = 1\n",
         {"FILE:3: error: the model GAME_DATA/models/Nowhere.fbx does not exist"}},
        {"[level]\nname = Fork\nmodel = Vezaz.fbx\nlives = 10\nresources = 300\nincome = 5\n"
         "income_interval = 2\ntwo_stars = 5\nthree_stars = 9\n[schedule]\nfloating = 1\nwalking = 5, 2\n",
         {"FILE:12: error: road 2 is not in the model Vezaz.fbx (1 road)"}},
        // A schedule the game refuses still has its roads checked.
        {"[level]\nname = Both\nmodel = Vezaz.fbx\nlives = 10\nresources = 300\nincome = 5\n"
         "income_interval = 2\ntwo_stars = 5\nthree_stars = 9\n[schedule]\nwalkng = 1\nwalking = 5, 3\n",
         {"FILE:11: error: unknown monster kind \"walkng\" (floating, walking, massive)",
          "FILE:12: error: road 3 is not in the model Vezaz.fbx (1 road)"}},
        // The fifth fixture's file is "Level 5.ini": a name the game cannot ask for.
        {"[level]\nname = Spaced\nmodel = Vezaz.fbx\nlives = 10\nresources = 300\nincome = 5\n"
         "income_interval = 2\ntwo_stars = 5\nthree_stars = 9\n[schedule]\nfloating = 1\n",
         {"FILE: error: \"Level 5\" is not a level name (letters, digits, '_' and '-'): the game cannot load "
          "it"}},
    };
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const std::string path =
            folder.write(++index == 5 ? "Level 5.ini" : "Level" + std::to_string(index) + ".ini", c.text);
        LevelChecker checker(*window);
        checker.checkLevelFile(path, true);
        std::vector<std::string> expected;
        for (std::string line : c.expected)
            expected.push_back(line.replace(0, 4, path));
        expectFindings(checker.findings(), expected);
    }
}

TEST_F(LevelCheck, CampaignRules) {
    const ScratchFolder folder;
    const std::string known = folder.write("Known.ini", "[level]\nname = Known\n");
    (void)known;
    const std::string listed =
        folder.write("campaign.ini", "; the levels\n[campaign]\nlevel = Known\nlevel = Missing\n");
    const std::string folderPath = fs::path(listed).parent_path().string();
    std::vector<Finding> findings;
    rules::campaign(listed, findings);
    expectFindings(
        findings, {listed + ":4: error: level \"Missing\" has no level file " + folderPath + "/Missing.ini"});

    const std::string empty = folder.write("campaign.ini", "[campaign]\n");
    findings.clear();
    rules::campaign(empty, findings);
    expectFindings(findings, {empty + ": error: lists no level (\"level = NAME\" in [campaign])"});
}

// A file that is not a model at all, and one that is not there: found, said, no crash.
TEST_F(LevelCheck, UnreadableModels) {
    const ScratchFolder folder;
    const std::string garbage = folder.write("Garbage.fbx", "Kaydara FBX Binary  \0\x1a\0 not really");
    std::vector<Finding> findings;
    EXPECT_EQ(LevelModel::load(*window, garbage, findings), nullptr);
    EXPECT_EQ(LevelModel::load(*window, garbage + ".gone.fbx", findings), nullptr);
    expectFindings(findings,
                   {garbage + ": error: ...", garbage + ".gone.fbx: error: the model file does not exist"});
    EXPECT_EQ(findings.front().severity, Severity::Error);
}

// The checker looks from the same place as the game: camera_main at the end of the intro, in
// the level scene as played, sees every plot at the size the checker measures.
TEST_F(LevelCheck, SeesWhatTheGameShows) {
    auto model = loadVezaz();
    ASSERT_NE(model, nullptr);
    const LevelModelFacts facts = gatherFacts(*model, prototypes);
    ASSERT_TRUE(facts.view);

    LevelScene scene("Vezaz");
    scene.start(*window);
    scene.setAspectRatio(1.0f);
    playUntilIntroEnds(scene, *window);
    ASSERT_NE(scene.activeCamera(), nullptr);
    const ScreenView gameView(*scene.activeCamera());
    EXPECT_LT(glm::length(gameView.eye() - facts.view->eye()), 1e-3f);

    const std::vector<TowerBase*>& bases = scene.coordinator().towerBases();
    ASSERT_EQ(bases.size(), facts.plots.size());
    for (const PlotNode& plot : facts.plots) {
        ASSERT_GE(plot.number, 1);
        const TowerBase& base = *bases[static_cast<std::size_t>(plot.number) - 1];
        EXPECT_NEAR(plotOnScreen(*facts.view, meshBounds(*plot.node)).acrossPixels,
                    plotOnScreen(gameView, meshBounds(base)).acrossPixels, 0.05f)
            << plot.node->getName();
    }
}

// The game numbers its plots by their names, whatever order the file lists them in.
TEST(PlotNumbers, FollowTheNames) {
    EXPECT_EQ(TowerBase::placeholderNumber("TowerBase[7]"), 7);
    for (const char* name : {"TowerBase", "TowerBase[0]", "TowerBase[-2]", "TowerBase[x]", "TowerBase[3].001",
                             "TowerBase7", "Tower[3]", "TowerBase[]"})
        EXPECT_EQ(TowerBase::placeholderNumber(name), 0) << name;

    std::vector<std::unique_ptr<EmptyNode>> nodes;
    std::vector<Node3D*> placeholders;
    for (const char* name : {"TowerBase[10]", "TowerBase", "TowerBase[2]", "TowerBase[1]"}) {
        nodes.push_back(std::make_unique<EmptyNode>(name));
        placeholders.push_back(nodes.back().get());
    }
    TowerBase::sortPlaceholders(placeholders);
    std::vector<std::string> names;
    for (const Node3D* n : placeholders)
        names.push_back(n->getName());
    EXPECT_EQ(names,
              (std::vector<std::string>{"TowerBase[1]", "TowerBase[2]", "TowerBase[10]", "TowerBase"}));
}

// Every level the game ships checks without an error: the campaign's levels and any other level
// file of the folder (warnings are printed for the designer).
TEST_F(LevelCheck, ShippedLevelsAreClean) {
    LevelChecker checker(*window);
    checker.checkGame();
    const std::vector<std::string> campaign = campaignLevels();
    EXPECT_FALSE(campaign.empty());
    for (const auto& entry : fs::directory_iterator(kDataFolder + "levels")) {
        const std::string name = entry.path().stem().string();
        if (entry.path().extension() == ".ini" && name != "campaign" &&
            std::find(campaign.begin(), campaign.end(), name) == campaign.end())
            checker.checkLevelFile(entry.path().string(), true);
    }
    for (const Finding& finding : checker.findings())
        std::printf("[check] %s\n", finding.text().c_str());
    std::printf("[check] %d files checked\n", checker.fileCount());
    EXPECT_EQ(checker.errorCount(), 0);
}

} // namespace
} // namespace hm
