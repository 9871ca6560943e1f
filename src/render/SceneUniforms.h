// The uniform block shared by every shader at binding point 0 (std140, 3920 bytes): camera,
// sun, shadow cascades and up to kLightCount lights. The C++ layout mirrors the GLSL block
// byte for byte, so the renderer fills it as a struct and uploads it in one call.
#pragma once

#include <glm/mat4x4.hpp>
#include <glm/vec3.hpp>
#include <glm/vec4.hpp>

#include <cstddef>
#include <cstdint>

namespace hm {

inline constexpr int kLightCount = 50;

enum class LightType : std::int32_t { Point = 0, Directional = 1 };

struct LightData {
    glm::vec4 position{0.0f};  // world position, w 0 (point lights)
    glm::vec4 direction{0.0f}; // normalised world direction, w 0 (directional lights)
    glm::vec4 colour{0.0f};    // colour times intensity, w 0
    std::int32_t type = 0;
    glm::vec3 attenuation{0.0f}; // constant, linear, quadratic (point lights)
};
static_assert(sizeof(LightData) == 64);
static_assert(offsetof(LightData, type) == 48);
static_assert(offsetof(LightData, attenuation) == 52);

struct SceneUniforms {
    glm::mat4 view{1.0f};
    glm::mat4 projection{1.0f};
    glm::mat4 lightView[4]{};
    glm::mat4 lightProjection[4]{};
    glm::vec4 cascadeEnds{0.0f};
    glm::vec4 sunDirection{0.0f, 0.0f, 0.0f, 1.0f};
    glm::vec4 sunColour{0.0f, 0.0f, 0.0f, 1.0f};
    glm::vec4 sunAmbient{0.0f, 0.0f, 0.0f, 1.0f};
    std::int32_t lightCount = 0;
    std::int32_t padding[3]{};
    LightData lights[kLightCount]{};
};
static_assert(sizeof(SceneUniforms) == 3920);
static_assert(offsetof(SceneUniforms, projection) == 64);
static_assert(offsetof(SceneUniforms, lightView) == 128);
static_assert(offsetof(SceneUniforms, lightProjection) == 384);
static_assert(offsetof(SceneUniforms, cascadeEnds) == 640);
static_assert(offsetof(SceneUniforms, sunDirection) == 656);
static_assert(offsetof(SceneUniforms, sunColour) == 672);
static_assert(offsetof(SceneUniforms, sunAmbient) == 688);
static_assert(offsetof(SceneUniforms, lightCount) == 704);
static_assert(offsetof(SceneUniforms, lights) == 720);

} // namespace hm
