// What a player sees of the level from the first camera, at the end of the intro flight, in an
// 800 x 800 window: monsters tall enough to tell apart, plots large enough to click, and nothing
// between the camera and a plot. The measuring is the game's own (game/LevelLegibility.h, which
// hollowmere-check uses too); here it runs on the level as the game plays it, and the figures are
// printed for the level designer.
#include "game/LevelLegibility.h"

#include "animation/NodeAnimator.h"
#include "app/Window.h"
#include "game/LevelCoordinator.h"
#include "game/LevelScene.h"
#include "game/LevelSimulator.h"
#include "game/Tower.h"
#include "render/CameraNode.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

namespace hm {
namespace {

// Every level of the campaign, each from its own first camera.
class Legibility : public testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        // The window below is headless: the sizes come from the models, not from drawn pixels.
        scene = std::make_unique<LevelScene>(GetParam());
        scene->start(window);
        scene->setAspectRatio(1.0f);
        ASSERT_NE(scene->nodeAnimator().stashed("Intro"), nullptr);
        playUntilIntroEnds(*scene, window);
        camera = scene->findCamera("camera_main");
        ASSERT_NE(camera, nullptr);
        ASSERT_EQ(scene->activeCamera(), camera);
        view.emplace(*camera);
    }

    std::unique_ptr<Window> headless = Window::headless(800, 800);
    Window& window = *headless;
    std::unique_ptr<LevelScene> scene;
    CameraNode* camera = nullptr;
    std::optional<ScreenView> view;
};

// Every monster, wherever it is on the road, stands tall enough on screen.
TEST_P(Legibility, MonstersStandTallAllAlongTheRoad) {
    const LevelFigures figures = LevelSimulator(window, GetParam()).figures();
    ASSERT_FALSE(figures.road.empty());
    for (const auto& [type, prototype] : enemyPrototypes()) {
        Node3D* model = scene->coordinator().getPrototypeNode(prototype.nodeName);
        ASSERT_NE(model, nullptr) << prototype.nodeName;
        const Bounds box = meshBounds(*model, glm::inverse(model->getWorldMatrix()));
        ASSERT_FALSE(box.empty());
        for (const RoadFigures& road : figures.roads) {
            const MonsterSight sight = monsterOnRoad(*view, road.samples, box, prototype.scale);
            EXPECT_FALSE(sight.offScreenAt) << "road " << road.number << " leaves the screen at "
                                            << sight.offScreenAt->x << ", " << sight.offScreenAt->z;
            std::printf("[figures] %s, %s: %.2f units tall, at least %.1f pixels on road %d\n", GetParam(),
                        prototype.typeName.c_str(),
                        (box.high.y - std::max(box.low.y, 0.0f)) * prototype.scale, sight.smallestPixels,
                        road.number);
            EXPECT_GE(sight.smallestPixels, legibility::minimumMonsterPixels(type)) << prototype.typeName;
        }
    }
}

// Every plot is large on screen, and the first thing a click ray meets on its way to the plot is
// the plot itself.
TEST_P(Legibility, PlotsAreLargeAndUnobstructed) {
    float smallest = std::numeric_limits<float>::max();
    for (TowerBase* base : scene->coordinator().towerBases()) {
        const Bounds box = meshBounds(*base);
        ASSERT_FALSE(box.empty());
        const PlotPicture picture = plotOnScreen(*view, box);
        smallest = std::min(smallest, picture.acrossPixels);
        EXPECT_GE(picture.acrossPixels, legibility::kMinimumPlotPixels) << base->getName();
        EXPECT_TRUE(picture.inFrame) << base->getName();
        const PlotSightLine sight = plotSightLine(scene->physicsScene(), view->eye(), box, *base);
        EXPECT_FALSE(sight.reachesNothing) << base->getName() << " has nothing to click";
        EXPECT_EQ(sight.hiddenBy, nullptr)
            << base->getName() << " is hidden behind " << (sight.hiddenBy ? sight.hiddenBy->getName() : "");
    }
    std::printf("[figures] %s: %zu plots, the smallest %.1f pixels across\n", GetParam(),
                scene->coordinator().towerBases().size(), smallest);
}

// Scenery with a collision body keeps off the road and off the plots.
TEST_P(Legibility, SceneryKeepsOffTheRoadAndThePlots) {
    const LevelFigures figures = LevelSimulator(window, GetParam()).figures();
    std::vector<Node3D*> bodies;
    std::function<void(Node3D&)> collect = [&](Node3D& node) {
        if (node.getBody())
            bodies.push_back(&node);
        for (const auto& child : node.getChildren())
            collect(*child);
    };
    collect(*scene->root3D());
    for (Node3D* node : bodies) {
        const std::string& name = node->getName();
        if (name == "Terrain" || name == "Road" || dynamic_cast<TowerBase*>(node) ||
            name.rfind("tbi[", 0) == 0 || name.rfind("e[", 0) == 0 || name.rfind("ep[", 0) == 0)
            continue;
        const Bounds box = meshBounds(*node);
        if (box.empty())
            continue;
        for (const RoadFigures& road : figures.roads)
            for (const glm::vec3& at : road.samples)
                if (box.flatDistance(at) < legibility::kSceneryRoadClearance) {
                    ADD_FAILURE() << name << " stands on road " << road.number << " at " << at.x << ", "
                                  << at.z;
                    break;
                }
        for (const PlotFigures& plot : figures.plots)
            EXPECT_GE(box.flatDistance(plot.position), legibility::kSceneryPlotClearance)
                << name << " stands on plot " << plot.index;
    }
}

INSTANTIATE_TEST_SUITE_P(Levels, Legibility, testing::Values("Vezaz", "Morrowfen", "Cinderpass"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param);
                         });

} // namespace
} // namespace hm
