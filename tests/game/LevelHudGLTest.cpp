// The level's HUD with the real level: what the pointer reaches, range rings, health bars, card
// figures and the next monster, and a golden picture of it all.
#include "app/InputCodes.h"
#include "app/MouseCursorObserver.h"
#include "game/BuildingCards.h"
#include "game/Enemy.h"
#include "game/HealthBar.h"
#include "game/LevelCoordinator.h"
#include "game/LevelScene.h"
#include "game/RangeRing.h"
#include "game/Tower.h"
#include "game/TowerPanel.h"
#include "render/CameraNode.h"
#include "support/GLTestWindow.h"
#include "support/ImageCompare.h"
#include "support/LogCapture.h"
#include "ui/TextLineNode.h"
#include "ui/UiTestSupport.h"

#include <glm/geometric.hpp>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace hm {
namespace {

constexpr int kSize = 512;

class LevelHudTest : public testing::Test {
protected:
    void SetUp() override {
        test::resize(window, kSize, kSize);
        window.registerCursor("default", "hud/cursor/default.png");
        window.registerCursor("no", "hud/cursor/no.png");
        window.setCursor("default");
        scene = std::make_unique<LevelScene>("Vezaz");
        scene->start(window);
        scene->setAspectRatio(1.0f);
        window.dispatchFramebufferSize(kSize, kSize);
        // The intro flight ends in the play view.
        play(4.5f);
    }
    void play(float seconds, float step = 1.0f / 15.0f) {
        for (float t = 0.0f; t < seconds; t += step)
            scene->update(window, step);
    }
    LevelCoordinator& rules() { return scene->coordinator(); }

    // Window pixel of a world point seen by the active camera.
    glm::dvec2 pixelOf(const glm::vec3& world) {
        const CameraNode& camera = *scene->activeCamera();
        const glm::vec4 clip = camera.getProjection() * camera.getView() * glm::vec4(world, 1.0f);
        const glm::vec2 ndc = glm::vec2(clip) / clip.w;
        return {(ndc.x + 1.0) * 0.5 * kSize, (1.0 - ndc.y) * 0.5 * kSize};
    }
    // Window pixel of the centre of a 2D node.
    glm::dvec2 pixelOf(const Node2D& node) {
        const glm::vec4 centre = node.getWorldMatrix() * glm::vec4(0.5f, 0.5f, 0.0f, 1.0f);
        return {centre.x * kSize, (1.0 - centre.y) * kSize};
    }
    void pointAt(const glm::dvec2& pixel) { window.dispatchCursorPosition(pixel.x, pixel.y); }
    // The world is picked at the end of a frame; the ring follows it in the next one.
    void settle() {
        scene->update(window, 0.0f);
        scene->update(window, 0.0f);
    }
    void click() {
        window.dispatchMouseButton(MouseButton::Left, InputAction::Press, 0);
        window.dispatchMouseButton(MouseButton::Left, InputAction::Release, 0);
    }
    // The plot nearest to the middle of the picture, so that it is surely on screen.
    TowerBase& plotInView() {
        TowerBase* best = nullptr;
        double bestDistance = 1e9;
        for (TowerBase* base : rules().towerBases()) {
            const double d = glm::length(pixelOf(base->getWorldPosition()) - glm::dvec2(kSize / 2.0));
            if (d < bestDistance)
                bestDistance = d, best = base;
        }
        return *best;
    }
    BuildingCard& card(TowerType type) {
        for (const auto& child : panel().children())
            if (auto* c = dynamic_cast<BuildingCard*>(child.get()); c && c->towerType() == type)
                return *c;
        throw std::logic_error("no card");
    }
    BuildingCardPanel& panel() {
        return *dynamic_cast<BuildingCardPanel*>(scene->root2D()->findChild("panelCards"));
    }

