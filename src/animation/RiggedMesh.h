// A skinned mesh: the triangle mesh plus per-vertex bone ids and weights (in a buffer of its
// own, attributes 5 and 6), the skeleton and the animations that drive it.
//
// Rigged meshes are shared by every node made from them; each RiggedMeshNode keeps its own
// animator state and bone matrices. The shaders take at most kMaxBones bone matrices.
#pragma once

#include "animation/Animation.h"
#include "animation/BoneInfo.h"
#include "render/Mesh.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace hm {

// Bone ids and weights of one vertex: four slots, id -1 marks a free slot.
struct VertexBoneData {
    std::array<std::int32_t, 4> ids{-1, -1, -1, -1};
    std::array<float, 4> weights{0.0f, 0.0f, 0.0f, 0.0f};

    enum class Added { Stored, ReplacedSmallest, Dropped };
    // Puts the weight into a free slot, or in place of the smallest weight when it is larger.
    Added add(std::int32_t boneId, float weight);
};
static_assert(sizeof(VertexBoneData) == 32);

class RiggedMesh : public Mesh {
public:
    static constexpr int kMaxBones = 96;

    // bones: every bone record, linked into trees (parent and children set); root: the root
    // bone of the skeleton (one of bones). boneData is taken per vertex; missing entries count
    // as unweighted vertices, surplus ones are dropped.
    RiggedMesh(std::vector<Vertex> vertices, std::vector<std::uint32_t> indices,
               std::vector<VertexBoneData> boneData, std::vector<std::unique_ptr<BoneInfo>> bones,
               BoneInfo* root, std::vector<std::shared_ptr<Animation>> animations);
    ~RiggedMesh() override;

    const BoneInfo* rootBone() const { return root_; }
    const std::vector<std::unique_ptr<BoneInfo>>& bones() const { return bones_; }
    // Every bone without a parent bone. A skeleton made of several trees is posed tree by tree,
    // so no bone is left out of the bone matrices.
    const std::vector<const BoneInfo*>& skeletonRoots() const { return roots_; }
    const std::vector<std::shared_ptr<Animation>>& animations() const { return animations_; }
    const std::vector<VertexBoneData>& boneData() const { return boneData_; }
    // Highest bone index + 1: the length of a node's bone matrix list.
    std::size_t boneMatrixCount() const { return matrixCount_; }
    // The bone ids and weights on the GPU; 0 until the mesh is uploaded.
    unsigned boneBuffer() const { return extraBuffer(); }

private:
    std::vector<VertexBoneData> boneData_;
    std::vector<std::unique_ptr<BoneInfo>> bones_;
    BoneInfo* root_;
    std::vector<const BoneInfo*> roots_;
    std::vector<std::shared_ptr<Animation>> animations_;
    std::size_t matrixCount_ = 0;
};

} // namespace hm
