// Materials of a model file: the shader, the kind of material, and one texture per slot read
// from the material's raw properties ("$raw.Albedo", "$raw.AlbedoMagFilter", ...), falling back
// to the file's own textures and colours, and for PBR materials to textures found by name next
// to the ones already set ("ab_", "no_", "me_", "ro_", "ao_" files).
#include "import/ModelImporter.h"

#include "app/AssetLocations.h"
#include "app/Log.h"
#include "render/Material.h"
#include "render/ShaderLibrary.h"
#include "render/Solid2DTexture.h"
#include "render/TextureRegistry.h"

#include <assimp/material.h>
#include <assimp/scene.h>
#include <fmt/format.h>
#include <glm/common.hpp>
#include <glm/vector_relational.hpp>

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <optional>
#include <type_traits>

namespace hm {

namespace {

namespace fs = std::filesystem;

constexpr glm::vec4 kBorderColour{1.0f, 0.0f, 0.0f, 1.0f};

// A magnification filter cannot sample mipmaps; the other settings take any value of their type.
template <typename T>
bool validSamplerValue([[maybe_unused]] const std::string& key, [[maybe_unused]] T value) {
    if constexpr (std::is_same_v<T, TextureFilter>) {
        if (key.ends_with("MagFilter"))
            return value == TextureFilter::Nearest || value == TextureFilter::Linear;
    }
    return true;
}

const aiMaterialProperty* findProperty(const aiMaterial& material, const std::string& key) {
    const aiMaterialProperty* property = nullptr;
    if (aiGetMaterialProperty(&material, key.c_str(), 0, 0, &property) != AI_SUCCESS)
        return nullptr;
    return property;
}

std::optional<std::string> stringProperty(const aiMaterial& material, const std::string& key) {
    const aiMaterialProperty* property = findProperty(material, key);
    if (!property || property->mType != aiPTI_String)
        return std::nullopt;
    aiString text;
    if (aiGetMaterialString(&material, key.c_str(), 0, 0, &text) != AI_SUCCESS)
        return std::nullopt;
    return std::string(text.C_Str());
}

std::optional<std::int32_t> integerProperty(const aiMaterialProperty* property) {
    if (!property || property->mType != aiPTI_Integer || property->mDataLength < sizeof(std::int32_t))
        return std::nullopt;
    std::int32_t value = 0;
    std::memcpy(&value, property->mData, sizeof(value));
    return value;
}

// Only float data is read as floats: a string read as a float makes assimp throw.
std::vector<float> floatData(const aiMaterialProperty* property) {
    std::vector<float> values;
    if (!property || property->mType != aiPTI_Float)
        return values;
    values.resize(property->mDataLength / sizeof(float));
    if (!values.empty())
        std::memcpy(values.data(), property->mData, values.size() * sizeof(float));
    return values;
}

std::optional<glm::vec3> colourProperty(const aiMaterial& material, const char* key) {
    const aiMaterialProperty* property = findProperty(material, key);
    const std::vector<float> values = floatData(property);
    if (values.size() < 3)
        return std::nullopt;
    return glm::vec3(values[0], values[1], values[2]);
}

bool bright(const glm::vec3& colour) {
    return glm::any(glm::greaterThanEqual(glm::abs(colour), glm::vec3(0.01f)));
}

// A string names a GL enumerant, an integer of 1 or more is taken as its value; anything else
// (and anything unknown to the parameter) gives the default.
template <typename T> T samplerValue(const aiMaterial& material, const std::string& key, T fallback) {
    const aiMaterialProperty* property = findProperty(material, key);
    if (!property)
        return fallback;
    if (property->mType == aiPTI_String) {
        const std::string text = stringProperty(material, key).value_or("");
        const auto value = textureParameterFromName<T>(text);
        if (!value || !validSamplerValue(key, *value)) {
            spdlog::warn("Unknown value for property {0} ({1})", key, text);
            return fallback;
        }
        return *value;
    }
    if (property->mType == aiPTI_Integer) {
        const std::int32_t number = integerProperty(property).value_or(0);
        if (number < 1)
            return fallback;
        const auto value = textureParameterFromNumber<T>(number);
        if (!value || !validSamplerValue(key, *value)) {
            spdlog::warn("Unknown value for property {0} ({1})", key, number);
            return fallback;
        }
        return *value;
    }
    spdlog::warn("Unknown property type for {0}.", key);
    return fallback;
}

struct Sampler {
    TextureFilter magFilter = TextureFilter::Linear;
    TextureFilter minFilter = TextureFilter::LinearMipmapLinear;
    TextureWrap wrap = TextureWrap::Repeat;
    TextureFormat format = TextureFormat::Auto;
};

std::shared_ptr<Texture> solidTexture(const glm::vec4& colour, TextureFormat format) {
    const std::string name = fmt::format("?solid({:.4f},{:.4f},{:.4f},{:.4f})#{:x}", colour.r, colour.g,
                                         colour.b, colour.a, static_cast<unsigned>(format));
    auto texture = std::make_shared<Solid2DTexture>(name, colour, Solid2DTexture::defaultParameters(format));
    if (auto found = TextureRegistry::instance().find(*texture); found.texture)
        return found.texture;
    if (!texture->load()) {
        spdlog::error("Couldn't create the solid texture {0} for a material.", name);
        return nullptr;
    }
    TextureRegistry::instance().add(texture);
    return texture;
}

std::shared_ptr<Texture> fileTexture(const std::string& location, const Sampler& sampler) {
    return loadTexture(location, sampler.format, sampler.magFilter, sampler.minFilter, sampler.wrap,
                       sampler.wrap, kBorderColour);
}

struct SlotResult {
    std::shared_ptr<Texture> texture;
    bool found = false;
};

class MaterialReader {
public:
    MaterialReader(const aiMaterial& material, std::string modelFolder)
        : material_(material), modelFolder_(std::move(modelFolder)) {}

