// The skeleton of a skinned mesh: one record per bone with its inverse bind matrix, its rest
// transform from the model file and its place in the bone tree.
#pragma once

#include <glm/mat4x4.hpp>

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace hm {

using Pose = std::unordered_map<std::string, glm::mat4>;

struct BoneInfo {
    std::string name;
    // Position in the mesh's bone list; the vertices' bone ids refer to it.
    std::int32_t index = 0;
    // From mesh space to the bone's space in the bind pose.
    glm::mat4 offset{1.0f};
    // The bone's transform relative to its parent when no animation moves it.
    glm::mat4 localTransform{1.0f};
    BoneInfo* parent = nullptr;
    std::vector<BoneInfo*> children;
};

// Fills matrices[bone.index] = G * offset for every bone below the given roots, where G is the
// product of the local transforms from the root down: the pose's transform for a bone the pose
// names, else the bone's rest transform. Entries of indices outside matrices are skipped.
void computeBoneMatrices(const std::vector<const BoneInfo*>& roots, const Pose& pose,
                         std::vector<glm::mat4>& matrices);

} // namespace hm
