// Rigid bodies of scene nodes: one collision shape each, static, dynamic or kinematic.
//
// A body creates its Bullet object when its node joins a scene (or the scene starts), keeps
// node and simulation poses in step in both directions, and is removed from the simulation
// when it is destroyed. Convex hulls and triangle meshes cache their cooked shapes in files of
// the physics cache folder (see CookingCache.h).
//
// Shapes lie along the body's own x axis (capsule axis, plane normal). The orientation mode
// turns that axis onto the node's x (0), y (1) or z (2) axis.
#pragma once

#include "physics/Cooking.h"
#include "scene/Node3DBody.h"

#include <glm/gtc/quaternion.hpp>
#include <glm/mat4x4.hpp>
#include <glm/vec3.hpp>

#include <memory>
#include <optional>
#include <string>
#include <vector>

class btCollisionShape;
class btCompoundShape;
class btRigidBody;
class btTransform;
class btVector3;

namespace hm {

struct PhysicsMaterial;
class PhysicsScene;
class BodyMotionState;

enum class ActorType : int { Static = 0, Dynamic = 1, Kinematic = 2 };

class PhysicsBody : public Node3DBody {
public:
    ~PhysicsBody() override;

    void onOwnerPoseChanged() override;
    void addToScene(Scene& scene) override;
    void leaveScene() override { removeFromScene(); }
    std::string getTypeName() const override { return "Node3DBody"; }

    // The simulation moved the body: the node follows (without pushing the pose back).
    void onPhysicsPose();

    // Cache file of cooked shapes: "<physics cache>/<folder>/<name>.dat"; empty clears it.
    void setBufferName(const std::string& name);
    const std::string& bufferFile() const { return bufferFile_; }
    virtual std::string getBufferFolder() const { return {}; }

    // A static body in a scene cannot become dynamic or kinematic, nor the other way round; a
    // kinematic body that becomes dynamic gets its mass and falls, a dynamic one that becomes
    // kinematic stops and follows its node.
    void setActorType(ActorType type);
    ActorType actorType() const { return actorType_; }
    void setOrientationMode(int axis) { orientation_ = axis >= 0 && axis <= 2 ? axis : 0; }
    int orientationMode() const { return orientation_; }

    // Scales an existing dynamic body's mass with the change of density.
    void setDensity(float density);
    // Centre of mass in the node's own axes, in units (not scaled with the node); it takes
    // effect when the body joins a scene. Ignored by static bodies and triangle meshes.
    void setCentreOfMass(const glm::vec3& centre) { centreOfMass_ = centre; }
    void setMass(float mass);
    void setInertia(const glm::vec3& inertia);
    void setLinearLocks(const glm::ivec3& locks);
    void setAngularLocks(const glm::ivec3& locks);
    void addForce(const glm::vec3& force);
    void setLinearVelocity(const glm::vec3& velocity);

    float density() const { return density_; }
    float mass() const;
    bool gravity() const { return gravity_; }
    const PhysicsMaterial& material() const { return *material_; }
    bool inScene() const { return rigidBody_ != nullptr; }
    glm::vec3 linearVelocity() const;
    // The pose of the simulated body (position and rotation, without the orientation turn).
    glm::mat4 simulatedPose() const;
    // Size parameters of the created shape, for tests and tools: half extents of a box, radius
    // and half height of a capsule, radius of a sphere.
    virtual glm::vec3 shapeDimensions() const { return glm::vec3(0.0f); }

protected:
    PhysicsBody(ActorType type, const PhysicsMaterial* material, bool gravity);
    PhysicsBody(const PhysicsBody& source);

    // Builds the shape for a node of that world scale; null (after a log line) on failure.
    virtual std::unique_ptr<btCollisionShape> createShape(const glm::vec3& scale) = 0;
    // Volume of the created shape, for the mass from density.
    virtual float shapeVolume(const glm::vec3& scale) const = 0;
    const std::string& ownerName() const;

private:
    void removeFromScene();
    btTransform actorPose() const;
    // The node's pose (without scale) for a pose of the simulated body.
    glm::mat4 nodePose(const btTransform& actor) const;
    void dynamicMass(float& mass, btVector3& inertia) const;
    void applyLocks();

    std::string bufferFile_;
    const PhysicsMaterial* material_;
    ActorType actorType_;
    bool poseFromPhysics_ = false;
    bool gravity_;
    float density_ = 1.0f;
    std::optional<glm::vec3> centreOfMass_;
    float mass_ = -1.0f;
    glm::vec3 inertia_{-1.0f};
    glm::ivec3 linearLocks_{0};
    glm::ivec3 angularLocks_{0};
    glm::vec3 pendingForce_{0.0f};
    glm::vec3 pendingVelocity_{0.0f};
    int orientation_ = 0;

