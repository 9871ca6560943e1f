#include "game/RangeRing.h"

#include "app/MouseCursorObserver.h"
#include "game/BuildingCards.h"
#include "game/Enemy.h"
#include "game/LevelCoordinator.h"
#include "game/Projectile.h"
#include "game/Tower.h"
#include "physics/PhysicsScene.h"
#include "render/CameraNode.h"
#include "render/Material.h"
#include "render/Mesh.h"
#include "scene/Node3DBody.h"
#include "scene/Scene.h"

#include <glm/gtc/constants.hpp>

#include <glm/geometric.hpp>

#include <cmath>
#include <limits>

namespace hm {

namespace {

// How far above and below the plot the rays look for the ground.
constexpr float kRayAbove = 6.0f;
constexpr float kRayBelow = 12.0f;
constexpr int kRayTries = 4;

std::shared_ptr<Material> ringMaterial() {
    auto& registry = MaterialRegistry::instance();
    if (auto existing = registry.findMaterial("rangeRing"))
        return existing;
    auto material = registry.createSolidMaterial("rangeRing");
    material->colour = {1.0f, 0.82f, 0.25f};
    return material;
}

// The ground is what the ray meets that is not a plot, a tower, a monster or a shot.
bool isGround(const Node3D* node) {
    for (const Node3D* n = node; n; n = n->getParent())
        if (dynamic_cast<const TowerBase*>(n) || dynamic_cast<const Enemy*>(n) ||
            dynamic_cast<const Projectile*>(n))
            return false;
    return true;
}

TowerBase* plotOf(Node3D* node) {
    for (Node3D* n = node; n; n = n->getParent())
        if (auto* base = dynamic_cast<TowerBase*>(n))
            return base;
    return nullptr;
}

// Distance along the ray to an upright cylinder standing on base with that radius and height,
// or a negative number when the ray misses it.
float rayToCylinder(const glm::vec3& origin, const glm::vec3& direction, const glm::vec3& base, float radius,
                    float height) {
    const glm::vec2 o(origin.x - base.x, origin.z - base.z);
    const glm::vec2 d(direction.x, direction.z);
    const float a = glm::dot(d, d);
    if (a < 1e-12f)
        return -1.0f;
    const float b = 2.0f * glm::dot(o, d);
    const float c = glm::dot(o, o) - radius * radius;
    const float disc = b * b - 4.0f * a * c;
    if (disc < 0.0f)
        return -1.0f;
    const float root = std::sqrt(disc);
    const float t0 = (-b - root) / (2.0f * a), t1 = (-b + root) / (2.0f * a);
    if (t1 < 0.0f)
        return -1.0f;
    const float y0 = origin.y + t0 * direction.y - base.y, y1 = origin.y + t1 * direction.y - base.y;
    if (std::max(y0, y1) < 0.0f || std::min(y0, y1) > height)
        return -1.0f;
    return std::max(t0, 0.0f);
}

} // namespace

RangeRing::RangeRing(BuildingCardPanel* cards)
    : MeshNode("rangeRing", nullptr, ringMaterial()), cards_(cards) {}

void RangeRing::render(float elapsed, int pass) {
    // Drawn in the colour pass only: a ring on the ground casts no shadow.
    if (pass == 1 && shown_)
        MeshNode::render(elapsed, pass);
}

std::optional<RangeRing::Choice> RangeRing::choose() const {
    LevelCoordinator* coordinator = LevelCoordinator::instance();
    if (!coordinator)
        return std::nullopt;
    // A hovered card previews its tower on the selected plot.
    if (cards_ && cards_->acceptsInput()) {
        for (const auto& child : cards_->children()) {
            auto* card = dynamic_cast<BuildingCard*>(child.get());
            TowerBase* selected = coordinator->selectedBase();
            if (card && card->hovered() && selected && !selected->tower())
                return Choice{selected, card->towerType()};
        }
    }
    // A hovered tower (or the plot it stands on) shows its own reach.
    Scene* scene = getScene();
    if (!scene || scene->cursorObserver().overWidget())
        return std::nullopt;
    const MouseCursorObserver& pointer = scene->cursorObserver();
    if (TowerBase* base = plotOf(pointer.hoveredNode()))
        if (Tower* tower = base->tower())
            return Choice{base, tower->type()};
    // Towers have no body for the pointer's ray to hit: test the ray against the upright space a
    // tower fills, nearer than whatever the ray hit in the world.
    const CameraNode* camera = scene->activeCamera();
    if (!camera)
        return std::nullopt;
    const glm::vec3 origin = camera->getWorldPosition();
    float nearest = pointer.hoveredNode() ? glm::length(pointer.hitPosition() - origin) + kTowerRadius
                                          : std::numeric_limits<float>::max();
    std::optional<Choice> found;
    for (TowerBase* base : coordinator->towerBases()) {
        Tower* tower = base->tower();
        if (!tower)
            continue;
        const float t = rayToCylinder(origin, pointer.rayDirection(), base->getWorldPosition(), kTowerRadius,
                                      kTowerHeight);
        if (t >= 0.0f && t < nearest) {
            nearest = t;
            found = Choice{base, tower->type()};
        }
    }
    return found;
}

void RangeRing::update(float) {
    current_ = choose();
    if (current_)
        show(*current_->base, current_->type);
    else
        hide();
}

void RangeRing::show(TowerBase& base, TowerType type) {
    const auto key = std::make_pair(base.index(), static_cast<int>(type));
    auto it = meshes_.find(key);
    if (it == meshes_.end())
        it = meshes_.emplace(key, buildMesh(base, towerPrototype(type).range)).first;
    setMesh(it->second);
    shown_ = it->second != nullptr;
}

std::vector<glm::vec3> RangeRing::groundPoints(TowerBase& base, float range) const {
    const glm::vec3 centre = base.getWorldPosition();
    Scene* scene = getScene();
    std::vector<glm::vec3> points;
    points.reserve(kSegments);
    for (int i = 0; i < kSegments; ++i) {
        const float angle = glm::two_pi<float>() * static_cast<float>(i) / static_cast<float>(kSegments);
        glm::vec3 point = centre + range * glm::vec3(std::cos(angle), 0.0f, std::sin(angle));
        // Where nothing is found (off the edge of the terrain) the ring stays at the plot's height.
        float ground = centre.y;
        if (scene) {
            glm::vec3 from = point + glm::vec3(0.0f, kRayAbove, 0.0f);
            const glm::vec3 to = point - glm::vec3(0.0f, kRayBelow, 0.0f);
            for (int tries = 0; tries < kRayTries; ++tries) {
                const auto hit = scene->physicsScene().rayCast(from, to);
                if (!hit)
                    break;
                if (isGround(hit->body ? hit->body->owner() : nullptr)) {
                    ground = hit->position.y;
                    break;
                }
                // A plot, tower or monster stands there: look past it.
                from = hit->position - glm::vec3(0.0f, 0.01f, 0.0f);
            }
        }
        point.y = ground + kLift;
        points.push_back(point);
    }
    return points;
}

std::shared_ptr<Mesh> RangeRing::buildMesh(TowerBase& base, float range) const {
    if (!(range > 0.0f))
        return nullptr;
    const glm::vec3 centre = base.getWorldPosition();
    const std::vector<glm::vec3> points = groundPoints(base, range);
    std::vector<Vertex> vertices;
    vertices.reserve(points.size() * 2);
    for (const glm::vec3& point : points) {
        glm::vec3 outward = point - centre;
        outward.y = 0.0f;
        outward = glm::normalize(outward) * (0.5f * kWidth);
        Vertex inner, outer;
        inner.position = point - outward;
        outer.position = point + outward;
        inner.normal = outer.normal = {0.0f, 1.0f, 0.0f};
        vertices.push_back(inner);
        vertices.push_back(outer);
    }
    // Both windings, so the band shows from any side whatever the face culling.
    std::vector<std::uint32_t> indices;
    const auto n = static_cast<std::uint32_t>(points.size());
    for (std::uint32_t i = 0; i < n; ++i) {
        const std::uint32_t a = 2 * i, b = 2 * i + 1, c = 2 * ((i + 1) % n), d = 2 * ((i + 1) % n) + 1;
        for (std::uint32_t index : {a, b, d, a, d, c, a, d, b, a, c, d})
            indices.push_back(index);
    }
    return std::make_shared<Mesh>(std::move(vertices), std::move(indices));
}

} // namespace hm
