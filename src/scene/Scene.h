// One screen of the game: the main menu or the level.
//
// A scene owns a 3D node tree, a 2D node tree, a physics scene, a node animator and a cursor
// observer, and keeps a registry of its cameras (by node name) with one active camera. The
// window's game loop starts it once, then updates and renders it every frame until the scene
// is replaced. Concrete scenes build their content in load() and extend update().
//
// Frame order of update: physics step (only for elapsed > 0), node animator, updateables (last
// to first), 3D tree, 2D tree, the 2D nodes' pointer check, cursor observer. The first four are
// the world (updateWorld), the last three the interface (updateInterface): a scene that advances
// its world in fixed steps runs the interface on every frame and the world only on its steps.
//
// Cameras, lights and particle systems announce themselves when they join the scene and leave
// when they go; the scene only observes them (the nodes live in the 3D tree).
#pragma once

#include "app/InputHandler.h"
#include "scene/PropertyHolder.h"

#include <glm/vec2.hpp>
#include <glm/vec3.hpp>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace hm {

class CameraNode;
class FrameInterpolator;
class LightNode;
class MouseCursorObserver;
class Node2D;
class Node3D;
class NodeAnimator;
class ParticleSystem;
class PhysicsScene;
class Material;
class SoundEngine;
struct ListenerPose;
class SunLight;
class UpdateableObject;
class Window;

class Scene : public PropertyHolder, public InputHandler {
public:
    static constexpr float kDefaultAspectRatio = 1.77f;

    explicit Scene(std::string name);
    ~Scene() override;

    const std::string& name() const { return name_; }

    // Builds the scene's content: trees, cameras, coordinator. Called by start first thing.
    virtual void load() = 0;
    // Loads the scene, repairs what load left out (roots, active camera) and sets the
    // OpenGL state shared by all scenes.
    virtual void start(Window& window);
    virtual void render(Window& window, float elapsed);
    // The world's part of a frame and then the interface's, with the same time.
    virtual void update(Window& window, float elapsed);
    // The world: physics, node animations, updateables and the 3D tree.
    void updateWorld(float elapsed);
    // The interface: the 2D tree, the 2D nodes' pointer check and the cursor observer. A scene
    // whose world runs on a clock of its own (the level: paused, or faster) keeps its interface
    // on the frame time.
    void updateInterface(float elapsed);

    // --- Drawing between fixed steps ----------------------------------------------------------
    // A scene that advances its world in fixed steps calls stepTaken after each step and tells how
    // far the frame has come towards the next step (0 to 1); render then draws every node that
    // moved at its pose that far between the last two steps (see FrameInterpolator). Other scenes
    // draw the world as it is.
    void stepTaken();
    void setStepBlend(float alpha) { stepBlend_ = alpha; }
    float stepBlend() const { return stepBlend_; }
    // While it lives, the nodes stand at the poses render draws; render makes one, tests read them.
    class DrawnPoses {
    public:
        explicit DrawnPoses(Scene& scene);
        ~DrawnPoses();
        DrawnPoses(const DrawnPoses&) = delete;
        DrawnPoses& operator=(const DrawnPoses&) = delete;

    private:
        FrameInterpolator* interpolator_;
    };

    // Moves the sound listener to the active camera; called once per frame after render.
    void updateListener(SoundEngine& soundEngine);
    // Where a listener at the camera stands and looks (the camera's world position and axes).
    static ListenerPose listenerPoseOf(const CameraNode& camera);

    // The roots are normally set in load(). The previous root is destroyed.
    void setRoot3D(std::unique_ptr<Node3D> root);
    void setRoot2D(std::unique_ptr<Node2D> root);
    Node3D* root3D() const { return root3D_.get(); }
    Node2D* root2D() const { return root2D_.get(); }

    // The scene's 2D nodes by the depth (world z) of each; nodes of equal depth keep the order in
    // which they were filed. 2D nodes file and withdraw themselves as they join and leave.
    const std::multimap<float, Node2D*>& drawOrder2D() const { return drawOrder2D_; }
    void addNode2D(Node2D& node, float depth);
    void removeNode2D(Node2D& node, float depth);
    // The topmost 2D node that takes the pointer at this screen position (x right, y up, 0 to 1),
    // or null: the cursor observer hands nothing under such a node to the 3D world.
    Node2D* widgetAt(const glm::vec2& screen) const;

