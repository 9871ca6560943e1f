// Small pure helpers of the model importer: light attenuation from a range, welding of hull
// vertices, and the four-slot per-vertex bone weights of skinned meshes.
#pragma once

#include <glm/vec3.hpp>

#include <array>
#include <cstdint>
#include <vector>

namespace hm {

// (constant, linear, quadratic) attenuation of a point light that should reach about `range`
// units, interpolated in a table of common ranges. Ranges outside the table (below 0 or from
// 3250 on) give (0, 0, 0), which the shaders treat as a light without falloff.
glm::vec3 attenuationForRange(float range);

// Merges positions closer than `tolerance` (keeping the first of them) and returns, for every
// input position, the index of the position it became in `welded`.
std::vector<std::uint32_t> weldPositions(const std::vector<glm::vec3>& positions,
                                         std::vector<glm::vec3>& welded, float tolerance = 0.001f);

// Bone ids and weights of one vertex: four slots, id -1 marks a free slot.
struct VertexBoneData {
    std::array<std::int32_t, 4> ids{-1, -1, -1, -1};
    std::array<float, 4> weights{0.0f, 0.0f, 0.0f, 0.0f};

    enum class Added { Stored, ReplacedSmallest, Dropped };
    // Puts the weight into a free slot, or in place of the smallest weight when it is larger.
    Added add(std::int32_t boneId, float weight);
};
static_assert(sizeof(VertexBoneData) == 32);

} // namespace hm
