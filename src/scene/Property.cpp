#include "scene/Property.h"

#include "app/Log.h"

#include <cstring>
#include <new>

namespace hm {

Property::Property(std::int32_t value) : type_(PropertyType::Int), value_(value) {}
Property::Property(float value) : type_(PropertyType::Float), value_(value) {}
Property::Property(std::string value) : type_(PropertyType::String), value_(std::move(value)) {}
Property::Property(const glm::vec3& value) : type_(PropertyType::Vec3), value_(value) {}

Property::Property(PropertyType type, const char* source) : type_(type) {
    setValue(type, source);
}

void Property::setValue(PropertyType type, const char* source) {
    type_ = type;
    value_ = std::monostate{};
    if (!source) {
        spdlog::error("Property of type {0} was given no value.", static_cast<std::int32_t>(type));
        return;
    }
    try {
        switch (type) {
        case PropertyType::Int: {
            std::int32_t v;
            std::memcpy(&v, source, sizeof v);
            value_ = v;
            break;
        }
        case PropertyType::Float: {
            float v;
            std::memcpy(&v, source, sizeof v);
            value_ = v;
            break;
        }
        case PropertyType::String:
            value_ = std::string(source);
            break;
        case PropertyType::Vec3: {
            float v[3];
            std::memcpy(v, source, sizeof v);
            value_ = glm::vec3(v[0], v[1], v[2]);
            break;
        }
        default:
            spdlog::error("Property of unknown type {0} has no value.", static_cast<std::int32_t>(type));
            break;
        }
    } catch (const std::bad_alloc&) {
        value_ = std::monostate{};
        spdlog::critical("Couldn't allocate space for property.");
    }
}

} // namespace hm
