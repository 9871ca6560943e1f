#include "physics/PhysicsBody.h"

#include "app/Log.h"
#include "physics/BodyMotionState.h"
#include "physics/CookingCache.h"
#include "physics/PhysicsWorld.h"
#include "scene/Node3D.h"
#include "scene/Scene.h"

#include <BulletCollision/CollisionShapes/btScaledBvhTriangleMeshShape.h>
#include <btBulletDynamicsCommon.h>

#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtx/matrix_decompose.hpp>

#include <cmath>
#include <map>

namespace hm {

namespace {

constexpr float kPi = 3.14159265358979f;

btVector3 toBullet(const glm::vec3& v) {
    return {v.x, v.y, v.z};
}
glm::vec3 toGlm(const btVector3& v) {
    return {v.x(), v.y(), v.z()};
}

// Turns the body's x axis onto the node's x, y or z axis.
glm::quat orientationTurn(int mode) {
    switch (mode) {
    case 1:
        return glm::angleAxis(kPi / 2.0f, glm::vec3(0, 0, 1));
    case 2:
        return glm::angleAxis(-kPi / 2.0f, glm::vec3(0, 1, 0));
    default:
        return glm::quat(1, 0, 0, 0);
    }
}

struct Decomposed {
    glm::vec3 position{0.0f};
    glm::quat rotation{1, 0, 0, 0};
    glm::vec3 scale{1.0f};
};

Decomposed decompose(const glm::mat4& m) {
    Decomposed d;
    d.position = glm::vec3(m[3]);
    for (int i = 0; i < 3; ++i)
        d.scale[i] = glm::length(glm::vec3(m[i]));
    glm::mat3 r(1.0f);
    for (int i = 0; i < 3; ++i)
        r[i] = d.scale[i] > 1e-8f ? glm::vec3(m[i]) / d.scale[i] : glm::vec3(0.0f);
    if (glm::determinant(r) < 0.0f) { // mirrored: fold the reflection into one scale axis
        d.scale.x = -d.scale.x;
        r[0] = -r[0];
    }
    d.rotation = glm::normalize(glm::quat_cast(r));
    return d;
}

// Fingerprint of the geometry a shape is cooked from: a cache file of other geometry is stale.
template <typename T> std::uint64_t fingerprint(const std::vector<T>& values, std::uint64_t extra = 0) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(values.data());
    return cookedChecksum(bytes, values.size() * sizeof(T)) ^ (extra * 0x9E3779B97F4A7C15ull);
}

// Cooked triangle meshes are shared by every body built from the same cache file.
std::map<std::string, std::weak_ptr<CookedTriangleMesh>>& cookedMeshes() {
    static std::map<std::string, std::weak_ptr<CookedTriangleMesh>> meshes;
    return meshes;
}

} // namespace

PhysicsBody::PhysicsBody(ActorType type, const PhysicsMaterial* material, bool gravity)
    : material_(material ? material : PhysicsWorld::instance().materials().getPhysicsMaterial("Default")),
      actorType_(type), gravity_(gravity) {}

PhysicsBody::PhysicsBody(const PhysicsBody& source)
    : Node3DBody(), bufferFile_(source.bufferFile_), material_(source.material_),
      actorType_(source.actorType_), gravity_(source.gravity_), density_(source.density_),
      centreOfMass_(source.centreOfMass_), mass_(source.mass_), inertia_(source.inertia_),
      linearLocks_(source.linearLocks_), angularLocks_(source.angularLocks_),
      pendingForce_(source.pendingForce_), pendingVelocity_(source.pendingVelocity_),
      orientation_(source.orientation_) {}

PhysicsBody::~PhysicsBody() {
    removeFromScene();
}

const std::string& PhysicsBody::ownerName() const {
    static const std::string none = "<no node>";
    return owner() ? owner()->getName() : none;
}

void PhysicsBody::setBufferName(const std::string& name) {
    bufferFile_.clear();
    if (!name.empty())
        bufferFile_ = cookedFilePath(getBufferFolder(), name, ownerName()).value_or(std::string());
}

void PhysicsBody::removeFromScene() {
    if (scene_ && rigidBody_) {
        scene_->world().removeRigidBody(rigidBody_.get());
        scene_->removeBody(this);
    }
    rigidBody_.reset();
    motionState_.reset();
    offsetShape_.reset();
    shape_.reset();
    scene_ = nullptr;
}

