#include "scene/Scene.h"

#include "animation/NodeAnimator.h"
#include "app/Log.h"
#include "app/MouseCursorObserver.h"
#include "app/UpdateableObject.h"
#include "app/Window.h"
#include "audio/SoundEngine.h"
#include "physics/PhysicsBody.h"
#include "physics/PhysicsScene.h"
#include "render/CameraNode.h"
#include "render/Material.h"
#include "render/RenderDevice.h"
#include "render/Renderer.h"
#include "render/TextureRegistry.h"
#include "scene/EmptyNode.h"
#include "scene/FrameInterpolator.h"
#include "scene/Node3DBody.h"
#include "ui/Node2D.h"

#include <algorithm>
#include <cmath>

namespace hm {

namespace {

// The camera a scene gets when load() made none: 60 degrees vertical field of view, placed at
// (4, 2, 4) and looking at the origin of the 3D root.
constexpr float kDefaultFieldOfView = 1.0471976f;
constexpr float kDefaultNear = 0.1f;
constexpr float kDefaultFar = 1000.0f;
constexpr float kDefaultCameraAspect = 1.777f;
constexpr glm::vec3 kDefaultCameraPosition{4.0f, 2.0f, 4.0f};

} // namespace

Scene::Scene(std::string name) : name_(std::move(name)) {
    physicsScene_ = std::make_unique<PhysicsScene>(gravity_);
    nodeAnimator_ = std::make_unique<NodeAnimator>(this);
    spdlog::debug("Standard NodeAnimator for scene {0} initialized.", name_);
    cursorObserver_ = std::make_unique<MouseCursorObserver>(*this);
}

Scene::~Scene() {
    // The observer unregisters from the window and must not outlive the nodes it may hover;
    // the trees go before the physics scene that holds their bodies' actors.
    cursorObserver_.reset();
    nodeAnimator_.reset();
    retiredRoot3D_.reset();
    root3D_.reset();
    root2D_.reset();
    physicsScene_.reset();
    spdlog::debug("Destroyed scene {0}", name_);
}

void Scene::start(Window& window) {
    window_ = &window;
    load();
    Renderer* renderer = RenderDevice::current().renderer();
    if (renderer)
        renderer->prepareContext(clearColour_);

    if (!root3D_) {
        spdlog::info("No 3d root node was set for scene {0}. I created an empty one.", name_);
        setRoot3D(std::make_unique<EmptyNode>("root3D"));
    }
    if (!root2D_) {
        spdlog::info("No 2d root node was set for scene {0}. I created a plain one.", name_);
        setRoot2D(std::make_unique<Node2D>("root2D"));
    }
    // A root set before start (in a constructor) joined the scene before it had a window.
    if (root3D_->getWindow() != window_)
        root3D_->setWindow(window_);
    if (root2D_->window() != window_)
        root2D_->setWindow(window_);

    if (!activeCamera_) {
        if (cameras_.empty()) {
            spdlog::warn("No active camera and no registered camera set. I created a default camera!");
            createDefaultCamera();
        } else {
            CameraNode& first = *cameras_.begin()->second;
            makeActive(first);
            spdlog::warn("No active camera was set, so I have chosen the first one in my list: {0}!",
                         first.getName());
        }
    }

    root3D_->updateWorldMatrix();

    std::map<std::string, Node3D*> withBodies;
    root3D_->collectByName(withBodies, Node3D::CollectMode::WithBody);
    for (const auto& [name, node] : withBodies)
        node->getBody()->addToScene(*this);

    window.registerInputHandler(*cursorObserver_);
    if (renderer)
        renderer->brightness = window.brightness();
    started_ = true;
}

void Scene::stepPhysics(float elapsed) {
    PhysicsScene& physics = *physicsScene_;
    physics.step(elapsed);
    // Nodes may destroy bodies (their own or others') from these calls; a body that left the
    // simulation is skipped.
    const std::vector<Node3DBody*> moved = physics.movedBodies();
    for (Node3DBody* body : moved)
        if (physics.contains(body))
            static_cast<PhysicsBody*>(body)->onPhysicsPose();
    for (const auto& [a, b] : physics.takeContactPairs()) {
        if (!physics.contains(a) || !physics.contains(b) || !a->owner() || !b->owner())
            continue;
        a->owner()->onContact(*b->owner());
        if (!physics.contains(a) || !physics.contains(b) || !a->owner() || !b->owner())
            continue;
        b->owner()->onContact(*a->owner());
    }
}

void Scene::createDefaultCamera() {
    // The look-at centre is given in the camera's own frame: the root's origin seen from
    // kDefaultCameraPosition.
    auto camera = std::make_unique<CameraNode>("defaultCamera", kDefaultFieldOfView, kDefaultNear,
                                               kDefaultFar, kDefaultCameraAspect, -kDefaultCameraPosition,
                                               glm::vec3(0.0f, 1.0f, 0.0f));
    camera->translate(kDefaultCameraPosition);
    CameraNode& ref = *camera;
    root3D_->addChild(std::move(camera));
    makeActive(ref);
}

void Scene::update(Window& window, float elapsed) {
    updateWorld(elapsed);
    updateInterface(elapsed);
}

void Scene::updateWorld(float elapsed) {
    sceneTime_ += elapsed;

    if (elapsed > 0.0f)
        stepPhysics(elapsed);

    nodeAnimator_->update(elapsed);

    for (std::size_t i = updateables_.size(); i > 0;) {
        --i;
        if (i >= updateables_.size())
            continue;
        if (std::shared_ptr<UpdateableObject> object = updateables_[i].lock())
            object->update(elapsed);
        else
            updateables_.erase(updateables_.begin() + static_cast<std::ptrdiff_t>(i));
    }

    if (root3D_) {
        if (root3D_->destroyPending()) {
            root3D_.reset();
        } else {
            rootInUpdate_ = root3D_.get();
            root3D_->updateTree(elapsed);
            rootInUpdate_ = nullptr;
            retiredRoot3D_.reset();
        }
    }
}

void Scene::updateInterface(float elapsed) {
    if (root2D_)
        root2D_->updatePass(elapsed);
    // A widget that slid away or was hidden under a still cursor lets go of its hover now. The
    // hooks may change the tree, so walk a copy.
    std::vector<Node2D*> nodes2D;
    nodes2D.reserve(drawOrder2D_.size());
    for (const auto& entry : drawOrder2D_)
        nodes2D.push_back(entry.second);
    for (Node2D* node : nodes2D)
        if (std::any_of(drawOrder2D_.begin(), drawOrder2D_.end(),
                        [&](const auto& e) { return e.second == node; }))
            node->refreshPointer();

    cursorObserver_->update(elapsed);
}

void Scene::render(Window& window, float elapsed) {
    if (!root3D_)
        return;
    // A headless scene (null render device) simulates without drawing.
    if (Renderer* renderer = RenderDevice::current().renderer()) {
        DrawnPoses drawn(*this);
        renderer->render(window, *this, elapsed);
    }
}

void Scene::stepTaken() {
    if (!interpolator_)
        interpolator_ = std::make_unique<FrameInterpolator>();
    if (root3D_)
        interpolator_->captureStep(*root3D_);
}

Scene::DrawnPoses::DrawnPoses(Scene& scene) : interpolator_(scene.interpolator_.get()) {
    if (interpolator_)
        interpolator_->apply(scene.stepBlend_);
}

Scene::DrawnPoses::~DrawnPoses() {
    if (interpolator_)
        interpolator_->restore();
}

void Scene::setSkybox(const std::string& cubeMapName) {
    auto cubeMap = loadCubeMap(cubeMapName);
    if (!cubeMap) {
        spdlog::error("Couldn't load skybox with the filename: {0}.", cubeMapName);
        return;
    }
    auto& registry = MaterialRegistry::instance();
    // One sky material serves every scene; a later scene gives it its own cube map.
    auto material = registry.findMaterial("skybox");
    if (!material)
        material = registry.createMaterial("skybox");
    material->setShader("skybox");
    material->setTexture(0, cubeMap);
    skyboxMaterial_ = std::move(material);
}

void Scene::updateListener(SoundEngine& soundEngine) {
    if (activeCamera_)
        soundEngine.updateListener(listenerPoseOf(*activeCamera_));
}

ListenerPose Scene::listenerPoseOf(const CameraNode& camera) {
    // The rows of the view matrix are the camera's axes in world space; the camera looks along
    // its negative z axis.
    const glm::mat4& view = camera.getView();
    ListenerPose pose;
    pose.position = camera.getWorldPosition();
    pose.forward = -glm::vec3(view[0][2], view[1][2], view[2][2]);
    pose.up = glm::vec3(view[0][1], view[1][1], view[2][1]);
    pose.name = camera.getName();
    return pose;
}

void Scene::setRoot3D(std::unique_ptr<Node3D> root) {
    if (!root) {
        spdlog::warn("Scene {0} was given no 3d root; the current one stays.", name_);
        return;
    }
    std::unique_ptr<Node3D> previous = std::move(root3D_);
    root3D_ = std::move(root);
    root3D_->setScene(this);
    if (interpolator_)
        interpolator_->clear();
    if (previous && previous.get() == rootInUpdate_)
        retiredRoot3D_ = std::move(previous); // its update is still running
}

void Scene::setRoot2D(std::unique_ptr<Node2D> root) {
    if (!root) {
        spdlog::warn("Scene {0} was given no 2d root; the current one stays.", name_);
        return;
    }
    std::unique_ptr<Node2D> previous = std::move(root2D_);
    root2D_ = std::move(root);
    root2D_->setScene(this);
    if (previous)
        previous->setScene(nullptr); // out of the draw order and the window before it goes
}

void Scene::addNode2D(Node2D& node, float depth) {
    drawOrder2D_.emplace(depth, &node);
}

void Scene::removeNode2D(Node2D& node, float depth) {
    auto [first, last] = drawOrder2D_.equal_range(depth);
    for (auto it = first; it != last; ++it)
        if (it->second == &node) {
            drawOrder2D_.erase(it);
            return;
        }
    // Not under its depth (should not happen): look through the whole record.
    std::erase_if(drawOrder2D_, [&](const auto& entry) { return entry.second == &node; });
}

Node2D* Scene::widgetAt(const glm::vec2& screen) const {
    for (auto it = drawOrder2D_.rbegin(); it != drawOrder2D_.rend(); ++it)
        if (it->second->catchesPointer(screen))
            return it->second;
    return nullptr;
}

void Scene::registerCamera(CameraNode& camera) {
    camera.setAspectRatio(aspectRatio_);
    cameras_[camera.getName()] = &camera;
}

void Scene::unregisterCamera(CameraNode& camera) {
    // By identity rather than by name: a camera replaced in the registry by a namesake (or
    // renamed since) must not take the other camera's entry with it.
    std::erase_if(cameras_, [&](const auto& entry) { return entry.second == &camera; });
    if (activeCamera_ == &camera)
        activeCamera_ = nullptr;
}

CameraNode* Scene::findCamera(const std::string& name) const {
    auto it = cameras_.find(name);
    return it == cameras_.end() ? nullptr : it->second;
}

void Scene::setActiveCamera(const std::string& name) {
    CameraNode* camera = findCamera(name);
    if (!camera) {
        spdlog::error("No camera by the name {0} registered at this scene.", name);
        return;
    }
    makeActive(*camera);
}

void Scene::makeActive(CameraNode& camera) {
    if (activeCamera_)
        activeCamera_->deactivate();
    activeCamera_ = &camera;
    camera.activate();
}

void Scene::setAspectRatio(float ratio) {
    if (!(ratio > 0.0f) || !std::isfinite(ratio)) {
        spdlog::warn("Scene {0} ignores the aspect ratio {1}.", name_, ratio);
        return;
    }
    aspectRatio_ = ratio;
    for (const auto& [name, camera] : cameras_)
        camera->setAspectRatio(ratio);
}

void Scene::addUpdateable(std::weak_ptr<UpdateableObject> object) {
    updateables_.push_back(std::move(object));
}

void Scene::addLight(LightNode& light) {
    if (std::find(lights_.begin(), lights_.end(), &light) == lights_.end())
        lights_.push_back(&light);
}

void Scene::removeLight(LightNode& light) {
    std::erase(lights_, &light);
}

void Scene::addParticleSystem(ParticleSystem& system) {
    if (std::find(particleSystems_.begin(), particleSystems_.end(), &system) == particleSystems_.end())
        particleSystems_.push_back(&system);
}

void Scene::removeParticleSystem(ParticleSystem& system) {
    std::erase(particleSystems_, &system);
}

} // namespace hm
