// The process-wide physics world: what every physics scene shares (Bullet's collision
// configuration) and the registry of named physics materials.
//
// Nothing outside src/physics sees a Bullet type; other code talks to PhysicsWorld,
// PhysicsScene and the node bodies.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

class btDefaultCollisionConfiguration;

namespace hm {

// Friction and bounciness of a surface. Bullet has a single friction coefficient; bodies use
// the dynamic friction for it and keep the static one for reference.
struct PhysicsMaterial {
    std::string name; // empty for unnamed materials
    float staticFriction = 0.5f;
    float dynamicFriction = 0.5f;
    float restitution = 0.2f;
};

class PhysicsMaterialRegistry {
public:
    PhysicsMaterialRegistry();

    // Registers a named material; a taken name logs a warning and returns the existing one.
    const PhysicsMaterial* registerPhysicsMaterial(const std::string& name, float staticFriction,
                                                   float dynamicFriction, float restitution);
    // An unnamed material, shared by every request with the same values; null (with an error
    // line) for values that are not finite or negative.
    const PhysicsMaterial* createPhysicsMaterial(float staticFriction, float dynamicFriction,
                                                 float restitution);
    const PhysicsMaterial* getPhysicsMaterial(const std::string& name) const;

private:
    PhysicsMaterial* newMaterial(float staticFriction, float dynamicFriction, float restitution);

    std::map<std::string, const PhysicsMaterial*> byName_;
    std::vector<std::unique_ptr<PhysicsMaterial>> materials_; // never released while the program runs
};

class PhysicsWorld {
public:
    static PhysicsWorld& instance();

    PhysicsMaterialRegistry& materials() { return materials_; }
    btDefaultCollisionConfiguration& collisionConfiguration() { return *collisionConfiguration_; }

    // Accepted for compatibility with settings that ask for worker threads; Debian's Bullet
    // steps on the calling thread.
    static constexpr int kWorkerThreads = 4;

    ~PhysicsWorld();

private:
    PhysicsWorld();
    std::unique_ptr<btDefaultCollisionConfiguration> collisionConfiguration_;
    PhysicsMaterialRegistry materials_;
};

} // namespace hm
