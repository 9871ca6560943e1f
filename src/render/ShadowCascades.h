// Cascaded shadow maps for the sun: where the three cascades of the camera's view frustum
// end, and the light view and orthographic projection that covers each of them.
//
// The splits blend a uniform and a logarithmic distribution (85 % logarithmic) between the
// camera's near plane and the shadow distance of 80 units. Each cascade's box is snapped to
// whole shadow-map texels in light space so that shadow edges do not shimmer while the camera
// moves.
//
// A cheaper set-up uses one cascade over the whole shadow distance: its end stands in for every
// split, so a shader that picks the cascade by view depth always picks the first.
#pragma once

#include <glm/mat4x4.hpp>
#include <glm/vec3.hpp>

#include <array>

namespace hm {

struct CameraFrustum {
    glm::mat4 view{1.0f};
    float fieldOfView = 1.0471976f; // vertical, radians
    float aspect = 1.0f;
    float nearPlane = 0.1f;
};

struct ShadowCascades {
    static constexpr int kCount = 3;
    static constexpr float kShadowDistance = 80.0f;
    static constexpr int kMapSize = 2048;
    // How far behind each cascade (towards the sun) casters are still caught.
    static constexpr float kCasterReach = 40.0f;

    float nearDistance = 0.1f;
    std::array<float, kCount> splits{};
    std::array<glm::mat4, kCount> lightView{};
    std::array<glm::mat4, kCount> lightProjection{};

    // sunDirection is the direction the light travels, in world space; a zero vector (no sun)
    // gives identity matrices. `count` cascades (1 to kCount) of `mapSize` texels; the unused
    // ones repeat the last used one.
    void update(const CameraFrustum& camera, const glm::vec3& sunDirection, int count = kCount,
                int mapSize = kMapSize);

    static std::array<float, kCount> splitDistances(float nearPlane, int count = kCount);
};

} // namespace hm
