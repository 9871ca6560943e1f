// The physics world of one game scene. The scene creates it at construction with its gravity
// and steps it every frame; the physics layer gives it its bodies, stepping and contacts.
#pragma once

#include <glm/vec3.hpp>

namespace hm {

class PhysicsScene {
public:
    explicit PhysicsScene(const glm::vec3& gravity) : gravity_(gravity) {}
    const glm::vec3& gravity() const { return gravity_; }

private:
    glm::vec3 gravity_;
};

} // namespace hm