    Window& window = test::glWindow();
    std::unique_ptr<LevelScene> scene;
};

// A click on a card the player cannot afford belongs to the card: the plot the pointer came
// from stays selected, although the click arrives before the world has seen the pointer move.
// When the panel slides away under the still pointer, the cursor is the default one again.
TEST_F(LevelHudTest, ACardTakesItsClicksAndTheCursorComesBackWhenThePanelGoes) {
    TowerBase& plot = plotInView();
    pointAt(pixelOf(plot.getWorldPosition()));
    scene->update(window, 0.0f);
    ASSERT_EQ(scene->cursorObserver().hoveredNode(), &plot);
    click();
    ASSERT_EQ(rules().selectedBase(), &plot);
    play(0.6f);
    ASSERT_EQ(panel().slideState(), SlideState::Open);

    rules().setResources(0);
    scene->update(window, 0.0f);
    BuildingCard& cannon = card(TowerType::CANNON);
    EXPECT_FALSE(cannon.affordable());
    EXPECT_FLOAT_EQ(cannon.shade(), BuildingCard::kDimShade);

    pointAt(pixelOf(cannon));
    EXPECT_TRUE(cannon.hovered());
    EXPECT_EQ(window.cursorName(), "no");
    click(); // in the same frame as the move
    EXPECT_EQ(rules().selectedBase(), &plot);
    scene->update(window, 0.0f);
    EXPECT_EQ(scene->cursorObserver().hoveredNode(), nullptr) << "the world under a card is not hovered";
    click();
    EXPECT_EQ(rules().selectedBase(), &plot);
    EXPECT_EQ(panel().slideState(), SlideState::Open);
    // The selected plot previews the hovered card's range.
    ASSERT_TRUE(scene->rangeRing().current());
    EXPECT_EQ(scene->rangeRing().current()->base, &plot);
    EXPECT_EQ(scene->rangeRing().current()->type, TowerType::CANNON);

    // Money arrives while the pointer rests on the card: it lights up and the cursor follows.
    rules().setResources(1000);
    scene->update(window, 0.0f);
    EXPECT_TRUE(cannon.affordable());
    EXPECT_EQ(window.cursorName(), "default");
    rules().setResources(0);
    scene->update(window, 0.0f);
    EXPECT_EQ(window.cursorName(), "no");

    rules().selectTowerBase(nullptr);
    play(1.0f);
    EXPECT_EQ(panel().slideState(), SlideState::Gone);
    EXPECT_FALSE(cannon.hovered());
    EXPECT_EQ(window.cursorName(), "default");
    EXPECT_FALSE(scene->rangeRing().current());
}

// Pixels that differ between two pictures, by quarter around a centre (x right/left, y down/up):
// 0 right-down, 1 left-down, 2 left-up, 3 right-up.
std::array<int, 4> changedByQuarter(const test::Image& a, const test::Image& b, const glm::dvec2& centre) {
    std::array<int, 4> count{};
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x) {
            const auto* p = a.pixel(x, y);
            const auto* q = b.pixel(x, y);
            if (std::abs(p[0] - q[0]) + std::abs(p[1] - q[1]) + std::abs(p[2] - q[2]) < 30)
                continue;
            const bool left = x < centre.x, up = y < centre.y;
            ++count[static_cast<std::size_t>(up ? (left ? 2 : 3) : (left ? 1 : 0))];
        }
    return count;
}

