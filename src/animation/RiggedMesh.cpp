#include "animation/RiggedMesh.h"

#include "app/Log.h"

#include <algorithm>
#include <cstddef>

namespace hm {

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

    GLuint buffer = 0;
    glGenBuffers(1, &buffer);
    boneBuffer_.reset(buffer);
    glBindVertexArray(vertexArray());
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(boneData_.size() * sizeof(VertexBoneData)),
                 boneData_.data(), GL_STATIC_DRAW);
    glEnableVertexAttribArray(5);
    glVertexAttribIPointer(5, 4, GL_INT, sizeof(VertexBoneData),
                           reinterpret_cast<const void*>(offsetof(VertexBoneData, ids)));
    glEnableVertexAttribArray(6);
    glVertexAttribPointer(6, 4, GL_FLOAT, GL_FALSE, sizeof(VertexBoneData),
                          reinterpret_cast<const void*>(offsetof(VertexBoneData, weights)));
    glBindVertexArray(0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
}

RiggedMesh::~RiggedMesh() {
    const std::size_t count = bones_.size();
    bones_.clear();
    spdlog::debug("Destroyed RiggedMesh and {0} bones aswell as one BBO", count);
}

} // namespace hm
