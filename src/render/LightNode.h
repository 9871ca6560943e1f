// Light nodes: point lights, directional lights and the sun.
//
// A light registers with the scene it joins: the sun becomes the scene's sun (replacing an
// earlier one, and casting the shadows), every other light goes into the scene's light list,
// which the renderer writes into the shared uniform block.
#pragma once

#include "render/SceneUniforms.h"
#include "scene/Node3D.h"

namespace hm {

class LightNode : public Node3D {
public:
    LightNode(std::string name, const glm::vec3& colour, float intensity);
    ~LightNode() override;

    void onSceneChanged(Scene* scene) override;
    void onWindowChanged(Window* window) override {}
    void render(float elapsed, int pass) override {}
    void update(float dt) override {}
    std::string getTypeName() const override { return "LightNode"; }
    std::unique_ptr<Node3D> copy() const override;

    virtual bool isSun() const { return false; }
    virtual LightData getLightData() const = 0;

    glm::vec3 colour;
    float intensity;

protected:
    LightNode(const LightNode& source) = default;

private:
    void leave(Scene& scene);
};

class PointLight : public LightNode {
public:
    PointLight(std::string name, const glm::vec3& colour, float intensity,
               const glm::vec3& attenuation = glm::vec3(0.0f, 0.0f, 1.0f));
    std::string getTypeName() const override { return "PointLight"; }
    std::unique_ptr<Node3D> copy() const override { return std::unique_ptr<Node3D>(new PointLight(*this)); }
    LightData getLightData() const override;

    glm::vec3 attenuation; // constant, linear, quadratic

protected:
    PointLight(const PointLight& source) = default;
};

class DirectionalLight : public LightNode {
public:
    // direction: where the light travels, in the node's own frame.
    DirectionalLight(std::string name, const glm::vec3& direction, const glm::vec3& colour, float intensity);
    std::string getTypeName() const override { return "DirectionalLight"; }
    std::unique_ptr<Node3D> copy() const override {
        return std::unique_ptr<Node3D>(new DirectionalLight(*this));
    }
    LightData getLightData() const override;
    // The direction in world space, normalised.
    glm::vec3 worldDirection() const;

    glm::vec3 direction;

protected:
    DirectionalLight(const DirectionalLight& source) = default;
};

class SunLight : public DirectionalLight {
public:
    SunLight(std::string name, const glm::vec3& direction, const glm::vec3& colour, float intensity,
             const glm::vec3& ambient = glm::vec3(0.0f));
    std::string getTypeName() const override { return "SunLight"; }
    std::unique_ptr<Node3D> copy() const override { return std::unique_ptr<Node3D>(new SunLight(*this)); }
    bool isSun() const override { return true; }

    glm::vec3 ambient;

protected:
    SunLight(const SunLight& source) = default;
};

} // namespace hm