    PhysicsScene* scene_ = nullptr;
    std::unique_ptr<btCollisionShape> shape_;
    std::unique_ptr<btCompoundShape> offsetShape_; // shape_ moved off the centre of mass
    glm::vec3 massOffset_{0.0f};                   // centre of mass in the body's frame
    std::unique_ptr<BodyMotionState> motionState_;
    std::unique_ptr<btRigidBody> rigidBody_;
    glm::vec3 scale_{1.0f};
};

class BoxBody : public PhysicsBody {
public:
    // size: full edge lengths before the node's scale.
    BoxBody(ActorType type, const PhysicsMaterial* material, bool gravity, const glm::vec3& size);
    std::unique_ptr<Node3DBody> copy(Node3D& newOwner) const override;
    glm::vec3 shapeDimensions() const override { return halfExtents_; }

protected:
    std::unique_ptr<btCollisionShape> createShape(const glm::vec3& scale) override;
    float shapeVolume(const glm::vec3& scale) const override;

private:
    glm::vec3 size_;
    glm::vec3 halfExtents_{0.0f};
};

class SphereBody : public PhysicsBody {
public:
    SphereBody(ActorType type, const PhysicsMaterial* material, bool gravity, float radius);
    std::unique_ptr<Node3DBody> copy(Node3D& newOwner) const override;
    glm::vec3 shapeDimensions() const override { return glm::vec3(scaledRadius_); }

protected:
    std::unique_ptr<btCollisionShape> createShape(const glm::vec3& scale) override;
    float shapeVolume(const glm::vec3& scale) const override;

private:
    float radius_;
    float scaledRadius_ = 0.0f;
};

class CapsuleBody : public PhysicsBody {
public:
    // height: length of the straight part; the caps add a radius at each end.
    CapsuleBody(ActorType type, const PhysicsMaterial* material, bool gravity, int axis, float height,
                float radius);
    std::unique_ptr<Node3DBody> copy(Node3D& newOwner) const override;
    // (radius, half height of the straight part, 0) after the node's scale.
    glm::vec3 shapeDimensions() const override { return {scaledRadius_, halfHeight_, 0.0f}; }
    // Radius and half height for a node of that scale (the caps keep their roundness).
    static glm::vec2 scaledDimensions(float height, float radius, const glm::vec3& scale);

protected:
    std::unique_ptr<btCollisionShape> createShape(const glm::vec3& scale) override;
    float shapeVolume(const glm::vec3& scale) const override;

private:
    float height_;
    float radius_;
    float scaledRadius_ = 0.0f;
    float halfHeight_ = 0.0f;
};

class PlaneBody : public PhysicsBody {
public:
    // Always static, with the default material and no gravity.
    explicit PlaneBody(int axis);
    std::unique_ptr<Node3DBody> copy(Node3D& newOwner) const override;

protected:
    std::unique_ptr<btCollisionShape> createShape(const glm::vec3& scale) override;
    float shapeVolume(const glm::vec3&) const override { return 0.0f; }
};

class ConvexHullBody : public PhysicsBody {
public:
    ConvexHullBody(ActorType type, const PhysicsMaterial* material, bool gravity,
                   const std::string& bufferName, std::vector<glm::vec3> points, unsigned maxVertices);
    std::unique_ptr<Node3DBody> copy(Node3D& newOwner) const override;
    std::string getBufferFolder() const override { return "convex_hulls/"; }
    std::size_t hullSize() const { return hull_.size(); }

protected:
    std::unique_ptr<btCollisionShape> createShape(const glm::vec3& scale) override;
    float shapeVolume(const glm::vec3& scale) const override;

private:
    std::vector<glm::vec3> points_;
    unsigned maxVertices_;
    std::vector<glm::vec3> hull_;
    float volume_ = 0.0f; // of the hull before the margin is taken off, at scale 1
};

class MeshBody : public PhysicsBody {
public:
    // Triangle meshes cannot move: a dynamic request becomes static with a warning naming the node.
    MeshBody(ActorType type, const PhysicsMaterial* material, bool gravity, const std::string& bufferName,
             std::vector<glm::vec3> vertices, std::vector<std::uint32_t> indices,
             const std::string& nodeName = {});
    std::unique_ptr<Node3DBody> copy(Node3D& newOwner) const override;
    std::string getBufferFolder() const override { return "mesh_hulls/"; }
    const std::shared_ptr<CookedTriangleMesh>& cooked() const { return cooked_; }

protected:
    std::unique_ptr<btCollisionShape> createShape(const glm::vec3& scale) override;
    float shapeVolume(const glm::vec3&) const override { return 0.0f; }

private:
    std::vector<glm::vec3> vertices_;
    std::vector<std::uint32_t> indices_;
    std::shared_ptr<CookedTriangleMesh> cooked_;
};

} // namespace hm
