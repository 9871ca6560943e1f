#include "game/RangeRing.h"

#include "game/BuildingCards.h"
#include "game/LevelCoordinator.h"
#include "game/Tower.h"
#include "game/TowerPanel.h"
#include "game/TowerPicker.h"
#include "render/Material.h"
#include "render/Mesh.h"
#include "scene/Scene.h"

#include <glm/gtc/constants.hpp>

#include <glm/geometric.hpp>

#include <cmath>
#include <limits>

namespace hm {

namespace {

std::shared_ptr<Material> ringMaterial() {
    auto& registry = MaterialRegistry::instance();
    if (auto existing = registry.findMaterial("rangeRing"))
        return existing;
    auto material = registry.createSolidMaterial("rangeRing");
    material->colour = {1.0f, 0.82f, 0.25f};
    return material;
}

} // namespace

RangeRing::RangeRing(BuildingCardPanel* cards)
    : MeshNode("rangeRing", nullptr, ringMaterial()), cards_(cards) {
    setShown(false);
    setCastsShadow(false);
    setDrawnOnTop(true);
}

const GroundProbe& RangeRing::probe() {
    if (!probe_ && getScene())
        probe_ = std::make_shared<GroundProbe>(*getScene());
    return *probe_;
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
                return Choice{selected, card->towerType(), 1};
        }
    }
    // The selected tower shows its reach, and the next level's while its upgrade is pointed at.
    if (Tower* selected = coordinator->selectedTower()) {
        const bool preview =
            towerPanel_ && towerPanel_->upgradePointedAt() && selected->level() < kTowerLevels;
        return Choice{&selected->base(), selected->type(), selected->level() + (preview ? 1 : 0)};
    }
    // A tower under the pointer shows its own reach.
    Scene* scene = getScene();
    if (!scene)
        return std::nullopt;
    if (Tower* tower = towerUnderPointer(*scene))
        return Choice{&tower->base(), tower->type(), tower->level()};
    return std::nullopt;
}

void RangeRing::update(float) {
    current_ = choose();
    if (current_)
        show(*current_->base, current_->type, current_->level);
    else
        hide();
}

void RangeRing::show(TowerBase& base, TowerType type, int level) {
    const float range = towerLevel(type, level).range;
    const auto key = std::make_pair(base.index(), range);
    auto it = meshes_.find(key);
    if (it == meshes_.end())
        it = meshes_.emplace(key, buildMesh(base, range)).first;
    setMesh(it->second);
    setShown(it->second != nullptr);
}

std::vector<RangeRing::RingPoint> RangeRing::groundPoints(TowerBase& base, float range) {
    const glm::vec3 centre = base.getWorldPosition();
    std::vector<RingPoint> points;
    if (!getScene() || !(range > 0.0f))
        return points;
    const GroundProbe& ground = probe();
    points.reserve(kSegments);
    for (int i = 0; i < kSegments; ++i) {
        const float angle = glm::two_pi<float>() * static_cast<float>(i) / static_cast<float>(kSegments);
        const glm::vec2 direction(std::cos(angle), std::sin(angle));
        // The surface at a distance r from the plot along this direction; where none is found (off
        // the edge of the level) the plot's own height stands in.
        auto surface = [&](float r) {
            const glm::vec2 at = glm::vec2(centre.x, centre.z) + r * direction;
            const auto sample = ground.at(at.x, at.y, centre.y);
            return RingPoint{{at.x, sample ? sample->height : centre.y, at.y}, sample && sample->onRoad};
        };
        auto reached = [&](const RingPoint& p) { return glm::length(p.position - centre) <= range; };
        // The outermost reachable point: step in from the range until the surface is within
        // reach, then halve the step between the last point out of reach and the first within.
        float outside = range, inside = 0.0f;
        for (float r = range - kSearchStep; r > 0.0f; r -= kSearchStep) {
            if (reached(surface(r))) {
                inside = r;
                break;
            }
            outside = r;
        }
        for (int k = 0; k < 12; ++k) {
            const float middle = 0.5f * (inside + outside);
            (reached(surface(middle)) ? inside : outside) = middle;
        }
        points.push_back(surface(inside));
    }
    return points;
}

std::shared_ptr<Mesh> RangeRing::buildMesh(TowerBase& base, float range) {
    if (!(range > 0.0f))
        return nullptr;
    const glm::vec3 centre = base.getWorldPosition();
    const std::vector<RingPoint> ring = groundPoints(base, range);
    if (ring.empty())
        return nullptr;
    std::vector<Vertex> vertices;
    vertices.reserve(ring.size() * 2);
    for (const RingPoint& sample : ring) {
        const glm::vec3 point = sample.position + glm::vec3(0.0f, kLift, 0.0f);
        glm::vec3 outward = point - centre;
        outward.y = 0.0f;
        const float length = glm::length(outward);
        outward = (length > 1e-6f ? outward / length : glm::vec3(1.0f, 0.0f, 0.0f)) * (0.5f * kWidth);
        Vertex inner, outer;
        inner.position = point - outward;
        outer.position = point + outward;
        inner.normal = outer.normal = {0.0f, 1.0f, 0.0f};
        vertices.push_back(inner);
        vertices.push_back(outer);
    }
    // Both windings, so the band shows from any side whatever the face culling.
    std::vector<std::uint32_t> indices;
    const auto n = static_cast<std::uint32_t>(ring.size());
    for (std::uint32_t i = 0; i < n; ++i) {
        const std::uint32_t a = 2 * i, b = 2 * i + 1, c = 2 * ((i + 1) % n), d = 2 * ((i + 1) % n) + 1;
        for (std::uint32_t index : {a, b, d, a, d, c, a, d, b, a, c, d})
            indices.push_back(index);
    }
    return std::make_shared<Mesh>(std::move(vertices), std::move(indices));
}

} // namespace hm
