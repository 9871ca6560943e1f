// Materials: which shader program draws a mesh, the textures bound for it (one per slot) and
// the few parameters the shaders read. Four kinds: generic, PBR (five texture slots with shared
// defaults), solid colour and canvas (2D images with an opacity).
//
// Drawing with a material: use(), then the caller's own uniforms and the draw call.
#pragma once

#include "render/GLHandle.h"

#include <glm/vec3.hpp>
#include <glm/vec4.hpp>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace hm {

class Texture;

// Texture slots; slot n is sampled from texture unit n.
enum TextureSlot : int { Albedo = 0, Normal = 1, Metallic = 2, Roughness = 3, AmbientOcclusion = 4 };
inline constexpr int kPbrSlotCount = 5;
// Units from 13 on hold the shadow cascades.
inline constexpr int kMaxTextureSlot = 12;

// "Albedo", "Normal", ... for slots 0 to 4; "Slot<n>" for others.
std::string textureSlotName(int slot);

class Material {
public:
    enum Type : int { Generic = 0, Pbr = 1, Solid = 2, Canvas = 3 };

    explicit Material(std::string name);
    virtual ~Material() = default;
    Material(const Material&) = delete;
    Material& operator=(const Material&) = delete;

    // Binds the slots' textures in ascending slot order, each on the unit of its slot.
    virtual void bindTextures() const;
    virtual void applyUniforms() const {}
    virtual bool supportsSlot(int slot) const { return slot >= 0 && slot <= kMaxTextureSlot; }
    virtual std::vector<int> supportedSlots() const { return {0, 1, 2, 3, 4}; }
    virtual int typeId() const { return Generic; }
    // The texture a slot falls back to; none for a generic material.
    virtual std::shared_ptr<Texture> defaultTexture(int slot) const { return nullptr; }
    static const char* typeName(int typeId);

    // Looks the program up in the shader library; an unknown name ends the program.
    void setShader(const std::string& shaderName);
    // 0 until a shader is set (and always without a GPU).
    GLName program() const { return program_; }
    // Makes the program current, binds the textures and sets the material's uniforms.
    void use() const;

    // Unsupported slots are refused with a warning. A null texture puts the slot's default back
    // (see defaultTexture); without a default the slot keeps what it holds.
    void setTexture(int slot, std::shared_ptr<Texture> texture);
    std::shared_ptr<Texture> getTexture(int slot) const;
    const std::map<int, std::shared_ptr<Texture>>& textures() const { return textures_; }

    const std::string& name() const { return name_; }

private:
    GLName program_ = 0;
    std::string name_;
    std::map<int, std::shared_ptr<Texture>> textures_;
};

class PBRMaterial : public Material {
public:
    // Starts with the five shared default textures (white albedo, flat normal, no metal, half
    // rough, no occlusion).
    explicit PBRMaterial(std::string name);
    int typeId() const override { return Pbr; }
    std::shared_ptr<Texture> defaultTexture(int slot) const override;
    static const std::vector<std::shared_ptr<Texture>>& defaultTextures();
};

class SolidMaterial : public Material {
public:
    using Material::Material;
    void applyUniforms() const override;
    bool supportsSlot(int slot) const override { return slot == 0; }
    std::vector<int> supportedSlots() const override { return {0}; }
    int typeId() const override { return Solid; }

    glm::vec3 colour{0.0f};
};

class CanvasMaterial : public Material {
public:
    using Material::Material;
    void applyUniforms() const override;
    bool supportsSlot(int slot) const override { return slot == 0; }
    std::vector<int> supportedSlots() const override { return {0}; }
    int typeId() const override { return Canvas; }
    // Slot 0 becomes a one-texel texture of the colour.
    void setColour(const glm::vec4& rgba);

    float opacity = 1.0f;
};

// The process-wide registry of materials by unique name.
class MaterialRegistry {
public:
    static MaterialRegistry& instance();

    std::shared_ptr<Material> createMaterial(const std::string& name);
    std::shared_ptr<PBRMaterial> createPBRMaterial(const std::string& name);
    std::shared_ptr<SolidMaterial> createSolidMaterial(const std::string& name);
    // Starts with a magenta placeholder picture, so a canvas without its picture is obvious.
    std::shared_ptr<CanvasMaterial> createCanvasMaterial(const std::string& name);
    std::shared_ptr<Material> findMaterial(const std::string& name) const;
    std::shared_ptr<CanvasMaterial> defaultCanvasMaterial();
    // The "particle" program with a plain white picture in slot 0.
    std::shared_ptr<Material> defaultParticleMaterial();

private:
    // Registers the material, or logs and returns the registered one of the same name. The
    // result may be of another kind than asked for when the name was taken by one.
    std::shared_ptr<Material> insert(std::shared_ptr<Material> material);
    template <typename T> std::shared_ptr<T> create(const std::string& name, const char* shader);
    template <typename T> std::shared_ptr<T> registered(const std::shared_ptr<T>& material);

    std::map<std::string, std::shared_ptr<Material>> materials_;
};

} // namespace hm