btTransform PhysicsBody::actorPose() const {
    const Decomposed d = decompose(owner() ? owner()->getWorldMatrix() : glm::mat4(1.0f));
    const glm::quat q = d.rotation * orientationTurn(orientation_);
    btTransform pose;
    pose.setOrigin(toBullet(d.position));
    pose.setRotation(btQuaternion(q.x, q.y, q.z, q.w));
    // The simulated body sits at the centre of mass.
    pose.setOrigin(pose * toBullet(massOffset_));
    return pose;
}

glm::mat4 PhysicsBody::nodePose(const btTransform& actor) const {
    const btQuaternion r = actor.getRotation();
    const glm::quat turned(r.w(), r.x(), r.y(), r.z());
    const glm::vec3 origin = toGlm(actor.getOrigin()) - turned * massOffset_;
    const glm::quat rotation = turned * glm::inverse(orientationTurn(orientation_));
    return glm::translate(glm::mat4(1.0f), origin) * glm::mat4_cast(rotation);
}

void PhysicsBody::dynamicMass(float& mass, btVector3& inertia) const {
    mass = mass_ >= 0.0f ? mass_ : density_ * shapeVolume(scale_);
    if (!(mass > 0.0f) || !std::isfinite(mass))
        mass = 1.0f;
    // About the shape's own centre: a moved centre of mass changes where the body balances,
    // not how it spins.
    inertia = btVector3(0, 0, 0);
    shape_->calculateLocalInertia(mass, inertia);
    if (inertia_.x >= 0.0f)
        inertia = toBullet(inertia_);
}

void PhysicsBody::addToScene(Scene& scene) {
    removeFromScene();
    if (!owner())
        return;
    const Decomposed d = decompose(owner()->getWorldMatrix());
    scale_ = glm::abs(d.scale);
    shape_ = createShape(scale_);
    if (!shape_) {
        spdlog::warn("PhysX-Body for node {0} not created.", ownerName());
        return;
    }
    shape_->setMargin(std::min(shape_->getMargin(), 0.04f));
    // A centre of mass away from the node's origin: the simulated body sits there and carries
    // the shape shifted back, so the shape stays where the node is. Static bodies never move and
    // have no use for it.
    massOffset_ = glm::vec3(0.0f);
    if (centreOfMass_ && actorType_ != ActorType::Static && *centreOfMass_ != glm::vec3(0.0f) &&
        shape_->getShapeType() != SCALED_TRIANGLE_MESH_SHAPE_PROXYTYPE) {
        massOffset_ = glm::inverse(orientationTurn(orientation_)) * *centreOfMass_;
        offsetShape_ = std::make_unique<btCompoundShape>(false, 1);
        btTransform local;
        local.setIdentity();
        local.setOrigin(-toBullet(massOffset_));
        offsetShape_->addChildShape(local, shape_.get());
    }
    btCollisionShape& simulated = offsetShape_ ? *offsetShape_ : *shape_;

    const btTransform pose = actorPose();
    motionState_ = std::make_unique<BodyMotionState>(this, pose);
    float mass = 0.0f;
    btVector3 inertia(0, 0, 0);
    if (actorType_ == ActorType::Dynamic)
        dynamicMass(mass, inertia);
    btRigidBody::btRigidBodyConstructionInfo info(mass, motionState_.get(), &simulated, inertia);
    info.m_friction = material_->dynamicFriction;
    info.m_restitution = material_->restitution;
    rigidBody_ = std::make_unique<btRigidBody>(info);
    rigidBody_->setUserPointer(static_cast<Node3DBody*>(this));
    if (actorType_ == ActorType::Kinematic) {
        rigidBody_->setCollisionFlags(rigidBody_->getCollisionFlags() |
                                      btCollisionObject::CF_KINEMATIC_OBJECT);
        rigidBody_->setActivationState(DISABLE_DEACTIVATION);
    }
    if (shape_->getShapeType() == SCALED_TRIANGLE_MESH_SHAPE_PROXYTYPE)
        rigidBody_->setCollisionFlags(rigidBody_->getCollisionFlags() |
                                      btCollisionObject::CF_CUSTOM_MATERIAL_CALLBACK);
    if (!gravity_)
        rigidBody_->setFlags(rigidBody_->getFlags() | BT_DISABLE_WORLD_GRAVITY);

    scene_ = &scene.physicsScene();
    motionState_->attach(scene_);
    scene_->world().addRigidBody(rigidBody_.get());
    scene_->addBody(this);
    if (!gravity_)
        rigidBody_->setGravity(btVector3(0, 0, 0));

    if (actorType_ != ActorType::Static)
        applyLocks();
    if (actorType_ == ActorType::Dynamic) {
        if (pendingForce_ != glm::vec3(0.0f)) {
            rigidBody_->applyCentralForce(toBullet(pendingForce_));
            rigidBody_->activate(true);
        }
        if (pendingVelocity_ != glm::vec3(0.0f))
            setLinearVelocity(pendingVelocity_);
    }
}