// A tower beside the road shows its whole reach: the ring lies where the tower's 3D range meets
// the ground and the road, and every quarter of it shows at least 80 % of the pixels that the same
// ring shows with nothing else in the world drawn (over grass, road and plinths alike).
TEST_F(LevelHudTest, TheWholeRangeRingShowsOverGrassRoadAndPlinths) {
    // The plot near the middle of the picture whose arrow ring crosses the road the most.
    TowerBase* plot = nullptr;
    std::size_t mostOnRoad = 0;
    const float range = towerPrototype(TowerType::ARROW).range;
    for (TowerBase* base : rules().towerBases()) {
        if (glm::length(pixelOf(base->getWorldPosition()) - glm::dvec2(kSize / 2.0)) > kSize * 0.3)
            continue;
        const auto ring = scene->rangeRing().groundPoints(*base, range);
        const auto onRoad = static_cast<std::size_t>(
            std::count_if(ring.begin(), ring.end(), [](const RangeRing::RingPoint& p) { return p.onRoad; }));
        if (onRoad > mostOnRoad)
            mostOnRoad = onRoad, plot = base;
    }
    ASSERT_NE(plot, nullptr) << "no ring near the middle crosses the road";
    EXPECT_GT(mostOnRoad, static_cast<std::size_t>(RangeRing::kSegments / 8));
    // The ring keeps the 3D reach a tower measures from its plot's top.
    const glm::vec3 top = plot->getWorldPosition();
    for (const RangeRing::RingPoint& p : scene->rangeRing().groundPoints(*plot, range))
        EXPECT_NEAR(glm::length(p.position - top), range, 0.01f);

    rules().setResources(1000);
    plot->build(TowerType::ARROW);
    play(5.0f); // risen, and its construction smoke has cleared
    pointAt(pixelOf(plot->getWorldPosition() + glm::vec3(0.0f, 0.8f, 0.0f)));
    settle();
    ASSERT_TRUE(scene->rangeRing().current());
    EXPECT_EQ(scene->rangeRing().current()->base, plot);
    ASSERT_TRUE(scene->rangeRing().shown());
    EXPECT_FALSE(scene->rangeRing().castsShadow());

    auto picture = [&] {
        scene->render(window, 0.0f);
        return test::readFramebuffer(kSize, kSize);
    };
    const test::Image withRing = picture();
    scene->rangeRing().setShown(false);
    const test::Image withoutRing = picture();
    // The same ring with nothing else of the world drawn.
    std::vector<MeshNode*> hidden;
    std::vector<Node3D*> stack{scene->root3D()};
    while (!stack.empty()) {
        Node3D* node = stack.back();
        stack.pop_back();
        if (auto* mesh = dynamic_cast<MeshNode*>(node); mesh && mesh->shown() && mesh != &scene->rangeRing())
            hidden.push_back(mesh), mesh->setShown(false);
        for (const auto& child : node->getChildren())
            stack.push_back(child.get());
    }
    const test::Image emptyWorld = picture();
    scene->rangeRing().setShown(true);
    const test::Image ringAlone = picture();
    for (MeshNode* mesh : hidden)
        mesh->setShown(true);
    test::savePng("build/range_ring.png", withRing);

    const glm::dvec2 centre = pixelOf(top);
    const auto seen = changedByQuarter(withRing, withoutRing, centre);
    const auto whole = changedByQuarter(ringAlone, emptyWorld, centre);
    for (std::size_t q = 0; q < 4; ++q) {
        std::printf("[figures] ring quarter %zu: %d of %d pixels shown (%.0f %%)\n", q, seen[q], whole[q],
                    whole[q] > 0 ? 100.0 * seen[q] / whole[q] : 0.0);
        EXPECT_GT(whole[q], 50) << "quarter " << q;
        EXPECT_GE(seen[q], 0.8 * whole[q]) << "quarter " << q << " (picture in build/range_ring.png)";
    }

    pointAt({2.0, 2.0}); // the lives panel in the corner
    settle();
    EXPECT_FALSE(scene->rangeRing().shown());
}