    SlotResult readSlot(int slot) const {
        const std::string slotName = textureSlotName(slot);
        const std::string key = "$raw." + slotName;
        Sampler sampler;
        sampler.magFilter = samplerValue(material_, key + "MagFilter", TextureFilter::Linear);
        sampler.minFilter = samplerValue(material_, key + "MinFilter", TextureFilter::LinearMipmapLinear);
        sampler.wrap = samplerValue(material_, key + "WrapMethod", TextureWrap::Repeat);
        sampler.format = samplerValue(material_, key + "Format", TextureFormat::Auto);

        if (const aiMaterialProperty* property = findProperty(material_, key)) {
            switch (property->mType) {
            case aiPTI_Integer:
                if (integerProperty(property).value_or(0) == -1)
                    return {nullptr, true};
                spdlog::error(
                    "Undefined Integer-Value for Material Property ({0}). The only possible value is -1. "
                    "(see doc)",
                    key);
                break;
            case aiPTI_String:
                if (auto texture = fileTexture(stringProperty(material_, key).value_or(""), sampler))
                    return {texture, true};
                spdlog::error("Couldn't load texture file which is set as material property ({0}).", key);
                break;
            case aiPTI_Float: {
                const std::vector<float> values = floatData(property);
                if (property->mDataLength == 4)
                    return {solidTexture(glm::vec4(values[0]), sampler.format), true};
                if (property->mDataLength == 12)
                    return {solidTexture(glm::vec4(values[0], values[1], values[2], 1.0f), sampler.format),
                            true};
                spdlog::error(
                    "Undefined float-Array Length for Material Property ({0}). Check the doc for valid "
                    "input.",
                    key);
                break;
            }
            default:
                spdlog::error(
                    "Undefined property type for material property {0}. Check the doc for valid inputs.",
                    key);
                break;
            }
        }
        return fallback(slot, sampler);
    }

private:
    SlotResult fallback(int slot, const Sampler& sampler) const {
        switch (slot) {
        case Albedo: {
            if (auto texture = fileTextureOfType(aiTextureType_DIFFUSE, sampler))
                return {texture, true};
            const auto emissive = colourProperty(material_, "$clr.emissive");
            if (emissive && bright(*emissive))
                return {solidTexture(glm::vec4(*emissive, 1.0f), TextureFormat::RGB8), true};
            if (const auto diffuse = colourProperty(material_, "$clr.diffuse"))
                return {solidTexture(glm::vec4(*diffuse, 1.0f), TextureFormat::RGB8), true};
            return {};
        }
        case Normal:
            if (auto texture = fileTextureOfType(aiTextureType_NORMALS, sampler))
                return {texture, true};
            return {};
        case Roughness:
            if (auto texture = fileTextureOfType(aiTextureType_SHININESS, sampler))
                return {texture, true};
            return {};
        default:
            return {};
        }
    }

    // The file's texture paths are relative to the model file; below the textures folder they
    // are used by their path there, so they share the cache with textures named by properties.
    std::shared_ptr<Texture> fileTextureOfType(aiTextureType type, const Sampler& sampler) const {
        if (material_.GetTextureCount(type) == 0)
            return nullptr;
        aiString path;
        if (material_.GetTexture(type, 0, &path) != AI_SUCCESS || path.length == 0)
            return nullptr;
        std::string location = toForwardSlashes(path.C_Str());
        std::error_code error;
        const fs::path candidate = (fs::path(modelFolder_) / location).lexically_normal();
        if (fs::is_regular_file(candidate, error)) {
            const fs::path relative =
                candidate.lexically_relative(fs::path(kTexturesFolder).lexically_normal());
            if (!relative.empty() && *relative.begin() != "..")
                location = relative.generic_string();
        }
        return fileTexture(location, sampler);
    }

