#include "render/LightNode.h"

#include "scene/Scene.h"

#include <glm/geometric.hpp>
#include <glm/matrix.hpp>

#include <stdexcept>

namespace hm {

LightNode::LightNode(std::string name, const glm::vec3& colour, float intensity)
    : Node3D(std::move(name)), colour(colour), intensity(intensity) {}

LightNode::~LightNode() {
    if (Scene* scene = getScene())
        leave(*scene);
}

void LightNode::leave(Scene& scene) {
    if (isSun()) {
        if (static_cast<const LightNode*>(scene.sun()) == this)
            scene.setSun(nullptr);
    } else {
        scene.removeLight(*this);
    }
}

void LightNode::onSceneChanged(Scene* scene) {
    if (Scene* previous = getScene())
        leave(*previous);
    if (!scene)
        return;
    if (isSun())
        scene->setSun(static_cast<SunLight*>(this));
    else
        scene->addLight(*this);
}

std::unique_ptr<Node3D> LightNode::copy() const {
    throw std::logic_error("LightNode is a pure virtual function and doesn't need a copy function");
}

PointLight::PointLight(std::string name, const glm::vec3& colour, float intensity,
                       const glm::vec3& attenuation)
    : LightNode(std::move(name), colour, intensity), attenuation(attenuation) {}

LightData PointLight::getLightData() const {
    LightData data;
    data.position = glm::vec4(getWorldPosition(), 0.0f);
    data.colour = glm::vec4(colour * intensity, 0.0f);
    data.type = static_cast<std::int32_t>(LightType::Point);
    data.attenuation = attenuation;
    return data;
}

DirectionalLight::DirectionalLight(std::string name, const glm::vec3& direction, const glm::vec3& colour,
                                   float intensity)
    : LightNode(std::move(name), colour, intensity), direction(direction) {}

glm::vec3 DirectionalLight::worldDirection() const {
    const glm::vec4 d = glm::transpose(glm::inverse(getWorldMatrix())) * glm::vec4(direction, 1.0f);
    const glm::vec3 v(d);
    const float length = glm::length(v);
    return length > 0.0f ? v / length : glm::vec3(0.0f);
}

LightData DirectionalLight::getLightData() const {
    LightData data;
    data.direction = glm::vec4(worldDirection(), 0.0f);
    data.colour = glm::vec4(colour * intensity, 0.0f);
    data.type = static_cast<std::int32_t>(LightType::Directional);
    return data;
}

SunLight::SunLight(std::string name, const glm::vec3& direction, const glm::vec3& colour, float intensity,
                   const glm::vec3& ambient)
    : DirectionalLight(std::move(name), direction, colour, intensity), ambient(ambient) {}

} // namespace hm
