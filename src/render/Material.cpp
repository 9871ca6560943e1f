#include "render/Material.h"

#include "app/Log.h"
#include "render/RenderDevice.h"
#include "render/ShaderLibrary.h"
#include "render/ShaderLocations.h"
#include "render/Solid2DTexture.h"

#include <GL/glew.h>

#include <glm/gtc/type_ptr.hpp>

namespace hm {

std::string textureSlotName(int slot) {
    static const char* const names[] = {"Albedo", "Normal", "Metallic", "Roughness", "AmbientOcclusion"};
    if (slot >= 0 && slot < kPbrSlotCount)
        return names[slot];
    return "Slot" + std::to_string(slot);
}

Material::Material(std::string name) : name_(std::move(name)) {}

const char* Material::typeName(int typeId) {
    static const char* const names[] = {"generic", "pbr", "solid", "canvas"};
    return typeId >= 0 && typeId < 4 ? names[typeId] : "unknown";
}

void Material::bindTextures() const {
    for (const auto& [slot, texture] : textures_) {
        if (!texture)
            continue;
        glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(slot));
        texture->bind();
    }
    glActiveTexture(GL_TEXTURE0);
}

void Material::setShader(const std::string& shaderName) {
    program_ = ShaderLibrary::instance().getProgram(shaderName);
}

void Material::use() const {
    glUseProgram(program_);
    bindTextures();
    applyUniforms();
}

void Material::setTexture(int slot, std::shared_ptr<Texture> texture) {
    if (!supportsSlot(slot)) {
        spdlog::warn("Attempt to set unsupported texture of type {0} for Material {1}.",
                     textureSlotName(slot), name_);
        return;
    }
    if (!texture) {
        // No texture (a file that failed to load, say): the slot keeps, or gets back, its
        // default. An empty slot would leave the unit with whatever the previous draw bound.
        if (auto fallback = defaultTexture(slot))
            textures_[slot] = std::move(fallback);
        spdlog::debug("Material {0} was given no {1} texture and keeps its default.", name_,
                      textureSlotName(slot));
        return;
    }
    textures_[slot] = std::move(texture);
}

std::shared_ptr<Texture> PBRMaterial::defaultTexture(int slot) const {
    if (slot < 0 || slot >= kPbrSlotCount)
        return nullptr;
    return defaultTextures()[static_cast<std::size_t>(slot)];
}

std::shared_ptr<Texture> Material::getTexture(int slot) const {
    auto it = textures_.find(slot);
    return it == textures_.end() ? nullptr : it->second;
}

const std::vector<std::shared_ptr<Texture>>& PBRMaterial::defaultTextures() {
    return RenderDevice::current().pbrDefaults();
}

PBRMaterial::PBRMaterial(std::string name) : Material(std::move(name)) {
    const auto& defaults = defaultTextures();
    for (int slot = 0; slot < kPbrSlotCount; ++slot)
        if (defaults[static_cast<std::size_t>(slot)])
            setTexture(slot, defaults[static_cast<std::size_t>(slot)]);
}

void SolidMaterial::applyUniforms() const {
    glUniform3fv(shader::kMaterialParameter, 1, glm::value_ptr(colour));
}

void CanvasMaterial::applyUniforms() const {
    glUniform1f(shader::kMaterialParameter, opacity);
}

void CanvasMaterial::setColour(const glm::vec4& rgba) {
    setTexture(0, solidColourTexture(rgba, TextureFormat::RGBA8));
}

MaterialRegistry& MaterialRegistry::instance() {
    return RenderDevice::current().materials();
}

std::shared_ptr<Material> MaterialRegistry::insert(std::shared_ptr<Material> material) {
    auto [it, inserted] = materials_.emplace(material->name(), material);
    if (!inserted)
        spdlog::error("A material by the name {0} already exists.", material->name());
    return it->second;
}

template <typename T>
std::shared_ptr<T> MaterialRegistry::create(const std::string& name, const char* shader) {
    auto material = std::make_shared<T>(name);
    material->setShader(shader);
    return registered(material);
}

template <typename T> std::shared_ptr<T> MaterialRegistry::registered(const std::shared_ptr<T>& material) {
    if (auto same = std::dynamic_pointer_cast<T>(insert(material)))
        return same;
    // The name belongs to a material of another kind: the new one serves its caller unregistered.
    return material;
}

std::shared_ptr<Material> MaterialRegistry::createMaterial(const std::string& name) {
    return create<Material>(name, "default");
}

std::shared_ptr<PBRMaterial> MaterialRegistry::createPBRMaterial(const std::string& name) {
    return create<PBRMaterial>(name, "pbr");
}

std::shared_ptr<SolidMaterial> MaterialRegistry::createSolidMaterial(const std::string& name) {
    return create<SolidMaterial>(name, "solid");
}

std::shared_ptr<CanvasMaterial> MaterialRegistry::createCanvasMaterial(const std::string& name) {
    auto material = std::make_shared<CanvasMaterial>(name);
    material->setShader("canvas");
    material->setColour({1.0f, 0.0f, 1.0f, 1.0f});
    return registered(material);
}

std::shared_ptr<Material> MaterialRegistry::findMaterial(const std::string& name) const {
    auto it = materials_.find(name);
    return it == materials_.end() ? nullptr : it->second;
}

std::shared_ptr<CanvasMaterial> MaterialRegistry::defaultCanvasMaterial() {
    if (auto existing = std::dynamic_pointer_cast<CanvasMaterial>(findMaterial("?defaultCanvas")))
        return existing;
    return createCanvasMaterial("?defaultCanvas");
}

std::shared_ptr<Material> MaterialRegistry::defaultParticleMaterial() {
    if (auto existing = findMaterial("_defaultParticle"))
        return existing;
    auto material = createMaterial("_defaultParticle");
    material->setShader("particle");
    // Plain white: a particle system without a texture of its own draws quads in its colours.
    material->setTexture(0, solidColourTexture({1.0f, 1.0f, 1.0f, 1.0f}, TextureFormat::RGBA8));
    return material;
}

} // namespace hm
