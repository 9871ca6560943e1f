#include "physics/PhysicsWorld.h"

#include "app/Log.h"

#include <BulletCollision/CollisionDispatch/btInternalEdgeUtility.h>
#include <BulletCollision/CollisionDispatch/btManifoldResult.h>
#include <btBulletCollisionCommon.h>

#include <cmath>

namespace hm {

namespace {

bool validMaterialValue(float v) {
    return std::isfinite(v) && v >= 0.0f;
}

} // namespace

PhysicsMaterialRegistry::PhysicsMaterialRegistry() {
    registerPhysicsMaterial("Default", 0.5f, 0.5f, 0.2f);
    registerPhysicsMaterial("Bouncy", 0.3f, 0.3f, 1.0f);
    registerPhysicsMaterial("Ice", 0.1f, 0.1f, 0.0f);
    registerPhysicsMaterial("MaxFriction", 1.0f, 1.0f, 0.0f);
    registerPhysicsMaterial("Metal", 0.15f, 0.15f, 0.1f);
    registerPhysicsMaterial("Rubber", 1.0f, 1.0f, 0.5f);
    registerPhysicsMaterial("Wood", 0.45f, 0.45f, 0.0f);
    registerPhysicsMaterial("ZeroFriction", 0.0f, 0.0f, 0.0f);
}

const PhysicsMaterial* PhysicsMaterialRegistry::registerPhysicsMaterial(const std::string& name,
                                                                        float staticFriction,
                                                                        float dynamicFriction,
                                                                        float restitution) {
    if (auto it = byName_.find(name); it != byName_.end()) {
        spdlog::warn(
            "Can't create physX-Material with the name {0}, as this name is already occupied. I returned "
            "that material j4yi!",
            name);
        return it->second;
    }
    PhysicsMaterial* material = newMaterial(staticFriction, dynamicFriction, restitution);
    if (!material)
        return nullptr;
    material->name = name;
    byName_[name] = material;
    return material;
}

const PhysicsMaterial* PhysicsMaterialRegistry::createPhysicsMaterial(float staticFriction,
                                                                      float dynamicFriction,
                                                                      float restitution) {
    // Models give unnamed materials by value and are loaded again at every replay, so equal
    // values share one material instead of adding one per load.
    for (const auto& material : materials_)
        if (material->name.empty() && material->staticFriction == staticFriction &&
            material->dynamicFriction == dynamicFriction && material->restitution == restitution)
            return material.get();
    return newMaterial(staticFriction, dynamicFriction, restitution);
}

PhysicsMaterial* PhysicsMaterialRegistry::newMaterial(float staticFriction, float dynamicFriction,
                                                      float restitution) {
    if (!validMaterialValue(staticFriction) || !validMaterialValue(dynamicFriction) ||
        !validMaterialValue(restitution)) {
        spdlog::error("Creation of physx Material with the values ({0}; {1}; {2}) failed.", staticFriction,
                      dynamicFriction, restitution);
        return nullptr;
    }
    auto material = std::make_unique<PhysicsMaterial>();
    material->staticFriction = staticFriction;
    material->dynamicFriction = dynamicFriction;
    material->restitution = restitution;
    materials_.push_back(std::move(material));
    return materials_.back().get();
}

const PhysicsMaterial* PhysicsMaterialRegistry::getPhysicsMaterial(const std::string& name) const {
    auto it = byName_.find(name);
    return it == byName_.end() ? nullptr : it->second;
}

PhysicsWorld& PhysicsWorld::instance() {
    static PhysicsWorld world;
    return world;
}

namespace {

// Objects sliding or rolling over a triangle mesh would bounce at the inner edges between its
// triangles; the edge information cooked with the mesh corrects those contact normals.
bool adjustMeshEdgeContacts(btManifoldPoint& point, const btCollisionObjectWrapper* a, int partA, int indexA,
                            const btCollisionObjectWrapper* b, int partB, int indexB) {
    btAdjustInternalEdgeContacts(point, b, a, partB, indexB);
    btAdjustInternalEdgeContacts(point, a, b, partA, indexA);
    return false;
}

// Two touching materials meet halfway in friction and bounciness (Bullet would multiply them,
// which makes a bouncy ball on ordinary ground nearly dead).
btScalar averageFriction(const btCollisionObject* a, const btCollisionObject* b) {
    return btScalar(0.5) * (a->getFriction() + b->getFriction());
}
btScalar averageRestitution(const btCollisionObject* a, const btCollisionObject* b) {
    return btScalar(0.5) * (a->getRestitution() + b->getRestitution());
}

} // namespace

PhysicsWorld::PhysicsWorld() : collisionConfiguration_(std::make_unique<btDefaultCollisionConfiguration>()) {
    gContactAddedCallback = adjustMeshEdgeContacts;
    gCalculateCombinedFrictionCallback = averageFriction;
    gCalculateCombinedRestitutionCallback = averageRestitution;
}

PhysicsWorld::~PhysicsWorld() = default;

} // namespace hm
