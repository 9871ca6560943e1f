#include "animation/RiggedMesh.h"

#include "app/Log.h"

#include <algorithm>
#include <cstddef>

namespace hm {

VertexBoneData::Added VertexBoneData::add(std::int32_t boneId, float weight) {
    for (std::size_t i = 0; i < 4; ++i)
        if (ids[i] < 0) {
            ids[i] = boneId;
            weights[i] = weight;
            return Added::Stored;
        }
    std::size_t smallest = 0;
    for (std::size_t i = 1; i < 4; ++i)
        if (weights[i] < weights[smallest])
            smallest = i;
    if (weights[smallest] < weight) {
        ids[smallest] = boneId;
        weights[smallest] = weight;
        return Added::ReplacedSmallest;
    }
    return Added::Dropped;
}

RiggedMesh::RiggedMesh(std::vector<Vertex> vertices, std::vector<std::uint32_t> indices,
                       std::vector<VertexBoneData> boneData, std::vector<std::unique_ptr<BoneInfo>> bones,
                       BoneInfo* root, std::vector<std::shared_ptr<Animation>> animations)
    : Mesh(std::move(vertices), std::move(indices)), boneData_(std::move(boneData)), bones_(std::move(bones)),
      root_(root), animations_(std::move(animations)) {
    flag = 1;
    boneData_.resize(this->vertices().size());

    std::int32_t highest = -1;
    for (const auto& bone : bones_) {
        highest = std::max(highest, bone->index);
        if (!bone->parent)
            roots_.push_back(bone.get());
    }
    matrixCount_ = static_cast<std::size_t>(highest + 1);
    if (matrixCount_ > static_cast<std::size_t>(kMaxBones))
        spdlog::error(
            "A rigged mesh has {0} bones but the shaders take only {1}; bones from index {1} on stay "
            "in their bind pose.",
            matrixCount_, kMaxBones);

    VertexStream stream;
    const auto* first = reinterpret_cast<const unsigned char*>(boneData_.data());
    stream.bytes.assign(first, first + boneData_.size() * sizeof(VertexBoneData));
    stream.stride = sizeof(VertexBoneData);
    stream.attributes = {{5, 4, VertexStream::Component::Int, offsetof(VertexBoneData, ids)},
                         {6, 4, VertexStream::Component::Float, offsetof(VertexBoneData, weights)}};
    setExtraStream(std::move(stream));
}

RiggedMesh::~RiggedMesh() {
    const std::size_t count = bones_.size();
    bones_.clear();
    spdlog::debug("Destroyed RiggedMesh and {0} bones aswell as one BBO", count);
}

} // namespace hm
