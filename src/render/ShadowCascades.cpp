#include "render/ShadowCascades.h"

#include <glm/geometric.hpp>
#include <glm/gtc/matrix_transform.hpp>

#include <algorithm>
#include <cmath>

namespace hm {

std::array<float, ShadowCascades::kCount> ShadowCascades::splitDistances(float nearPlane, int count) {
    const float n = nearPlane;
    const float f = kShadowDistance;
    count = std::clamp(count, 1, kCount);
    std::array<float, kCount> splits{};
    splits.fill(f);
    for (int i = 1; i < count; ++i) {
        const float t = static_cast<float>(i) / static_cast<float>(count);
        const float uniform = n + (f - n) * t;
        const float logarithmic = n * std::pow(f / n, t);
        splits[i - 1] = uniform + 0.85f * (logarithmic - uniform);
    }
    return splits;
}

void ShadowCascades::update(const CameraFrustum& camera, const glm::vec3& sunDirection, int count,
                            int mapSize) {
    count = std::clamp(count, 1, kCount);
    mapSize = std::max(mapSize, 1);
    nearDistance = camera.nearPlane;
    splits = splitDistances(camera.nearPlane, count);

    const float length = glm::length(sunDirection);
    if (!(length > 1e-6f) || !std::isfinite(length)) {
        lightView.fill(glm::mat4(1.0f));
        lightProjection.fill(glm::mat4(1.0f));
        return;
    }
    const glm::vec3 direction = sunDirection / length;
    // A sun straight overhead makes the usual up vector parallel to the view direction.
    const glm::vec3 up =
        std::abs(direction.y) > 0.999f ? glm::vec3(0.0f, 0.0f, 1.0f) : glm::vec3(0.0f, 1.0f, 0.0f);

    float cascadeNear = camera.nearPlane;
    for (int k = 0; k < count; ++k) {
        const float cascadeFar = splits[static_cast<std::size_t>(k)];
        const glm::mat4 projection =
            glm::perspective(camera.fieldOfView, camera.aspect, cascadeNear, cascadeFar);
        const glm::mat4 inverse = glm::inverse(projection * camera.view);

        std::array<glm::vec3, 8> corners;
        glm::vec3 centre(0.0f);
        int c = 0;
        for (float x : {-1.0f, 1.0f})
            for (float y : {-1.0f, 1.0f})
                for (float z : {-1.0f, 1.0f}) {
                    const glm::vec4 p = inverse * glm::vec4(x, y, z, 1.0f);
                    corners[c] = glm::vec3(p) / p.w;
                    centre += corners[c++];
                }
        centre /= 8.0f;

        const glm::vec3 eye = centre - (cascadeFar - cascadeNear) * direction;
        const glm::mat4 view = glm::lookAt(eye, centre, up);

        float radius = 0.0f;
        for (const auto& corner : corners)
            radius = std::max(radius, glm::distance(centre, corner));
        // Half-size of the box: the bounding sphere's radius rounded up to whole 2-unit steps,
        // so the box size only changes when the frustum does, not with every camera turn.
        const float s = 2.0f * std::ceil(radius / 2.0f);
        const float d = std::max(0.0f, glm::distance(eye, centre) - s);
        glm::mat4 projectionOrtho = glm::ortho(-s, s, -s, s, d - kCasterReach, d + 2.0f * s);

        const glm::vec4 origin = projectionOrtho * view * glm::vec4(0.0f, 0.0f, 0.0f, 1.0f);
        const float half = static_cast<float>(mapSize) / 2.0f;
        const glm::vec2 texels(origin.x * half, origin.y * half);
        const glm::vec2 rounded(std::round(texels.x), std::round(texels.y));
        const glm::vec2 shift = (rounded - texels) * (2.0f / static_cast<float>(mapSize));
        projectionOrtho[3][0] += shift.x;
        projectionOrtho[3][1] += shift.y;

        lightView[static_cast<std::size_t>(k)] = view;
        lightProjection[static_cast<std::size_t>(k)] = projectionOrtho;
        cascadeNear = cascadeFar;
    }
    for (int k = count; k < kCount; ++k) {
        lightView[static_cast<std::size_t>(k)] = lightView[static_cast<std::size_t>(count - 1)];
        lightProjection[static_cast<std::size_t>(k)] = lightProjection[static_cast<std::size_t>(count - 1)];
    }
}

} // namespace hm
