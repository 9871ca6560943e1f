#include "animation/RiggedMeshNode.h"

#include "render/GpuState.h"
#include "render/Material.h"
#include "render/ShaderLocations.h"

#include <glm/gtc/type_ptr.hpp>

#include <algorithm>

namespace hm {

namespace {

AnimationList animationsOf(const std::shared_ptr<RiggedMesh>& mesh) {
    return mesh ? mesh->animations() : AnimationList{};
}

} // namespace

RiggedMeshNode::RiggedMeshNode(std::string name, std::shared_ptr<RiggedMesh> mesh,
                               std::shared_ptr<Material> material)
    : MeshNode(std::move(name), mesh, std::move(material)), BoneAnimator(animationsOf(mesh)),
      riggedMesh_(std::move(mesh)) {
    if (riggedMesh_)
        boneMatrices_.assign(riggedMesh_->boneMatrixCount(), glm::mat4(1.0f));
    updateBoneMatrices();
}

void RiggedMeshNode::updateBoneMatrices() {
    if (riggedMesh_)
        computeBoneMatrices(riggedMesh_->skeletonRoots(), pose_, boneMatrices_);
}

void RiggedMeshNode::update(float dt) {
    updateAnimation(dt);
    computePose(pose_);
    updateBoneMatrices();
}

void RiggedMeshNode::render(float elapsed, int pass) {
    if (!riggedMesh_)
        return;
    if (pass == 1) {
        if (!material())
            return;
        material()->use();
    }
    applyDrawUniforms();
    riggedMesh_->draw(pass, true);
}

void RiggedMeshNode::applyDrawUniforms() const {
    const glm::mat4 world = getWorldMatrix();
    gpu::setUniform(shader::kModelMatrix, world);
    if (!boneMatrices_.empty()) {
        const auto count = std::min<std::size_t>(boneMatrices_.size(), RiggedMesh::kMaxBones);
        gpu::setUniforms(shader::kBoneMatrices, boneMatrices_.data(), count);
    }
}

} // namespace hm
