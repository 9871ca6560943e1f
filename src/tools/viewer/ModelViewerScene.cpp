#include "tools/viewer/ModelViewerScene.h"

#include "animation/NodeAnimator.h"
#include "animation/RiggedMeshNode.h"
#include "app/AssetLocations.h"
#include "app/Log.h"
#include "app/Window.h"
#include "import/ModelImporter.h"
#include "render/FrameReadback.h"
#include "render/LightNode.h"
#include "render/Material.h"
#include "render/Mesh.h"
#include "render/OrbitCameraNode.h"
#include "scene/EmptyNode.h"

#include <glm/gtc/matrix_transform.hpp>
#include <stb/stb_image_write.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <limits>
#include <map>
#include <set>

namespace hm {

namespace {

namespace fs = std::filesystem;

constexpr float kFieldOfView = 0.8f; // vertical, radians
const glm::vec3 kViewDirection = glm::normalize(glm::vec3(0.8f, 0.55f, 1.0f));

void visit(Node3D& node, const std::function<void(Node3D&)>& f) {
    f(node);
    for (const auto& child : node.getChildren())
        visit(*child, f);
}

void logTree(const Node3D& node, int depth) {
    spdlog::info("{0}{1} ({2})", std::string(static_cast<std::size_t>(depth) * 2, ' '), node.getName(),
                 node.getTypeName());
    for (const auto& child : node.getChildren())
        logTree(*child, depth + 1);
}

bool writePng(const std::string& path, int width, int height, std::vector<std::uint8_t>& rgba) {
    // GL rows run from the bottom; image rows from the top.
    const std::size_t row = static_cast<std::size_t>(width) * 4;
    for (int y = 0; y < height / 2; ++y)
        std::swap_ranges(rgba.begin() + static_cast<std::ptrdiff_t>(y * row),
                         rgba.begin() + static_cast<std::ptrdiff_t>((y + 1) * row),
                         rgba.begin() + static_cast<std::ptrdiff_t>((height - 1 - y) * row));
    const fs::path parent = fs::path(path).parent_path();
    std::error_code error;
    if (!parent.empty())
        fs::create_directories(parent, error);
    return stbi_write_png(path.c_str(), width, height, 4, rgba.data(), static_cast<int>(row)) != 0;
}

} // namespace

ModelViewerScene::ModelViewerScene(Options options, std::shared_ptr<Outcome> outcome)
    : Scene("Model viewer"), options_(std::move(options)), outcome_(std::move(outcome)) {
    if (!outcome_)
        outcome_ = std::make_shared<Outcome>();
}

std::string ModelViewerScene::resolveModelPath(const std::string& argument) {
    const std::string path = toForwardSlashes(argument);
    std::error_code error;
    if (fs::is_regular_file(path, error))
        return path;
    return kModelsFolder + path;
}

void ModelViewerScene::load() {
    auto root = std::make_unique<EmptyNode>("root3D");
    Node3D& rootRef = *root;
    setRoot3D(std::move(root));

    const std::string path = resolveModelPath(options_.model);
    spdlog::info("Opening model {0}", path);
    ModelImporter importer;
    std::unique_ptr<Node3D> model = importer.importFile(this, 0, path);
    if (!model) {
        spdlog::error("The model {0} could not be opened.", path);
        return;
    }
    outcome_->modelLoaded = true;
    model_ = rootRef.addChild(std::move(model));

    setUpLighting(rootRef);
    frameModel(rootRef);
    logContents();
    startAnimation();
}

void ModelViewerScene::setUpLighting(Node3D& root) {
    std::vector<LightNode*> fileLights;
    std::string names;
    visit(*model_, [&](Node3D& node) {
        if (auto* light = dynamic_cast<LightNode*>(&node)) {
            fileLights.push_back(light);
            names += (names.empty() ? "" : ", ") + node.getName();
        }
    });
    if (options_.fileLights && !fileLights.empty()) {
        spdlog::info("Lights: the file's own ({0}).", names);
    } else {
        // The file's lights stay in the tree (animations may move them) but give no light; the
        // viewer's sun, added last, replaces a sun of the file as the scene's sun.
        for (LightNode* light : fileLights)
            light->intensity = 0.0f;
        root.createChild<SunLight>("viewer_sun", glm::normalize(glm::vec3(-0.45f, -1.0f, -0.3f)),
                                   glm::vec3(1.0f, 0.95f, 0.88f), 2.6f, glm::vec3(0.16f, 0.17f, 0.2f));
        if (fileLights.empty())
            spdlog::info("Lights: the viewer's sun (the model has no lights of its own).");
        else
            spdlog::info("Lights: the viewer's sun; the file's own ({0}) are off (--file-lights uses them).",
                         names);
    }
    // A file that chose neither a sky nor a clear colour gets the game's sky.
    if (!skyboxMaterial() && clearColour() == glm::vec3(0.0f))
        setSkybox("skybox/hollowmere_sky");
}

void ModelViewerScene::frameModel(Node3D& root) {
    glm::vec3 low(std::numeric_limits<float>::max()), high(-std::numeric_limits<float>::max());
    std::vector<glm::vec3> points;
    visit(*model_, [&](Node3D& node) {
        auto* meshNode = dynamic_cast<MeshNode*>(&node);
        if (!meshNode || !meshNode->mesh())
            return;
        const glm::mat4 world = node.getWorldMatrix();
        for (const Vertex& v : meshNode->mesh()->vertices()) {
            const glm::vec3 p = glm::vec3(world * glm::vec4(v.position, 1.0f));
            low = glm::min(low, p);
            high = glm::max(high, p);
            points.push_back(p);
        }
    });
    if (points.empty()) {
        boundsCentre_ = model_->getWorldPosition();
        boundsRadius_ = 1.0f;
    } else {
        boundsCentre_ = (low + high) * 0.5f;
        float radius = 0.0f;
        for (const glm::vec3& p : points)
            radius = std::max(radius, glm::length(p - boundsCentre_));
        boundsRadius_ = std::max(radius, 0.01f);
    }

    // Far enough for the bounding sphere to fit the narrower field of view, with a margin.
    const float distance = 1.15f * boundsRadius_ / std::sin(kFieldOfView / 2.0f);
    auto& centre = root.createChild<EmptyNode>("viewer_orbitCentre");
    centre.setLocalMatrix(glm::translate(glm::mat4(1.0f), boundsCentre_));
    const float nearPlane = std::max(0.01f, distance - 2.0f * boundsRadius_) * 0.5f;
    const float farPlane = distance + 4.0f * boundsRadius_ + 10.0f;
    auto& camera = root.createChild<OrbitCameraNode>("viewer_camera", kFieldOfView, std::min(nearPlane, 1.0f),
                                                     farPlane, aspectRatio(), &centre);
    camera.setLocalMatrix(glm::translate(glm::mat4(1.0f), boundsCentre_ + distance * kViewDirection));
    camera_ = &camera;
    setActiveCamera(camera.getName());
    spdlog::info("Model bounds: centre ({0:.3f}, {1:.3f}, {2:.3f}), radius {3:.3f}; camera distance {4:.3f}",
                 boundsCentre_.x, boundsCentre_.y, boundsCentre_.z, boundsRadius_, distance);
}

void ModelViewerScene::logContents() const {
    spdlog::info("Nodes:");
    logTree(*model_, 1);

    std::map<std::string, std::string> materials;
    std::map<std::string, float> skeletal;
    visit(*model_, [&](Node3D& node) {
        if (auto* meshNode = dynamic_cast<MeshNode*>(&node); meshNode && meshNode->material())
            materials[meshNode->material()->name()] = Material::typeName(meshNode->material()->typeId());
        if (auto* rigged = dynamic_cast<RiggedMeshNode*>(&node))
            for (const auto& animation : rigged->animations())
                skeletal[animation->name()] = animation->durationSeconds();
    });
    spdlog::info("Materials:");
    for (const auto& [name, type] : materials)
        spdlog::info("  {0} ({1})", name, type);
    spdlog::info("Skeletal animations:");
    for (const auto& [name, seconds] : skeletal)
        spdlog::info("  {0} ({1:.2f} s)", name, seconds);
    spdlog::info("Node animations:");
    for (const auto& animation : nodeAnimator().stash())
        spdlog::info("  {0} ({1:.2f} s, {2} channels)", animation->name(), animation->durationSeconds(),
                     animation->channels.size());
}

void ModelViewerScene::startAnimation() {
    if (options_.animation.empty())
        return;
    bool found = false;
    visit(*model_, [&](Node3D& node) {
        auto* rigged = dynamic_cast<RiggedMeshNode*>(&node);
        if (rigged && rigged->indexOf(options_.animation) >= 0) {
            rigged->queueAnimation(options_.animation, 1, 1.0f, 2, true);
            found = true;
        }
    });
    if (found) {
        spdlog::info("Playing skeletal animation {0}", options_.animation);
    } else if (nodeAnimator().stashed(options_.animation)) {
        auto animation = nodeAnimator().createAnimation(options_.animation);
        animation->setLoopCount(-1);
        nodeAnimator().play(animation);
        found = true;
        spdlog::info("Playing node animation {0}", options_.animation);
    } else {
        spdlog::error("The model has no skeletal or node animation named {0}.", options_.animation);
    }
    outcome_->animationFound = found;
}

void ModelViewerScene::start(Window& window) {
    Scene::start(window);
    const glm::ivec2 size = window.framebufferSize();
    if (size.x > 0 && size.y > 0)
        setAspectRatio(static_cast<float>(size.x) / static_cast<float>(size.y));
}

void ModelViewerScene::update(Window& window, float elapsed) {
    // Checked here rather than in start: the window clears exit requests made while a scene starts.
    if (!outcome_->modelLoaded) {
        window.exitGameLoop();
        return;
    }
    const bool capturing = !options_.screenshot.empty();
    Scene::update(window, capturing && outcome_->framesRendered > 0 ? kScreenshotFrameTime : elapsed);
}

void ModelViewerScene::render(Window& window, float elapsed) {
    Scene::render(window, elapsed);
    ++outcome_->framesRendered;
    if (options_.screenshot.empty() || outcome_->framesRendered < std::max(1, options_.frames))
        return;
    const glm::ivec2 size = window.framebufferSize();
    std::vector<std::uint8_t> rgba = readBackBuffer(size.x, size.y);
    // The frame is opaque on screen whatever the blending left in the alpha channel.
    for (std::size_t i = 3; i < rgba.size(); i += 4)
        rgba[i] = 255;
    outcome_->screenshotWritten = writePng(options_.screenshot, size.x, size.y, rgba);
    if (outcome_->screenshotWritten)
        spdlog::info("Wrote {0} after {1} frames", options_.screenshot, outcome_->framesRendered);
    else
        spdlog::error("Couldn't write the screenshot {0}.", options_.screenshot);
    window.exitGameLoop();
}

} // namespace hm