void PhysicsBody::onOwnerPoseChanged() {
    if (rigidBody_ && !poseFromPhysics_) {
        const btTransform pose = actorPose();
        // A kinematic body reads its target from the motion state at the next step; the world
        // transform is set too so that ray casts before that step already see the new pose.
        motionState_->setTransform(pose);
        rigidBody_->setWorldTransform(pose);
        // A kinematic body keeps where it was at the last step, so that the step moves it
        // with a velocity and it carries what rests on it; other bodies are simply placed.
        if (actorType_ != ActorType::Kinematic)
            rigidBody_->setInterpolationWorldTransform(pose);
        scene_->world().updateSingleAabb(rigidBody_.get());
        rigidBody_->activate(true);
    }
    poseFromPhysics_ = false;
}

void PhysicsBody::onPhysicsPose() {
    if (!rigidBody_ || !owner())
        return;
    const Decomposed current = decompose(owner()->getWorldMatrix());
    const glm::mat4 world = glm::scale(nodePose(motionState_->transform()), current.scale);
    poseFromPhysics_ = true;
    owner()->setWorldMatrix(world);
    poseFromPhysics_ = false;
}

void PhysicsBody::setActorType(ActorType type) {
    if (rigidBody_ && (type == ActorType::Static) != (actorType_ == ActorType::Static)) {
        spdlog::error(
            "A static actor thats already attached to a scene can not be changed to a dynamic/kinematic one "
            "or vice versa");
        return;
    }
    const bool changed = type != actorType_;
    actorType_ = type;
    if (!rigidBody_ || !changed || type == ActorType::Static)
        return;
    // The world files kinematic and dynamic bodies in different collision groups and mass 0
    // marks a body as immovable: take it out, change it and add it again.
    btDiscreteDynamicsWorld& world = scene_->world();
    world.removeRigidBody(rigidBody_.get());
    int flags = rigidBody_->getCollisionFlags() & ~btCollisionObject::CF_KINEMATIC_OBJECT;
    rigidBody_->setLinearVelocity(btVector3(0, 0, 0));
    rigidBody_->setAngularVelocity(btVector3(0, 0, 0));
    if (type == ActorType::Kinematic) {
        rigidBody_->setMassProps(0.0f, btVector3(0, 0, 0));
        rigidBody_->setCollisionFlags(flags | btCollisionObject::CF_KINEMATIC_OBJECT);
        rigidBody_->forceActivationState(DISABLE_DEACTIVATION);
    } else {
        float mass = 0.0f;
        btVector3 inertia;
        dynamicMass(mass, inertia);
        rigidBody_->setCollisionFlags(flags);
        rigidBody_->setMassProps(mass, inertia);
        rigidBody_->updateInertiaTensor();
        rigidBody_->forceActivationState(ACTIVE_TAG);
    }
    rigidBody_->setInterpolationWorldTransform(rigidBody_->getWorldTransform());
    world.addRigidBody(rigidBody_.get());
    if (!gravity_)
        rigidBody_->setGravity(btVector3(0, 0, 0));
    applyLocks();
}

void PhysicsBody::setDensity(float density) {
    if (!(density > 0.0f) || !std::isfinite(density)) {
        spdlog::warn("Ignored density {0} for the body of node {1}.", density, ownerName());
        return;
    }
    if (rigidBody_ && actorType_ == ActorType::Dynamic && mass_ < 0.0f) {
        const float newMass = rigidBody_->getMass() * density / density_;
        btVector3 inertia(0, 0, 0);
        shape_->calculateLocalInertia(newMass, inertia);
        rigidBody_->setMassProps(newMass, inertia);
    }
    density_ = density;
}

