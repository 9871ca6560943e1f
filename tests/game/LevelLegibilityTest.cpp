// What a player sees of the level from the first camera, at the end of the intro flight, in an
// 800 x 800 window: monsters tall enough to tell apart, plots large enough to click, and nothing
// between the camera and a plot. Sizes are measured by projecting the game objects' bounding
// boxes through the camera; the figures are printed for the level designer.
#include "game/LevelSimulator.h"

#include "animation/Animation.h"
#include "animation/NodeAnimator.h"
#include "app/Window.h"
#include "game/LevelCoordinator.h"
#include "game/LevelScene.h"
#include "game/Tower.h"
#include "physics/PhysicsScene.h"
#include "render/CameraNode.h"
#include "render/Mesh.h"
#include "scene/Node3DBody.h"

#include <glm/geometric.hpp>
#include <glm/mat4x4.hpp>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <limits>

namespace hm {
namespace {

constexpr float kScreen = 800.0f;

struct Box {
    glm::vec3 low{std::numeric_limits<float>::max()};
    glm::vec3 high{std::numeric_limits<float>::lowest()};
    void add(const glm::vec3& p) {
        low = glm::min(low, p);
        high = glm::max(high, p);
    }
    bool empty() const { return low.x > high.x; }
};

// The box around every mesh vertex of the subtree, in the frame of `frame` (world when null).
void boundsOf(const Node3D& node, const glm::mat4& toFrame, Box& box) {
    if (const auto* mesh = dynamic_cast<const MeshNode*>(&node); mesh && mesh->mesh()) {
        const glm::mat4 m = toFrame * node.getWorldMatrix() * mesh->mesh()->localTransform;
        for (const Vertex& v : mesh->mesh()->vertices())
            box.add(glm::vec3(m * glm::vec4(v.position, 1.0f)));
    }
    for (const auto& child : node.getChildren())
        boundsOf(*child, toFrame, box);
}

class Legibility : public testing::Test {
protected:
    void SetUp() override {
        // The window below is headless: the sizes come from the models, not from drawn pixels.
        scene = std::make_unique<LevelScene>("Vezaz");
        scene->start(window);
        scene->setAspectRatio(1.0f);
        auto intro = scene->nodeAnimator().stashed("Intro");
        ASSERT_NE(intro, nullptr);
        for (float t = 0.0f; t < intro->durationSeconds() + 0.1f; t += 1.0f / 60.0f)
            scene->update(window, 1.0f / 60.0f);
        camera = scene->findCamera("camera_main");
        ASSERT_NE(camera, nullptr);
        ASSERT_EQ(scene->activeCamera(), camera);
        viewProjection = camera->getProjection() * camera->getView();
    }

    // Window pixels (origin top left) of a world point; nullopt behind the camera.
    std::optional<glm::vec2> pixel(const glm::vec3& p) const {
        const glm::vec4 clip = viewProjection * glm::vec4(p, 1.0f);
        if (clip.w <= 0.0f)
            return std::nullopt;
        return glm::vec2((clip.x / clip.w + 1.0f) * 0.5f * kScreen,
                         (1.0f - clip.y / clip.w) * 0.5f * kScreen);
    }
    bool onScreen(const glm::vec2& p) const {
        return p.x >= 0 && p.y >= 0 && p.x <= kScreen && p.y <= kScreen;
    }

