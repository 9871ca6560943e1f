#include "effects/ParticleSystem.h"

#include "render/GpuState.h"
#include "render/Material.h"
#include "render/Texture.h"
#include "scene/Scene.h"

#include <algorithm>
#include <cstddef>
#include <random>

namespace hm {

namespace {

// A 0.1 x 0.1 quad in the XY plane, two triangles: position (3 floats), texture coordinate (2).
constexpr float kQuad[] = {
    -0.05f, 0.05f, 0.0f, 0.0f, 1.0f, -0.05f, -0.05f, 0.0f, 0.0f, 0.0f, 0.05f, -0.05f, 0.0f, 1.0f, 0.0f,
    0.05f,  0.05f, 0.0f, 1.0f, 1.0f, -0.05f, 0.05f,  0.0f, 0.0f, 1.0f, 0.05f, -0.05f, 0.0f, 1.0f, 0.0f,
};

} // namespace

float ParticleSystem::random01() {
    static std::minstd_rand generator(12345u);
    return static_cast<float>(generator() % 32768u) / 32767.0f;
}

ParticleSystem::ParticleSystem(std::string name)
    : Node3D(std::move(name)), material(MaterialRegistry::instance().defaultParticleMaterial()) {}

ParticleSystem::ParticleSystem(const ParticleSystem& source)
    : Node3D(source), additive(source.additive), batchSize(source.batchSize),
      lifetimeBase(source.lifetimeBase), lifetimeRange(source.lifetimeRange), spawnExtent(source.spawnExtent),
      velocityMin(source.velocityMin), velocityMax(source.velocityMax), material(source.material),
      texture(source.texture), updateFunction(source.updateFunction) {}

ParticleSystem::~ParticleSystem() {
    if (registeredScene_)
        registeredScene_->removeParticleSystem(*this);
}

std::unique_ptr<Node3D> ParticleSystem::copy() const {
    return std::unique_ptr<Node3D>(new ParticleSystem(*this));
}

void ParticleSystem::createBuffers() {
    StreamedGeometry::Buffer quad;
    quad.stride = 20;
    quad.attributes = {{0, 3, 0}, {4, 2, 12}};
    const auto* first = reinterpret_cast<const unsigned char*>(kQuad);
    quad.initial.assign(first, first + sizeof(kQuad));
    StreamedGeometry::Buffer instances;
    instances.stride = sizeof(Instance);
    instances.perInstance = true;
    instances.capacity = kMaxDrawn * sizeof(Instance);
    instances.attributes = {{8, 3, offsetof(Instance, position)},
                            {9, 4, offsetof(Instance, colour)},
                            {10, 1, offsetof(Instance, size)},
                            {11, 1, offsetof(Instance, free)}};
    geometry_ = std::make_unique<StreamedGeometry>(std::vector<StreamedGeometry::Buffer>{quad, instances});
}

void ParticleSystem::onSceneChanged(Scene* scene) {
    if (registeredScene_)
        registeredScene_->removeParticleSystem(*this);
    registeredScene_ = scene;
    if (scene)
        scene->addParticleSystem(*this);
}

void ParticleSystem::emit(int count) {
    remaining = count;
    emitting = count != 0;
}

void ParticleSystem::emitOne() {
    Particle p;
    p.origin = getWorldPosition();
    for (int axis = 0; axis < 3; ++axis)
        p.offset[axis] = (2.0f * random01() - 1.0f) * spawnExtent[axis];
    for (int axis = 0; axis < 3; ++axis)
        p.velocity[axis] = velocityMin[axis] + random01() * (velocityMax[axis] - velocityMin[axis]);
    p.lifetime = lifetimeBase + random01() * lifetimeRange;
    particles_.push_back(p);
}

void ParticleSystem::update(float seconds) {
    if (emitting) {
        for (int i = 0; i < batchSize; ++i)
            emitOne();
        if (remaining != -1) {
            remaining -= std::min(batchSize, remaining);
            if (remaining < 1) {
                remaining = -1;
                emitting = false;
            }
        }
    }
    std::size_t kept = 0;
    for (std::size_t i = 0; i < particles_.size(); ++i) {
        Particle& p = particles_[i];
        p.age += seconds;
        if (p.age > p.lifetime)
            continue;
        p.offset += p.velocity * seconds;
        if (updateFunction)
            updateFunction(p.lifetime > 0.0f ? p.age / p.lifetime : 1.0f, p);
        particles_[kept++] = p;
    }
    particles_.resize(kept);
}

void ParticleSystem::draw() {
    lastDrawCount_ = 0;
    if (particles_.empty() || !material)
        return;
    if (texture)
        material->setTexture(0, texture);
    if (!geometry_)
        createBuffers();
    material->use();
    if (additive)
        gpu::setBlend(gpu::Blend::Additive);

    const std::size_t count = std::min(particles_.size(), kMaxDrawn);
    instances_.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        const Particle& p = particles_[i];
        instances_[i] = Instance{p.origin + p.offset, p.colour, p.size, p.free};
    }
    geometry_->write(1, instances_.data(), count * sizeof(Instance));
    geometry_->drawTriangles(6, static_cast<int>(count));
    lastDrawCount_ = count;

    if (additive)
        gpu::setBlend(gpu::Blend::Alpha);
}

} // namespace hm