void PhysicsBody::setMass(float mass) {
    mass_ = mass;
    if (rigidBody_ && actorType_ == ActorType::Dynamic && mass > 0.0f) {
        btVector3 inertia(0, 0, 0);
        shape_->calculateLocalInertia(mass, inertia);
        if (inertia_.x >= 0.0f)
            inertia = toBullet(inertia_);
        rigidBody_->setMassProps(mass, inertia);
    }
}

void PhysicsBody::setInertia(const glm::vec3& inertia) {
    inertia_ = inertia;
    if (rigidBody_ && actorType_ == ActorType::Dynamic && inertia.x >= 0.0f)
        rigidBody_->setMassProps(rigidBody_->getMass(), toBullet(inertia));
}

float PhysicsBody::mass() const {
    return rigidBody_ ? rigidBody_->getMass() : mass_;
}

void PhysicsBody::applyLocks() {
    if (!rigidBody_)
        return;
    rigidBody_->setLinearFactor(
        btVector3(linearLocks_.x ? 0 : 1, linearLocks_.y ? 0 : 1, linearLocks_.z ? 0 : 1));
    rigidBody_->setAngularFactor(
        btVector3(angularLocks_.x ? 0 : 1, angularLocks_.y ? 0 : 1, angularLocks_.z ? 0 : 1));
}

void PhysicsBody::setLinearLocks(const glm::ivec3& locks) {
    linearLocks_ = locks;
    if (actorType_ != ActorType::Static)
        applyLocks();
}

void PhysicsBody::setAngularLocks(const glm::ivec3& locks) {
    angularLocks_ = locks;
    if (actorType_ != ActorType::Static)
        applyLocks();
}

void PhysicsBody::addForce(const glm::vec3& force) {
    if (rigidBody_) {
        rigidBody_->applyCentralForce(toBullet(force));
        rigidBody_->activate(true);
    } else {
        pendingForce_ = force;
    }
}

void PhysicsBody::setLinearVelocity(const glm::vec3& velocity) {
    if (rigidBody_) {
        // Bullet leaves locked axes out of the solver only; a velocity set by hand must respect them too.
        const btVector3 factor = rigidBody_->getLinearFactor();
        rigidBody_->setLinearVelocity(toBullet(velocity) * factor);
        rigidBody_->activate(true);
    } else {
        pendingVelocity_ = velocity;
    }
}

glm::vec3 PhysicsBody::linearVelocity() const {
    return rigidBody_ ? toGlm(rigidBody_->getLinearVelocity()) : pendingVelocity_;
}

glm::mat4 PhysicsBody::simulatedPose() const {
    if (!motionState_)
        return glm::mat4(1.0f);
    return nodePose(motionState_->transform());
}

// --- Box ----------------------------------------------------------------------------------

BoxBody::BoxBody(ActorType type, const PhysicsMaterial* material, bool gravity, const glm::vec3& size)
    : PhysicsBody(type, material, gravity), size_(size) {}

std::unique_ptr<Node3DBody> BoxBody::copy(Node3D&) const {
    return std::unique_ptr<Node3DBody>(new BoxBody(*this));
}

std::unique_ptr<btCollisionShape> BoxBody::createShape(const glm::vec3& scale) {
    halfExtents_ = glm::abs(size_ * scale * 0.5f);
    if (!(halfExtents_.x > 0.0f && halfExtents_.y > 0.0f && halfExtents_.z > 0.0f) ||
        !std::isfinite(halfExtents_.x)) {
        spdlog::error("Couldn't create box shape for node {0}.", ownerName());
        return nullptr;
    }
    return std::make_unique<btBoxShape>(toBullet(halfExtents_));
}

float BoxBody::shapeVolume(const glm::vec3&) const {
    return 8.0f * halfExtents_.x * halfExtents_.y * halfExtents_.z;
}

// --- Sphere -------------------------------------------------------------------------------

SphereBody::SphereBody(ActorType type, const PhysicsMaterial* material, bool gravity, float radius)
    : PhysicsBody(type, material, gravity), radius_(radius) {}