    std::unique_ptr<Window> headless = Window::headless(800, 800);
    Window& window = *headless;
    std::unique_ptr<LevelScene> scene;
    CameraNode* camera = nullptr;
    glm::mat4 viewProjection{1.0f};
};

// Every monster, wherever it is on the road, stands tall enough on screen.
TEST_F(Legibility, MonstersStandTallAllAlongTheRoad) {
    const LevelFigures figures = LevelSimulator(window, "Vezaz").figures();
    ASSERT_FALSE(figures.road.empty());
    struct Case {
        EnemyType type;
        float minimumPixels;
    };
    // The small floating monster hovers with a glowing heart; it only has to stay visible.
    for (const Case& c :
         {Case{EnemyType::FLOATING_STONE_MONSTER, 10.0f}, Case{EnemyType::WALKING_STONE_MONSTER, 24.0f},
          Case{EnemyType::MASSIVE_STONE_MONSTER, 40.0f}}) {
        const EnemyPrototype& prototype = enemyPrototype(c.type);
        Node3D* model = scene->coordinator().getPrototypeNode(prototype.nodeName);
        ASSERT_NE(model, nullptr) << prototype.nodeName;
        Box box;
        boundsOf(*model, glm::inverse(model->getWorldMatrix()), box);
        ASSERT_FALSE(box.empty());
        const float height = (box.high.y - std::max(box.low.y, 0.0f)) * prototype.scale;
        float smallest = std::numeric_limits<float>::max();
        for (const glm::vec3& at : figures.road) {
            auto foot = pixel(at + glm::vec3(0.0f, std::max(box.low.y, 0.0f) * prototype.scale, 0.0f));
            auto head = pixel(at + glm::vec3(0.0f, box.high.y * prototype.scale, 0.0f));
            ASSERT_TRUE(foot && head);
            EXPECT_TRUE(onScreen(*foot)) << "the road leaves the screen at " << at.x << ", " << at.z;
            smallest = std::min(smallest, glm::length(*head - *foot));
        }
        std::printf("[figures] %s: %.2f units tall, at least %.1f pixels on the road\n",
                    prototype.typeName.c_str(), height, smallest);
        EXPECT_GE(smallest, c.minimumPixels) << prototype.typeName;
    }
}

// Every plot is large on screen, and the first thing a click ray meets on its way to the plot is
// the plot itself.
TEST_F(Legibility, PlotsAreLargeAndUnobstructed) {
    const glm::vec3 eye = camera->getWorldPosition();
    float smallest = std::numeric_limits<float>::max();
    for (TowerBase* base : scene->coordinator().towerBases()) {
        Box box;
        boundsOf(*base, glm::mat4(1.0f), box);
        ASSERT_FALSE(box.empty());
        Box screen;
        for (int corner = 0; corner < 8; ++corner) {
            const glm::vec3 p((corner & 1) ? box.high.x : box.low.x, (corner & 2) ? box.high.y : box.low.y,
                              (corner & 4) ? box.high.z : box.low.z);
            auto px = pixel(p);
            ASSERT_TRUE(px) << base->getName();
            screen.add(glm::vec3(*px, 0.0f));
        }
        const float across = screen.high.x - screen.low.x;
        smallest = std::min(smallest, across);
        EXPECT_GE(across, 30.0f) << base->getName();
        EXPECT_TRUE(onScreen(glm::vec2(screen.low)) && onScreen(glm::vec2(screen.high))) << base->getName();

        // Rays to the centre of the top and to four points around it.
        const glm::vec3 centre = (box.low + box.high) * 0.5f;
        const glm::vec3 half = (box.high - box.low) * 0.5f * 0.6f;
        for (const glm::vec3& offset : {glm::vec3(0.0f), glm::vec3(half.x, 0, 0), glm::vec3(-half.x, 0, 0),
                                        glm::vec3(0, 0, half.z), glm::vec3(0, 0, -half.z)}) {
            const glm::vec3 target = glm::vec3(centre.x, box.high.y, centre.z) + offset;
            const glm::vec3 beyond = target + glm::normalize(target - eye) * 0.5f;
            auto hit = scene->physicsScene().rayCast(eye, beyond);
            ASSERT_TRUE(hit) << base->getName() << " has nothing to click";
            Node3D* owner = hit->body->owner();
            bool onBase = false;
            for (Node3D* n = owner; n; n = n->getParent())
                onBase = onBase || n == base;
            EXPECT_TRUE(onBase) << base->getName() << " is hidden behind "
                                << (owner ? owner->getName() : "?");
        }
    }
    std::printf("[figures] %zu plots, the smallest %.1f pixels across\n",
                scene->coordinator().towerBases().size(), smallest);
}

// Scenery with a collision body keeps off the road and off the plots.
TEST_F(Legibility, SceneryKeepsOffTheRoadAndThePlots) {
    const LevelFigures figures = LevelSimulator(window, "Vezaz").figures();
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
        Box box;
        boundsOf(*node, glm::mat4(1.0f), box);
        if (box.empty())
            continue;
        auto flatDistance = [&](const glm::vec3& p) {
            const float dx = std::max({box.low.x - p.x, 0.0f, p.x - box.high.x});
            const float dz = std::max({box.low.z - p.z, 0.0f, p.z - box.high.z});
            return std::sqrt(dx * dx + dz * dz);
        };
        for (const glm::vec3& at : figures.road)
            if (flatDistance(at) < 0.7f) {
                ADD_FAILURE() << name << " stands on the road at " << at.x << ", " << at.z;
                break;
            }
        for (const PlotFigures& plot : figures.plots)
            EXPECT_GE(flatDistance(plot.position), 0.8f) << name << " stands on plot " << plot.index;
    }
}

} // namespace
} // namespace hm
