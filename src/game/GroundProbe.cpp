#include "game/GroundProbe.h"

#include "game/Enemy.h"
#include "game/Projectile.h"
#include "game/Tower.h"
#include "physics/PhysicsScene.h"
#include "render/Mesh.h"
#include "render/MeshNode.h"
#include "scene/Node3DBody.h"
#include "scene/Scene.h"

#include <glm/mat4x4.hpp>

#include <algorithm>
#include <cmath>

namespace hm {

namespace {

constexpr int kRayTries = 4;

// The ground is what the ray meets that is not a plot, a tower, a monster or a shot.
bool isGround(const Node3D* node) {
    for (const Node3D* n = node; n; n = n->getParent())
        if (dynamic_cast<const TowerBase*>(n) || dynamic_cast<const Tower*>(n) ||
            dynamic_cast<const Enemy*>(n) || dynamic_cast<const Projectile*>(n))
            return false;
    return true;
}

int cellOf(float v) {
    return static_cast<int>(std::floor(v / GroundProbe::kCellSize));
}

// Height of the triangle abc over (x, z), if (x, z) lies inside it seen from above.
std::optional<float> heightInTriangle(const glm::vec3& a, const glm::vec3& b, const glm::vec3& c, float x,
                                      float z) {
    const float d = (b.z - c.z) * (a.x - c.x) + (c.x - b.x) * (a.z - c.z);
    if (std::abs(d) < 1e-9f)
        return std::nullopt;
    const float u = ((b.z - c.z) * (x - c.x) + (c.x - b.x) * (z - c.z)) / d;
    const float v = ((c.z - a.z) * (x - c.x) + (a.x - c.x) * (z - c.z)) / d;
    const float w = 1.0f - u - v;
    constexpr float kEdge = -1e-5f;
    if (u < kEdge || v < kEdge || w < kEdge)
        return std::nullopt;
    return u * a.y + v * b.y + w * c.y;
}

} // namespace

GroundProbe::GroundProbe(Scene& scene) : scene_(&scene) {
    if (Node3D* root = scene.root3D())
        collectRoads(*root);
}

void GroundProbe::collectRoads(Node3D& node) {
    auto* mesh = dynamic_cast<MeshNode*>(&node);
    if (mesh && mesh->mesh() && mesh->mesh()->flag == 0 && node.getName().rfind("Road", 0) == 0) {
        const glm::mat4 world = node.getWorldMatrix();
        const auto& vertices = mesh->mesh()->vertices();
        const auto& indices = mesh->mesh()->indices();
        for (std::size_t i = 0; i + 2 < indices.size(); i += 3) {
            if (indices[i] >= vertices.size() || indices[i + 1] >= vertices.size() ||
                indices[i + 2] >= vertices.size())
                continue;
            const std::size_t first = road_.size();
            float minX = 1e30f, maxX = -1e30f, minZ = 1e30f, maxZ = -1e30f;
            for (std::size_t k = 0; k < 3; ++k) {
                const glm::vec3 p = glm::vec3(world * glm::vec4(vertices[indices[i + k]].position, 1.0f));
                road_.push_back(p);
                minX = std::min(minX, p.x), maxX = std::max(maxX, p.x);
                minZ = std::min(minZ, p.z), maxZ = std::max(maxZ, p.z);
            }
            if (!std::isfinite(minX + maxX + minZ + maxZ) || maxX - minX > 100.0f || maxZ - minZ > 100.0f) {
                road_.resize(first);
                continue;
            }
            for (int cx = cellOf(minX); cx <= cellOf(maxX); ++cx)
                for (int cz = cellOf(minZ); cz <= cellOf(maxZ); ++cz)
                    cells_[{cx, cz}].push_back(first);
        }
    }
    for (const auto& child : node.getChildren())
        collectRoads(*child);
}

std::optional<float> GroundProbe::roadHeight(float x, float z) const {
    auto it = cells_.find({cellOf(x), cellOf(z)});
    if (it == cells_.end())
        return std::nullopt;
    std::optional<float> top;
    for (std::size_t first : it->second)
        if (auto h = heightInTriangle(road_[first], road_[first + 1], road_[first + 2], x, z))
            top = top ? std::max(*top, *h) : *h;
    return top;
}

std::optional<float> GroundProbe::groundHeight(float x, float z, float near) const {
    glm::vec3 from(x, near + kRayAbove, z);
    const glm::vec3 to(x, near - kRayBelow, z);
    for (int tries = 0; tries < kRayTries; ++tries) {
        const auto hit = scene_->physicsScene().rayCast(from, to);
        if (!hit)
            return std::nullopt;
        if (isGround(hit->body ? hit->body->owner() : nullptr))
            return hit->position.y;
        // A plot, tower or monster stands there: look past it.
        from = hit->position - glm::vec3(0.0f, 0.01f, 0.0f);
    }
    return std::nullopt;
}

std::optional<GroundProbe::Sample> GroundProbe::at(float x, float z, float near) const {
    const std::optional<float> ground = groundHeight(x, z, near);
    const std::optional<float> road = roadHeight(x, z);
    if (road && (!ground || *road >= *ground))
        return Sample{*road, true};
    if (ground)
        return Sample{*ground, false};
    return std::nullopt;
}

} // namespace hm