std::unique_ptr<Node3DBody> SphereBody::copy(Node3D&) const {
    return std::unique_ptr<Node3DBody>(new SphereBody(*this));
}

std::unique_ptr<btCollisionShape> SphereBody::createShape(const glm::vec3& scale) {
    scaledRadius_ = radius_ * std::max({scale.x, scale.y, scale.z});
    if (!(scaledRadius_ > 0.0f) || !std::isfinite(scaledRadius_)) {
        spdlog::error("Couldn't create sphere shape for node {0}.", ownerName());
        return nullptr;
    }
    return std::make_unique<btSphereShape>(scaledRadius_);
}

float SphereBody::shapeVolume(const glm::vec3&) const {
    return 4.0f / 3.0f * kPi * std::pow(scaledRadius_, 3.0f);
}

// --- Capsule ------------------------------------------------------------------------------

CapsuleBody::CapsuleBody(ActorType type, const PhysicsMaterial* material, bool gravity, int axis,
                         float height, float radius)
    : PhysicsBody(type, material, gravity), height_(height), radius_(radius) {
    setOrientationMode(axis);
}

std::unique_ptr<Node3DBody> CapsuleBody::copy(Node3D&) const {
    return std::unique_ptr<Node3DBody>(new CapsuleBody(*this));
}

glm::vec2 CapsuleBody::scaledDimensions(float height, float radius, const glm::vec3& scale) {
    const float r = std::max(scale.y, scale.z);
    const float scaledRadius = radius * r;
    float halfHeight;
    if (std::abs(scale.x - r) <= 0.001f)
        halfHeight = height * scale.x * 0.5f;
    else
        halfHeight = 0.5f * std::max(0.0f, (2.0f * radius + height) * scale.x - 2.0f * scaledRadius);
    return {scaledRadius, halfHeight};
}

std::unique_ptr<btCollisionShape> CapsuleBody::createShape(const glm::vec3& nodeScale) {
    // The capsule lies along the body's x axis, which the orientation turns onto the node's
    // axis: scale factors are taken in the body's frame.
    glm::vec3 scale = nodeScale;
    if (orientationMode() == 1)
        scale = {nodeScale.y, nodeScale.x, nodeScale.z};
    else if (orientationMode() == 2)
        scale = {nodeScale.z, nodeScale.y, nodeScale.x};
    if (std::abs(scale.y - scale.z) > 0.001f)
        spdlog::warn("Non unfirm scaling attempt for a capsule body.");
    const glm::vec2 d = scaledDimensions(height_, radius_, scale);
    scaledRadius_ = d.x;
    halfHeight_ = d.y;
    if (!(scaledRadius_ > 0.0f) || !std::isfinite(scaledRadius_) || !std::isfinite(halfHeight_)) {
        spdlog::error("Couldn't create capsule shape for node {0}.", ownerName());
        return nullptr;
    }
    return std::make_unique<btCapsuleShapeX>(scaledRadius_, 2.0f * halfHeight_);
}

float CapsuleBody::shapeVolume(const glm::vec3&) const {
    return kPi * scaledRadius_ * scaledRadius_ * (2.0f * halfHeight_) +
           4.0f / 3.0f * kPi * std::pow(scaledRadius_, 3.0f);
}

// --- Plane --------------------------------------------------------------------------------

PlaneBody::PlaneBody(int axis) : PhysicsBody(ActorType::Static, nullptr, false) {
    setOrientationMode(axis);
}

std::unique_ptr<Node3DBody> PlaneBody::copy(Node3D&) const {
    return std::unique_ptr<Node3DBody>(new PlaneBody(*this));
}

std::unique_ptr<btCollisionShape> PlaneBody::createShape(const glm::vec3&) {
    return std::make_unique<btStaticPlaneShape>(btVector3(1, 0, 0), 0.0f);
}

// --- Convex hull --------------------------------------------------------------------------

ConvexHullBody::ConvexHullBody(ActorType type, const PhysicsMaterial* material, bool gravity,
                               const std::string& bufferName, std::vector<glm::vec3> points,
                               unsigned maxVertices)
    : PhysicsBody(type, material, gravity), points_(std::move(points)), maxVertices_(maxVertices) {
    setBufferName(bufferName);
}

