#include "effects/ParticleSystem.h"

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
    GLuint vao = 0, buffers[2] = {0, 0};
    glGenVertexArrays(1, &vao);
    glGenBuffers(2, buffers);
    vertexArray_.reset(vao);
    quadBuffer_.reset(buffers[0]);
    instanceBuffer_.reset(buffers[1]);

    glBindVertexArray(vao);
    glBindBuffer(GL_ARRAY_BUFFER, buffers[0]);
    glBufferData(GL_ARRAY_BUFFER, sizeof(kQuad), kQuad, GL_STATIC_DRAW);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 20, nullptr);
    glEnableVertexAttribArray(4);
    glVertexAttribPointer(4, 2, GL_FLOAT, GL_FALSE, 20, reinterpret_cast<const void*>(12));

    glBindBuffer(GL_ARRAY_BUFFER, buffers[1]);
    glBufferData(GL_ARRAY_BUFFER, kMaxDrawn * sizeof(Instance), nullptr, GL_DYNAMIC_DRAW);
    struct Attribute {
        GLuint location;
        GLint components;
        std::size_t offset;
    };
    for (const Attribute& a :
         {Attribute{8, 3, offsetof(Instance, position)}, Attribute{9, 4, offsetof(Instance, colour)},
          Attribute{10, 1, offsetof(Instance, size)}, Attribute{11, 1, offsetof(Instance, free)}}) {
        glEnableVertexAttribArray(a.location);
        glVertexAttribPointer(a.location, a.components, GL_FLOAT, GL_FALSE, sizeof(Instance),
                              reinterpret_cast<const void*>(a.offset));
        glVertexAttribDivisor(a.location, 1);
    }
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindVertexArray(0);
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
    if (!vertexArray_)
        createBuffers();
    material->use();
    if (additive)
        glBlendFunc(GL_SRC_ALPHA, GL_ONE);

    const std::size_t count = std::min(particles_.size(), kMaxDrawn);
    instances_.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        const Particle& p = particles_[i];
        instances_[i] = Instance{p.origin + p.offset, p.colour, p.size, p.free};
    }
    glBindVertexArray(vertexArray_.get());
    glBindBuffer(GL_ARRAY_BUFFER, instanceBuffer_.get());
    glBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(count * sizeof(Instance)), instances_.data());
    glDrawArraysInstanced(GL_TRIANGLES, 0, 6, static_cast<GLsizei>(count));
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindVertexArray(0);
    lastDrawCount_ = count;

    if (additive)
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

} // namespace hm
