#include "import/NodeProperties.h"

#include "app/Log.h"
#include "import/Metadata.h"
#include "import/ModelImporter.h"
#include "physics/Cooking.h"
#include "render/CameraNode.h"
#include "render/LightNode.h"
#include "render/OrbitCameraNode.h"
#include "scene/Scene.h"

#include <assimp/camera.h>
#include <assimp/light.h>

#include <algorithm>
#include <cmath>

namespace hm {

namespace {

struct AttenuationRow {
    float range, constant, linear, quadratic;
};

constexpr AttenuationRow kAttenuationTable[] = {
    {0, 0, 40, 200},           {1, 1, 10, 50},
    {7, 1, 0.7f, 1.8f},        {13, 1, 0.35f, 0.44f},
    {20, 1, 0.22f, 0.20f},     {32, 1, 0.14f, 0.07f},
    {50, 1, 0.09f, 0.032f},    {65, 1, 0.07f, 0.017f},
    {100, 1, 0.045f, 0.0075f}, {160, 1, 0.027f, 0.0028f},
    {200, 1, 0.022f, 0.0019f}, {325, 1, 0.014f, 0.0007f},
    {600, 1, 0.007f, 0.0002f}, {3250, 1, 0.0014f, 0.000007f},
};

} // namespace

glm::vec3 attenuationForRange(float range) {
    constexpr std::size_t rows = std::size(kAttenuationTable);
    if (!(range >= kAttenuationTable[0].range) || range >= kAttenuationTable[rows - 1].range)
        return glm::vec3(0.0f);
    for (std::size_t i = 1; i < rows; ++i) {
        const auto& row = kAttenuationTable[i];
        if (row.range > range) {
            const auto& previous = kAttenuationTable[i - 1];
            const float t = (range - previous.range) / (row.range - previous.range);
            return glm::vec3(previous.constant + t * (row.constant - previous.constant),
                             previous.linear + t * (row.linear - previous.linear),
                             previous.quadratic + t * (row.quadratic - previous.quadratic));
        }
    }
    return glm::vec3(0.0f);
}

std::unique_ptr<CameraNode> createCamera(ModelImporter& importer, const aiCamera& camera,
                                         const aiNode& node) {
    const std::string name = node.mName.C_Str();
    std::string type = metadata::getString(node.mMetaData, "CameraType").value_or("General");
    if (type != "General" && type != "Orbital") {
        spdlog::warn("Unknown CameraType {0} for camera {1}; it becomes a general camera.", type, name);
        type = "General";
    }

    // Files without an aspect leave it 0; the scene hands every camera its own ratio anyway.
    const float aspect = camera.mAspect > 0.0f ? camera.mAspect : Scene::kDefaultAspectRatio;
    const float horizontal = camera.mHorizontalFOV;
    const float vertical = 2.0f * std::atan(std::tan(horizontal / 2.0f) / aspect);
    const float nearPlane = camera.mClipPlaneNear;
    const float farPlane = camera.mClipPlaneFar;

    if (type == "Orbital") {
        auto orbit = std::make_unique<OrbitCameraNode>(name, vertical, nearPlane, farPlane, aspect);
        std::string centre = metadata::getString(node.mMetaData, "OrbitCenter").value_or("");
        importer.addPendingOrbitCentre(*orbit, std::move(centre));
        return orbit;
    }
    const glm::vec3 lookAt(camera.mLookAt.x, camera.mLookAt.y, camera.mLookAt.z);
    const glm::vec3 up(camera.mUp.x, camera.mUp.y, camera.mUp.z);
    return std::make_unique<CameraNode>(name, vertical, nearPlane, farPlane, aspect, lookAt, up);
}

std::unique_ptr<LightNode> createLight(const aiLight& light, const aiNode& node) {
    const std::string name = node.mName.C_Str();
    const glm::vec3 diffuse(light.mColorDiffuse.r, light.mColorDiffuse.g, light.mColorDiffuse.b);
    glm::vec3 colour(1.0f);
    float intensity = 0.0f;
    if (glm::any(glm::greaterThanEqual(glm::abs(diffuse), glm::vec3(0.01f)))) {
        const float largest = std::max({diffuse.r, diffuse.g, diffuse.b});
        if (largest > 0.0f) {
            colour = glm::min(diffuse / largest, glm::vec3(1.0f));
            intensity = largest;
        } else {
            // A colour without any positive component cannot be split into colour and
            // intensity; such a light gives no light rather than a negative one.
            spdlog::warn("Light {0} has no positive colour component and is switched off.", name);
        }
    }

    switch (light.mType) {
    case aiLightSource_DIRECTIONAL: {
        const glm::vec3 direction(light.mDirection.x, light.mDirection.y, light.mDirection.z);
        if (name != "Sun")
            return std::make_unique<DirectionalLight>(name, direction, colour, intensity);
        glm::vec3 ambient(0.0f);
        if (auto vector = metadata::getVec3(node.mMetaData, "AmbientLight"))
            ambient = *vector;
        else if (auto factor = metadata::getFloat(node.mMetaData, "AmbientLight"))
            ambient = colour * intensity * *factor;
        return std::make_unique<SunLight>(name, direction, colour, intensity, ambient);
    }
    case aiLightSource_POINT: {
        glm::vec3 attenuation(0.0f, 0.0f, 1.0f);
        if (auto vector = metadata::getVec3(node.mMetaData, "Attenuation"))
            attenuation = *vector;
        else if (auto range = metadata::getFloat(node.mMetaData, "Attenuation"))
            attenuation = attenuationForRange(*range);
        return std::make_unique<PointLight>(name, colour, intensity, attenuation);
    }
    default:
        spdlog::warn(
            "Sadly the engine just supports Point- and Directional-Lights so far. Therefore I have to "
            "ignore light: {0}",
            name);
        return nullptr;
    }
}

bool readHullData(ModelImporter& importer, const aiNode& node, const aiScene& scene,
                  std::vector<glm::vec3>& positions, std::vector<std::uint32_t>* indices) {
    const std::string name = node.mName.C_Str();
    const aiNode* hull = node.FindNode(aiString(name + "_hull"));
    const aiMesh* mesh = nullptr;
    if (!hull) {
        if (node.mNumMeshes == 0) {
            spdlog::error(
                "The node {0} neither does have a hull-child node nor a mesh on its own. I need mesh "
                "data somewhere!",
                name);
            return false;
        }
        mesh = scene.mMeshes[node.mMeshes[0]];
    } else {
        if (hull->mNumMeshes == 0) {
            spdlog::error("The hull node {0} does not contain any mesh data. Please fix it...",
                          hull->mName.C_Str());
            return false;
        }
        importer.markIgnored(hull);
        mesh = scene.mMeshes[hull->mMeshes[0]];
    }

    std::vector<glm::vec3> raw;
    raw.reserve(mesh->mNumVertices);
    for (unsigned i = 0; i < mesh->mNumVertices; ++i)
        raw.emplace_back(mesh->mVertices[i].x, mesh->mVertices[i].y, mesh->mVertices[i].z);
    const std::size_t first = positions.size();
    std::vector<glm::vec3> welded;
    const std::vector<std::uint32_t> mapping = weldPositions(raw, welded);
    positions.insert(positions.end(), welded.begin(), welded.end());

    if (indices) {
        for (unsigned f = 0; f < mesh->mNumFaces; ++f) {
            const aiFace& face = mesh->mFaces[f];
            // Points and lines left over by triangulation have no area to collide with.
            if (face.mNumIndices != 3)
                continue;
            for (unsigned k = 0; k < 3; ++k) {
                const unsigned vertex = face.mIndices[k];
                indices->push_back(static_cast<std::uint32_t>(first) +
                                   (vertex < mapping.size() ? mapping[vertex] : 0u));
            }
        }
    }
    return true;
}

} // namespace hm
