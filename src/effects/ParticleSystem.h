// Particle emitters: small camera-facing quads emitted from the node's world position, moved
// with constant velocities and animated over their life by a caller-supplied function, all
// drawn with one instanced draw call after the opaque 3D pass.
//
// Game code configures a system (batch size, lifetime, spawn box, velocity range, texture,
// additive blending, update function), then starts a burst with emit(). At most kMaxDrawn
// particles are drawn per system; more may be alive.
#pragma once

#include "render/StreamedGeometry.h"
#include "scene/Node3D.h"

#include <glm/vec3.hpp>
#include <glm/vec4.hpp>

#include <functional>
#include <memory>
#include <vector>

namespace hm {

class Material;
class Texture;

struct Particle {
    glm::vec3 origin{0.0f};   // the emitter's world position at emission
    glm::vec3 offset{0.0f};   // from the origin; moves with the velocity
    glm::vec3 velocity{0.0f}; // units per second
    glm::vec4 colour{1.0f};
    float age = 0.0f;
    float lifetime = 0.0f;
    float size = 0.4f;
    float free = 0.0f; // for the update function; the particle shader turns the quad by it
};
static_assert(sizeof(Particle) == 17 * sizeof(float));

class ParticleSystem : public Node3D {
public:
    static constexpr std::size_t kMaxDrawn = 10000;
    // Animates one particle; t is its age over its lifetime, 0 to 1.
    using UpdateFunction = std::function<void(float t, Particle& particle)>;

    explicit ParticleSystem(std::string name);
    ~ParticleSystem() override;

    void onSceneChanged(Scene* scene) override;
    void onWindowChanged(Window* window) override {}
    void render(float elapsed, int pass) override {}
    void update(float seconds) override;
    std::string getTypeName() const override { return "ParticleSystem"; }
    // A system with the same configuration and no particles.
    std::unique_ptr<Node3D> copy() const override;

    // Starts a burst of `count` particles, or endless emission with -1.
    void emit(int count);
    // Draws the live particles; the renderer calls it with depth writes off.
    void draw();

    bool additive = false;
    int batchSize = 3;
    float lifetimeBase = 10.0f;
    float lifetimeRange = 0.0f;
    glm::vec3 spawnExtent{0.0f};
    glm::vec3 velocityMin{0.0f};
    glm::vec3 velocityMax{0.0f};
    int remaining = -1;
    bool emitting = false;
    std::shared_ptr<Material> material;
    std::shared_ptr<Texture> texture;
    UpdateFunction updateFunction;

    const std::vector<Particle>& particles() const { return particles_; }
    // How many instances the last draw submitted.
    std::size_t lastDrawCount() const { return lastDrawCount_; }

    // The process-wide generator behind emission: integers 0..32767 as a fraction of 32767.
    static float random01();

protected:
    ParticleSystem(const ParticleSystem& source);

private:
    struct Instance {
        glm::vec3 position;
        glm::vec4 colour;
        float size;
        float free;
    };
    static_assert(sizeof(Instance) == 36);

    void createBuffers();
    void emitOne();

    std::vector<Particle> particles_;
    std::vector<Instance> instances_;
    // The quad and the per-particle instances, made on the first draw.
    std::unique_ptr<StreamedGeometry> geometry_;
    std::size_t lastDrawCount_ = 0;
    Scene* registeredScene_ = nullptr;
};

} // namespace hm
