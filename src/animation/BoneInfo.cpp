#include "animation/BoneInfo.h"

namespace hm {

namespace {

void descend(const BoneInfo& bone, const glm::mat4& parent, const Pose& pose,
             std::vector<glm::mat4>& matrices) {
    const auto posed = pose.find(bone.name);
    const glm::mat4 global = parent * (posed != pose.end() ? posed->second : bone.localTransform);
    if (bone.index >= 0 && static_cast<std::size_t>(bone.index) < matrices.size())
        matrices[static_cast<std::size_t>(bone.index)] = global * bone.offset;
    for (const BoneInfo* child : bone.children)
        if (child)
            descend(*child, global, pose, matrices);
}

} // namespace

void computeBoneMatrices(const std::vector<const BoneInfo*>& roots, const Pose& pose,
                         std::vector<glm::mat4>& matrices) {
    for (const BoneInfo* root : roots)
        if (root)
            descend(*root, glm::mat4(1.0f), pose, matrices);
}

} // namespace hm
