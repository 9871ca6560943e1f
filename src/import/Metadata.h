// Typed reads of assimp node and scene metadata. A key read as one type while the entry holds
// another counts as absent, so a designer's mistyped property falls back to its default instead
// of being reinterpreted.
#pragma once

#include <assimp/scene.h>
#include <glm/vec3.hpp>

#include <cstdint>
#include <optional>
#include <string>

namespace hm::metadata {

inline bool has(const aiMetadata* data, const std::string& key) {
    return data && data->HasKey(key.c_str());
}

inline std::optional<std::int32_t> getInt(const aiMetadata* data, const std::string& key) {
    std::int32_t value = 0;
    if (data && data->Get(key, value))
        return value;
    return std::nullopt;
}

inline std::optional<float> getFloat(const aiMetadata* data, const std::string& key) {
    float value = 0.0f;
    if (data && data->Get(key, value))
        return value;
    return std::nullopt;
}

inline std::optional<std::string> getString(const aiMetadata* data, const std::string& key) {
    aiString value;
    if (data && data->Get(key, value))
        return std::string(value.C_Str());
    return std::nullopt;
}

inline std::optional<glm::vec3> getVec3(const aiMetadata* data, const std::string& key) {
    aiVector3D value;
    if (data && data->Get(key, value))
        return glm::vec3(value.x, value.y, value.z);
    return std::nullopt;
}

} // namespace hm::metadata