    const aiMaterial& material_;
    std::string modelFolder_;
};

// Fills missing slots of a PBR material with textures whose file names begin with the slot's
// prefix, from the folders of the textures the material already has.
void lookUpTextures(Material& material, std::vector<int> missing) {
    std::vector<fs::path> folders;
    for (int slot = 0; slot < kPbrSlotCount; ++slot) {
        const auto texture = material.getTexture(slot);
        if (!texture || texture->name().empty() || texture->name().front() == '?')
            continue;
        const fs::path folder = fs::path(kTexturesFolder + texture->name()).parent_path();
        if (std::find(folders.begin(), folders.end(), folder) == folders.end())
            folders.push_back(folder);
    }
    static constexpr std::array<std::pair<const char*, int>, 5> kPrefixes{
        {{"ab", Albedo}, {"no", Normal}, {"me", Metallic}, {"ro", Roughness}, {"ao", AmbientOcclusion}}};
    for (const fs::path& folder : folders) {
        std::error_code error;
        std::vector<fs::path> files;
        for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
            if (it->is_regular_file(error))
                files.push_back(it->path());
        // Sorted, so that two candidates for one slot always resolve the same way.
        std::sort(files.begin(), files.end());
        for (const fs::path& file : files) {
            const std::string name = file.filename().string();
            for (const auto& [prefix, slot] : kPrefixes) {
                auto it = std::find(missing.begin(), missing.end(), slot);
                if (name.compare(0, 2, prefix) != 0 || it == missing.end())
                    continue;
                const TextureFormat format =
                    slot == Albedo || slot == Normal ? TextureFormat::Auto : TextureFormat::R8;
                const std::string location =
                    file.lexically_relative(fs::path(kTexturesFolder).lexically_normal()).generic_string();
                if (auto texture = loadTexture(location, format, TextureFilter::Linear,
                                               TextureFilter::LinearMipmapLinear, TextureWrap::Repeat,
                                               TextureWrap::Repeat, kBorderColour)) {
                    material.setTexture(slot, texture);
                    missing.erase(it);
                }
            }
        }
    }
    // A map that is not there (never made, or lost) leaves the slot's default texture; say so,
    // or a deleted file changes the picture without a trace.
    for (const auto& [prefix, slot] : kPrefixes)
        if (!folders.empty() && std::find(missing.begin(), missing.end(), slot) != missing.end())
            spdlog::info("Material {0}: no {1}_* map in {2}; the slot keeps its default texture.",
                         material.name(), prefix, folders.front().generic_string());
}

int materialTypeIndex(const std::string& shader) {
    static const char* const kTypes[] = {"generic", "pbr", "solid", "canvas"};
    for (int i = 0; i < 4; ++i)
        if (shader == kTypes[i])
            return i;
    return -1;
}

} // namespace

void ModelImporter::importMaterials() {
    auto& registry = MaterialRegistry::instance();
    materials_.clear();
    for (unsigned i = 0; i < file_->mNumMaterials; ++i) {
        const aiMaterial& fileMaterial = *file_->mMaterials[i];
        const std::string name = fileMaterial.GetName().C_Str();
        if (auto existing = registry.findMaterial(name)) {
            spdlog::debug(
                "There's already a material by the name {0}, so I'll use that one for a node in this "
                "import.",
                name);
            materials_.push_back(existing);
            continue;
        }

        const auto emissive = colourProperty(fileMaterial, "$clr.emissive");
        const bool glowing = emissive && bright(*emissive);
        const std::string shader =
            stringProperty(fileMaterial, "$raw.Shader").value_or(glowing ? "solid" : "pbr");
        const int type = materialTypeIndex(shader);

        std::shared_ptr<Material> material;
        switch (type) {
        case Material::Pbr:
            material = registry.createPBRMaterial(name);
            break;
        case Material::Solid: {
            auto solid = registry.createSolidMaterial(name);
            // The solid shader draws its colour uniform: the glow colour, or the base colour of
            // a material that asks for the shader by name.
            if (glowing)
                solid->colour = *emissive;
            else if (const auto diffuse = colourProperty(fileMaterial, "$clr.diffuse"))
                solid->colour = *diffuse;
            material = solid;
            break;
        }
        case Material::Canvas:
            material = registry.createCanvasMaterial(name);
            break;
        default:
            material = registry.createMaterial(name);
            if (type < 0) {
                // An unknown program would end the game inside setShader; a typing error in a
                // model file is not worth that.
                if (ShaderLibrary::instance().findProgram(shader))
                    material->setShader(shader);
                else
                    spdlog::error(
                        "Material {0} asks for the unknown shader {1}; it is drawn with the default "
                        "shader.",
                        name, shader);
            }
            break;
        }

        const std::string modelFolder = fs::path(path_).parent_path().string();
        MaterialReader reader(fileMaterial, modelFolder);
        std::vector<int> missing;
        for (int slot : material->supportedSlots()) {
            SlotResult result = reader.readSlot(slot);
            if (result.texture)
                material->setTexture(slot, result.texture);
            else if (!result.found)
                missing.push_back(slot);
        }
        const bool lookupDisabled =
            integerProperty(findProperty(fileMaterial, "$raw.DisableAutoTextureLookup")).has_value();
        if (type == Material::Pbr && !missing.empty() && !lookupDisabled)
            lookUpTextures(*material, missing);
        materials_.push_back(material);
    }
}

} // namespace hm
