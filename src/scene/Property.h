// Typed named values read from model files: an integer, a float, a text or a vector of three
// floats. A PropertyHolder (a node or a scene) owns its properties by name.
#pragma once

#include <glm/vec3.hpp>

#include <cstdint>
#include <string>
#include <variant>

namespace hm {

enum class PropertyType : std::int32_t { Int = 0, Float = 1, String = 2, Vec3 = 3 };

class Property {
public:
    explicit Property(std::int32_t value);
    explicit Property(float value);
    explicit Property(std::string value);
    explicit Property(const glm::vec3& value);
    // The raw form used by readers of binary metadata: source points at 4 bytes for Int and
    // Float, a zero-terminated text for String and three floats for Vec3.
    Property(PropertyType type, const char* source);

    // Replaces the value. A null source, an unknown type or a failed allocation leave the
    // property without data (and log why).
    void setValue(PropertyType type, const char* source);

    PropertyType type() const { return type_; }
    bool hasData() const { return !std::holds_alternative<std::monostate>(value_); }

    // Typed reads: null when the property holds another type or no data.
    const std::int32_t* asInt() const { return std::get_if<std::int32_t>(&value_); }
    const float* asFloat() const { return std::get_if<float>(&value_); }
    const std::string* asString() const { return std::get_if<std::string>(&value_); }
    const glm::vec3* asVec3() const { return std::get_if<glm::vec3>(&value_); }

private:
    PropertyType type_;
    std::variant<std::monostate, std::int32_t, float, std::string, glm::vec3> value_;
};

} // namespace hm
