#include "tools/reference/ReferenceScene.h"

#include "render/CameraNode.h"
#include "render/LightNode.h"
#include "render/Material.h"
#include "render/MeshNode.h"
#include "render/Primitives.h"
#include "render/Solid2DTexture.h"
#include "render/TextureRegistry.h"
#include "scene/EmptyNode.h"

#include <glm/gtc/matrix_transform.hpp>

namespace hm {

namespace {

std::shared_ptr<Texture> texture(const std::string& name, TextureFormat format) {
    return loadTexture(name, format, TextureFilter::Linear, TextureFilter::LinearMipmapLinear,
                       TextureWrap::Repeat, TextureWrap::Repeat);
}

std::shared_ptr<Material> texturedMaterial(const std::string& name, const std::string& folder,
                                           const std::string& albedo, const std::string& normal,
                                           const std::string& roughness) {
    auto material = MaterialRegistry::instance().createPBRMaterial(name);
    material->setTexture(Albedo, texture(folder + albedo, TextureFormat::Auto));
    material->setTexture(Normal, texture(folder + normal, TextureFormat::Auto));
    material->setTexture(Roughness, texture(folder + roughness, TextureFormat::R8));
    return material;
}

std::shared_ptr<Material> flatMaterial(const std::string& name, const glm::vec3& colour, float metallic,
                                       float roughness) {
    auto material = MaterialRegistry::instance().createPBRMaterial(name);
    auto solid = [](const glm::vec4& c, TextureFormat format, const std::string& tag) {
        auto t = std::make_shared<Solid2DTexture>(tag, c, Solid2DTexture::defaultParameters(format));
        t->load();
        return t;
    };
    material->setTexture(Albedo,
                         solid(glm::vec4(colour, 1.0f), TextureFormat::RGB8, "?ref_" + name + "_albedo"));
    material->setTexture(Metallic,
                         solid(glm::vec4(metallic), TextureFormat::R8, "?ref_" + name + "_metallic"));
    material->setTexture(Roughness,
                         solid(glm::vec4(roughness), TextureFormat::R8, "?ref_" + name + "_roughness"));
    return material;
}

template <typename T> void place(T& node, const glm::vec3& position) {
    node.setLocalMatrix(glm::translate(glm::mat4(1.0f), position));
}

} // namespace

void ReferenceScene::load() {
    auto root = std::make_unique<EmptyNode>("root3D");

    auto ground =
        texturedMaterial("ref_ground", "terrain/", "ab_ground.dds", "no_ground.png", "ro_ground.png");
    auto stone = texturedMaterial("ref_stone", "stone/", "ab_stone.png", "no_stone.png", "ro_stone.png");
    auto gold = flatMaterial("ref_gold", {1.0f, 0.76f, 0.33f}, 1.0f, 0.3f);
    auto clay = flatMaterial("ref_clay", {0.7f, 0.25f, 0.18f}, 0.0f, 0.7f);

    root->createChild<MeshNode>("ground", makePlaneMesh(30.0f, 6.0f), ground);
    place(root->createChild<MeshNode>("stoneBlock", makeBoxMesh({1.6f, 1.6f, 1.6f}), stone),
          {0.0f, 0.8f, 0.0f});
    place(root->createChild<MeshNode>("tallBlock", makeBoxMesh({0.8f, 2.6f, 0.8f}), stone),
          {-2.6f, 1.3f, -1.4f});
    place(root->createChild<MeshNode>("goldSphere", makeSphereMesh(0.7f), gold), {2.3f, 0.7f, 0.6f});
    place(root->createChild<MeshNode>("claySphere", makeSphereMesh(0.5f), clay), {-1.2f, 0.5f, 2.0f});

    const glm::vec3 sunDirection = glm::normalize(glm::vec3(-0.45f, -1.0f, -0.3f));
    auto& sun = root->createChild<SunLight>("Sun", sunDirection, glm::vec3(1.0f, 0.93f, 0.82f), 3.2f,
                                            glm::vec3(0.10f, 0.12f, 0.16f));
    // Far away against the light, where the lens flare looks for the sun.
    place(sun, -sunDirection * 150.0f);
    const glm::vec3 pointColours[] = {{1.0f, 0.45f, 0.15f}, {0.25f, 0.55f, 1.0f}, {0.4f, 1.0f, 0.5f}};
    const glm::vec3 pointPositions[] = {{1.6f, 0.6f, 2.4f}, {-3.0f, 0.8f, 1.2f}, {3.2f, 0.5f, -2.2f}};
    for (int i = 0; i < 3; ++i) {
        auto& light = root->createChild<PointLight>("torch" + std::to_string(i), pointColours[i], 2.5f,
                                                    glm::vec3(1.0f, 0.7f, 1.8f));
        place(light, pointPositions[i]);
    }

    auto& camera = root->createChild<CameraNode>("camera_main", glm::radians(50.0f), 0.1f, 200.0f, 1.0f);
    camera.setWorldMatrix(glm::inverse(
        glm::lookAt(glm::vec3(6.5f, 4.2f, 7.5f), glm::vec3(0.0f, 0.6f, 0.0f), glm::vec3(0.0f, 1.0f, 0.0f))));

    setRoot3D(std::move(root));
    setSkybox("skybox/hollowmere_sky");
    setActiveCamera("camera_main");
}

} // namespace hm