std::unique_ptr<Node3DBody> ConvexHullBody::copy(Node3D&) const {
    return std::unique_ptr<Node3DBody>(new ConvexHullBody(*this));
}

std::unique_ptr<btCollisionShape> ConvexHullBody::createShape(const glm::vec3& scale) {
    constexpr float kMargin = 0.04f;
    hull_.clear();
    // The cache keeps the reduced hull as the model gave it; the margin is taken off here.
    std::vector<glm::vec3> corners;
    const std::uint64_t source = fingerprint(points_, maxVertices_);
    if (!bufferFile().empty())
        if (auto payload = readCookedFile(bufferFile(), CookedKind::ConvexHull, source)) {
            if (auto hull = decodeHull(*payload))
                corners = std::move(*hull);
            else
                refuseCookedPayload(bufferFile());
        }
    if (corners.empty()) {
        corners = reduceConvexHull(points_, maxVertices_);
        if (corners.empty()) {
            spdlog::error("Error while attempting to cook physx hull body for node {0}.", ownerName());
            return nullptr;
        }
        if (!bufferFile().empty() &&
            writeCookedFile(bufferFile(), CookedKind::ConvexHull, encodeHull(corners), source))
            spdlog::info("PhysX-Buffer file for node {0} @'{1}' updated!", ownerName(), bufferFile());
    }
    volume_ = hullVolume(corners);
    hull_ = shrinkHull(std::move(corners), kMargin);
    auto shape = std::make_unique<btConvexHullShape>();
    for (const auto& p : hull_)
        shape->addPoint(toBullet(p), false);
    shape->recalcLocalAabb();
    shape->setLocalScaling(toBullet(scale));
    shape->setMargin(kMargin);
    return shape;
}

float ConvexHullBody::shapeVolume(const glm::vec3& scale) const {
    return volume_ * std::abs(scale.x * scale.y * scale.z);
}

// --- Triangle mesh ------------------------------------------------------------------------

MeshBody::MeshBody(ActorType type, const PhysicsMaterial* material, bool gravity,
                   const std::string& bufferName, std::vector<glm::vec3> vertices,
                   std::vector<std::uint32_t> indices, const std::string& nodeName)
    : PhysicsBody(type == ActorType::Dynamic ? ActorType::Static : type, material, gravity),
      vertices_(std::move(vertices)), indices_(std::move(indices)) {
    if (type == ActorType::Dynamic)
        spdlog::warn(
            "Mesh-Bodies like the one for the node {0} can't be dynamic actors. An attempt was made but i "
            "changed it to a static actor instead :P.",
            nodeName);
    setBufferName(bufferName);
}

std::unique_ptr<Node3DBody> MeshBody::copy(Node3D&) const {
    return std::unique_ptr<Node3DBody>(new MeshBody(*this));
}

std::unique_ptr<btCollisionShape> MeshBody::createShape(const glm::vec3& scale) {
    if (!cooked_ && !bufferFile().empty()) {
        const std::uint64_t source = fingerprint(vertices_) ^ fingerprint(indices_, 1);
        auto& shared = cookedMeshes()[bufferFile() + "#" + std::to_string(source)];
        cooked_ = shared.lock();
        if (!cooked_)
            if (auto payload = readCookedFile(bufferFile(), CookedKind::TriangleMesh, source))
                if (!(cooked_ = CookedTriangleMesh::fromPayload(*payload)))
                    refuseCookedPayload(bufferFile());
        if (!cooked_) {
            cooked_ = CookedTriangleMesh::cook(vertices_, indices_);
            if (cooked_ &&
                writeCookedFile(bufferFile(), CookedKind::TriangleMesh, cooked_->payload(), source))
                spdlog::info("PhysX-Buffer file for node {0} @'{1}' updated!", ownerName(), bufferFile());
        }
        if (cooked_)
            shared = cooked_;
    }
    if (!cooked_)
        cooked_ = CookedTriangleMesh::cook(vertices_, indices_);
    if (!cooked_) {
        spdlog::error("Couldn't create triangle mesh shape for node {0}.", ownerName());
        return nullptr;
    }
    return std::make_unique<btScaledBvhTriangleMeshShape>(&cooked_->shape(), toBullet(scale));
}

} // namespace hm