    // --- Cameras ----------------------------------------------------------------------------
    // Hands the scene's aspect ratio to the camera and files it under its node name,
    // replacing a camera of the same name.
    void registerCamera(CameraNode& camera);
    // Removes the camera from the registry (under whatever name it is filed) and stops using
    // it as the active camera.
    void unregisterCamera(CameraNode& camera);
    // Deactivates the active camera and activates the named one; an unknown name is logged.
    void setActiveCamera(const std::string& name);
    CameraNode* activeCamera() const { return activeCamera_; }
    CameraNode* findCamera(const std::string& name) const;
    const std::map<std::string, CameraNode*>& cameras() const { return cameras_; }
    // Stored and handed to every registered camera; called by the window on every resize.
    void setAspectRatio(float ratio);
    float aspectRatio() const { return aspectRatio_; }

    // --- Per-frame participants -------------------------------------------------------------
    // The scene keeps only a weak reference; the owner keeps the object alive. Expired entries
    // are dropped at the next update.
    void addUpdateable(std::weak_ptr<UpdateableObject> object);
    std::size_t updateableCount() const { return updateables_.size(); }

    // Lights other than the sun and particle systems, read by the renderer.
    void addLight(LightNode& light);
    void removeLight(LightNode& light);
    const std::vector<LightNode*>& lights() const { return lights_; }
    void addParticleSystem(ParticleSystem& system);
    void removeParticleSystem(ParticleSystem& system);
    const std::vector<ParticleSystem*>& particleSystems() const { return particleSystems_; }

    // --- Look -------------------------------------------------------------------------------
    // The sun light sets itself; null when the scene has none.
    void setSun(SunLight* sun) { sun_ = sun; }
    SunLight* sun() const { return sun_; }
    // Loads the cube map of that name (a folder of six faces below the textures folder) and
    // draws it as the sky; a cube map that cannot be loaded is logged and the sky stays.
    void setSkybox(const std::string& cubeMapName);
    // The material the sky cube is drawn with, or null without a sky.
    const std::shared_ptr<Material>& skyboxMaterial() const { return skyboxMaterial_; }
    void setClearColour(const glm::vec3& colour) { clearColour_ = colour; }
    const glm::vec3& clearColour() const { return clearColour_; }

    PhysicsScene& physicsScene() const { return *physicsScene_; }
    NodeAnimator& nodeAnimator() const { return *nodeAnimator_; }
    MouseCursorObserver& cursorObserver() const { return *cursorObserver_; }
    const glm::vec3& gravity() const { return gravity_; }
    float sceneTime() const { return sceneTime_; }
    bool started() const { return started_; }
    Window* window() const { return window_; }

private:
    void makeActive(CameraNode& camera);
    void createDefaultCamera();
    // Advances the simulation, moves the nodes of moving bodies and delivers the contacts.
    void stepPhysics(float elapsed);

    std::string name_;
    glm::vec3 gravity_{0.0f, -9.81f, 0.0f};
    // Created at construction; the physics layer steps it in update and gives it the bodies of
    // the 3D tree at start.
    std::unique_ptr<PhysicsScene> physicsScene_;
    std::unique_ptr<Node3D> root3D_;
    // A root replaced while the 3D tree is being updated lives until the pass has ended.
    std::unique_ptr<Node3D> retiredRoot3D_;
    std::unique_ptr<Node2D> root2D_;
    std::multimap<float, Node2D*> drawOrder2D_;
    std::vector<ParticleSystem*> particleSystems_;
    std::unique_ptr<MouseCursorObserver> cursorObserver_;
    std::unique_ptr<NodeAnimator> nodeAnimator_;
    std::unique_ptr<FrameInterpolator> interpolator_; // made by the first stepTaken
    float stepBlend_ = 1.0f;
    float sceneTime_ = 0.0f;
    CameraNode* activeCamera_ = nullptr;
    std::map<std::string, CameraNode*> cameras_;
    float aspectRatio_ = kDefaultAspectRatio;
    std::shared_ptr<Material> skyboxMaterial_;
    glm::vec3 clearColour_{0.0f, 0.0f, 0.0f};
    SunLight* sun_ = nullptr;
    bool started_ = false;
    Node3D* rootInUpdate_ = nullptr; // the root whose updateTree is running
    std::vector<std::weak_ptr<UpdateableObject>> updateables_;
    std::vector<LightNode*> lights_;
    Window* window_ = nullptr;
};

} // namespace hm