// Real clicks: a click on a built tower selects it and slides its panel in; pointing at the upgrade
// button shows the next level's ring; clicking it upgrades; a click on the grass lets the tower go.
TEST_F(LevelHudTest, ClickingATowerOpensItsPanelAndTheUpgradeButtonPreviewsTheNextReach) {
    TowerBase& plot = plotInView();
    rules().setResources(1000);
    plot.build(TowerType::ARROW);
    play(3.0f);
    Tower& tower = *plot.tower();
    pointAt(pixelOf(plot.getWorldPosition() + glm::vec3(0.0f, 1.0f, 0.0f))); // on the tower, above its plot
    settle();
    click();
    ASSERT_EQ(rules().selectedTower(), &tower);
    auto& panel = dynamic_cast<TowerPanel&>(*scene->root2D()->findChild("panelTower"));
    play(0.6f);
    ASSERT_EQ(panel.slideState(), SlideState::Open);
    EXPECT_EQ(panel.title().text(), "Arrow tower, level 1 of 3");
    ASSERT_TRUE(scene->rangeRing().current());
    EXPECT_EQ(scene->rangeRing().current()->level, 1) << "the selected tower shows its reach";

    pointAt(pixelOf(panel.upgradeButton()));
    settle();
    EXPECT_TRUE(panel.upgradePointedAt());
    ASSERT_TRUE(scene->rangeRing().current());
    EXPECT_EQ(scene->rangeRing().current()->base, &plot);
    EXPECT_EQ(scene->rangeRing().current()->level, 2) << "the next level's reach";
    scene->render(window, 0.0f);
    test::savePng("build/tower_panel.png", test::readFramebuffer(kSize, kSize));
    click();
    EXPECT_EQ(tower.level(), 2);
    EXPECT_EQ(rules().selectedTower(), &tower) << "a click on the panel keeps the selection";

    // The grass far from any plot and tower.
    TowerBase* far = nullptr;
    for (TowerBase* base : rules().towerBases())
        if (!far || glm::length(base->getWorldPosition() - plot.getWorldPosition()) >
                        glm::length(far->getWorldPosition() - plot.getWorldPosition()))
            far = base;
    const glm::vec3 grass = 0.5f * (plot.getWorldPosition() + far->getWorldPosition());
    pointAt(pixelOf(grass));
    settle();
    ASSERT_NE(scene->cursorObserver().hoveredNode(), nullptr);
    click();
    EXPECT_EQ(rules().selectedTower(), nullptr);
    play(0.6f);
    EXPECT_EQ(panel.slideState(), SlideState::Gone);
}

TEST_F(LevelHudTest, TheNextMonsterIsNamedWithItsWait) {
    auto* text = dynamic_cast<TextLineNode*>(scene->root2D()->findChild("tNextMonster"));
    ASSERT_NE(text, nullptr);
    // 4.5 s in: entry 2 (a floating monster) comes 10 s after entry 1 at 1.5 s.
    EXPECT_EQ(text->text(), "next: floating stone monster in 7 s");
}

// The level as a player sees it: an arrow tower under the pointer with its range ring, a hurt
// monster with its health bar, the cards of a second selected plot (the cannon dimmed, since
// 200 does not buy it) and the next monster at the top.
TEST_F(LevelHudTest, GoldenPictureOfTheHud) {
    TowerBase& plot = plotInView();
    rules().setResources(1000);
    plot.build(TowerType::ARROW);
    play(5.0f); // risen, and its construction smoke has cleared
    TowerBase* other = nullptr;
    for (TowerBase* base : rules().towerBases())
        if (base != &plot && (!other || glm::length(base->getWorldPosition() - plot.getWorldPosition()) <
                                            glm::length(other->getWorldPosition() - plot.getWorldPosition())))
            other = base;
    ASSERT_NE(other, nullptr);
    rules().selectTowerBase(other);
    rules().setResources(200);
    ASSERT_FALSE(rules().enemies().empty());
    Enemy& monster = *rules().enemies().front(); // the one furthest along the road, in view
    monster.hit(20.0f);
    play(0.6f); // the panel is in, the hit flash is over
    pointAt(pixelOf(plot.getWorldPosition() + glm::vec3(0.0f, 0.8f, 0.0f)));
    settle();

    ASSERT_TRUE(scene->rangeRing().shown());
    EXPECT_EQ(scene->rangeRing().current()->base, &plot);
    const auto* bar = dynamic_cast<HealthBar*>(monster.findByName("healthBar"));
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(bar->look().visible);
    EXPECT_FALSE(card(TowerType::CANNON).affordable());
    EXPECT_TRUE(card(TowerType::ARROW).affordable());

    scene->render(window, 0.0f);
    const test::Image image = test::readFramebuffer(kSize, kSize);
    test::savePng("build/level_hud.png", image);
    // The turning tower pictures on the cards and the TV screen are shared video textures whose
    // frame depends on what ran before in this process: up to 1 % of the pixels may differ.
    const std::string mismatch = test::matchGolden("tests/game/golden/level_hud.png", image, 5, 0.01);
    EXPECT_TRUE(mismatch.empty()) << mismatch << " (picture in build/level_hud.png)";
}

} // namespace
} // namespace hm
