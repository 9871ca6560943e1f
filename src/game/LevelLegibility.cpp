#include "game/LevelLegibility.h"

#include "animation/Animation.h"
#include "animation/NodeAnimator.h"
#include "physics/PhysicsScene.h"
#include "render/CameraNode.h"
#include "render/Mesh.h"
#include "render/MeshNode.h"
#include "scene/Node3DBody.h"
#include "scene/Scene.h"

#include <glm/geometric.hpp>

#include <algorithm>
#include <cmath>

namespace hm {

float legibility::minimumMonsterPixels(EnemyType type) {
    switch (type) {
    case EnemyType::FLOATING_STONE_MONSTER:
        return 10.0f;
    case EnemyType::WALKING_STONE_MONSTER:
        return 24.0f;
    case EnemyType::MASSIVE_STONE_MONSTER:
        return 40.0f;
    }
    return 24.0f;
}

void Bounds::add(const glm::vec3& p) {
    low = glm::min(low, p);
    high = glm::max(high, p);
}

float Bounds::flatDistance(const glm::vec3& p) const {
    const float dx = std::max({low.x - p.x, 0.0f, p.x - high.x});
    const float dz = std::max({low.z - p.z, 0.0f, p.z - high.z});
    return std::sqrt(dx * dx + dz * dz);
}

Bounds Bounds::transformed(const glm::mat4& matrix) const {
    Bounds out;
    if (empty())
        return out;
    for (int corner = 0; corner < 8; ++corner)
        out.add(glm::vec3(matrix * glm::vec4((corner & 1) ? high.x : low.x, (corner & 2) ? high.y : low.y,
                                             (corner & 4) ? high.z : low.z, 1.0f)));
    return out;
}

namespace {

void addMeshBounds(const Node3D& node, const glm::mat4& toFrame, Bounds& box) {
    if (const auto* meshNode = dynamic_cast<const MeshNode*>(&node); meshNode && meshNode->mesh()) {
        const glm::mat4 m = toFrame * node.getWorldMatrix() * meshNode->mesh()->localTransform;
        for (const Vertex& v : meshNode->mesh()->vertices())
            box.add(glm::vec3(m * glm::vec4(v.position, 1.0f)));
    }
    for (const auto& child : node.getChildren())
        addMeshBounds(*child, toFrame, box);
}

} // namespace

Bounds meshBounds(const Node3D& node, const glm::mat4& toFrame) {
    Bounds box;
    addMeshBounds(node, toFrame, box);
    return box;
}

void playUntilIntroEnds(Scene& scene, Window& window) {
    const auto intro = scene.nodeAnimator().stashed("Intro");
    if (!intro)
        return;
    constexpr float kStep = 1.0f / 60.0f;
    // A tenth of a second past the end, so that the last key has been applied.
    for (float t = 0.0f; t < intro->durationSeconds() + 0.1f; t += kStep)
        scene.update(window, kStep);
}

ScreenView::ScreenView(const CameraNode& camera, float pixels)
    : viewProjection_(camera.getProjection() * camera.getView()), eye_(camera.getWorldPosition()),
      pixels_(pixels) {}

std::optional<glm::vec2> ScreenView::pixel(const glm::vec3& p) const {
    const glm::vec4 clip = viewProjection_ * glm::vec4(p, 1.0f);
    if (clip.w <= 0.0f)
        return std::nullopt;
    return glm::vec2((clip.x / clip.w + 1.0f) * 0.5f * pixels_, (1.0f - clip.y / clip.w) * 0.5f * pixels_);
}

bool ScreenView::onScreen(const glm::vec2& p) const {
    return p.x >= 0.0f && p.y >= 0.0f && p.x <= pixels_ && p.y <= pixels_;
}

MonsterSight monsterOnRoad(const ScreenView& view, const std::vector<glm::vec3>& road, const Bounds& box,
                           float scale) {
    MonsterSight sight;
    if (box.empty())
        return sight;
    const float foot = std::max(box.low.y, 0.0f) * scale;
    const float head = box.high.y * scale;
    for (const glm::vec3& at : road) {
        const auto footPixel = view.pixel(at + glm::vec3(0.0f, foot, 0.0f));
        const auto headPixel = view.pixel(at + glm::vec3(0.0f, head, 0.0f));
        if (!footPixel || !headPixel) {
            if (!sight.offScreenAt)
                sight.offScreenAt = at;
            continue;
        }
        if (!sight.offScreenAt && !view.onScreen(*footPixel))
            sight.offScreenAt = at;
        sight.smallestPixels = std::min(sight.smallestPixels, glm::length(*headPixel - *footPixel));
    }
    return sight;
}

PlotPicture plotOnScreen(const ScreenView& view, const Bounds& worldBox) {
    PlotPicture picture;
    if (worldBox.empty())
        return picture;
    Bounds screen;
    bool behind = false;
    for (int corner = 0; corner < 8; ++corner) {
        const glm::vec3 p((corner & 1) ? worldBox.high.x : worldBox.low.x,
                          (corner & 2) ? worldBox.high.y : worldBox.low.y,
                          (corner & 4) ? worldBox.high.z : worldBox.low.z);
        const auto px = view.pixel(p);
        if (!px) {
            behind = true;
            continue;
        }
        screen.add(glm::vec3(*px, 0.0f));
    }
    if (screen.empty())
        return picture;
    picture.acrossPixels = screen.high.x - screen.low.x;
    picture.inFrame =
        !behind && view.onScreen(glm::vec2(screen.low)) && view.onScreen(glm::vec2(screen.high));
    return picture;
}

PlotSightLine plotSightLine(const PhysicsScene& physics, const glm::vec3& eye, const Bounds& worldBox,
                            const Node3D& plotNode) {
    PlotSightLine sight;
    if (worldBox.empty())
        return sight;
    const glm::vec3 centre = worldBox.centre();
    const glm::vec3 half = (worldBox.high - worldBox.low) * 0.5f * legibility::kSightPointSpread;
    for (const glm::vec3& offset :
         {glm::vec3(0.0f), glm::vec3(half.x, 0.0f, 0.0f), glm::vec3(-half.x, 0.0f, 0.0f),
          glm::vec3(0.0f, 0.0f, half.z), glm::vec3(0.0f, 0.0f, -half.z)}) {
        const glm::vec3 target = glm::vec3(centre.x, worldBox.high.y, centre.z) + offset;
        // A little past the top, so that the ray ends inside the plot's body.
        const glm::vec3 beyond = target + glm::normalize(target - eye) * 0.5f;
        const auto hit = physics.rayCast(eye, beyond);
        if (!hit) {
            sight.reachesNothing = true;
            continue;
        }
        const Node3D* owner = hit->body ? hit->body->owner() : nullptr;
        const bool onPlot = owner && (owner == &plotNode || plotNode.isAncestorOf(*owner));
        if (!onPlot && owner) {
            sight.hiddenBy = owner;
            return sight;
        }
    }
    return sight;
}

} // namespace hm
