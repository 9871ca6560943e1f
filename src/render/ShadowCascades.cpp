#include "render/ShadowCascades.h"

#include <glm/geometric.hpp>
#include <glm/gtc/matrix_transform.hpp>

#include <algorithm>
#include <cmath>

namespace hm {

std::array<float, ShadowCascades::kCount> ShadowCascades::splitDistances(float nearPlane) {
    const float n = nearPlane;
    const float f = kShadowDistance;
    std::array<float, kCount> splits{};
    for (int i = 1; i < kCount; ++i) {
        const float t = static_cast<float>(i) / kCount;
        const float uniform = n + (f - n) * t;
        const float logarithmic = n * std::pow(f / n, t);
        splits[i - 1] = uniform + 0.85f * (logarithmic - uniform);
    }
    splits[kCount - 1] = f;
    return splits;
}

void ShadowCascades::update(const CameraFrustum& camera, const glm::vec3& sunDirection) {
    nearDistance = camera.nearPlane;
    splits = splitDistances(camera.nearPlane);

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
    for (int k = 0; k < kCount; ++k) {
        const float cascadeFar = splits[k];
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
        const float half = kMapSize / 2.0f;
        const glm::vec2 texels(origin.x * half, origin.y * half);
        const glm::vec2 rounded(std::round(texels.x), std::round(texels.y));
        const glm::vec2 shift = (rounded - texels) * (2.0f / kMapSize);
        projectionOrtho[3][0] += shift.x;
        projectionOrtho[3][1] += shift.y;

        lightView[k] = view;
        lightProjection[k] = projectionOrtho;
        cascadeNear = cascadeFar;
    }
}

} // namespace hm
