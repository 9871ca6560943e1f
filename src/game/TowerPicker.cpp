#include "game/TowerPicker.h"

#include "app/MouseCursorObserver.h"
#include "game/LevelCoordinator.h"
#include "game/Tower.h"
#include "render/CameraNode.h"
#include "scene/Scene.h"

#include <glm/geometric.hpp>

#include <algorithm>
#include <cmath>
#include <limits>

namespace hm {

namespace {

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

TowerBase* plotOf(Node3D* node) {
    for (Node3D* n = node; n; n = n->getParent())
        if (auto* base = dynamic_cast<TowerBase*>(n))
            return base;
    return nullptr;
}

Tower* towerUnderPointer(const Scene& scene) {
    LevelCoordinator* coordinator = LevelCoordinator::instance();
    const MouseCursorObserver& pointer = scene.cursorObserver();
    if (!coordinator || pointer.overWidget())
        return nullptr;
    if (TowerBase* base = plotOf(pointer.hoveredNode()))
        if (Tower* tower = base->tower())
            return tower;
    const CameraNode* camera = scene.activeCamera();
    if (!camera)
        return nullptr;
    const glm::vec3 origin = camera->getWorldPosition();
    float nearest = pointer.hoveredNode() ? glm::length(pointer.hitPosition() - origin) + kTowerPickRadius
                                          : std::numeric_limits<float>::max();
    Tower* found = nullptr;
    for (TowerBase* base : coordinator->towerBases()) {
        Tower* tower = base->tower();
        if (!tower)
            continue;
        const float t = rayToCylinder(origin, pointer.rayDirection(), base->getWorldPosition(),
                                      kTowerPickRadius, kTowerPickHeight);
        if (t >= 0.0f && t < nearest) {
            nearest = t;
            found = tower;
        }
    }
    return found;
}

} // namespace hm
