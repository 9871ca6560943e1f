// A node that draws a skinned mesh and plays its skeletal animations.
//
// Every frame update advances the animator, samples the current animation into a pose and turns
// the pose into one bone matrix per bone; render hands those matrices to the shader. Game classes
// (enemies, towers) derive from it, queue animations by name and override onAnimationEnd.
#pragma once

#include "animation/BoneAnimator.h"
#include "animation/RiggedMesh.h"
#include "render/MeshNode.h"

#include <memory>
#include <vector>

namespace hm {

class RiggedMeshNode : public MeshNode, public BoneAnimator {
public:
    // Starts with the rest pose of the skeleton.
    RiggedMeshNode(std::string name, std::shared_ptr<RiggedMesh> mesh, std::shared_ptr<Material> material);

    void render(float elapsed, int pass) override;
    void applyDrawUniforms() const override;
    void update(float dt) override;
    std::string getTypeName() const override { return "RiggedMeshNode"; }
    // The copy shares the rigged mesh and continues exactly where this node is: same current
    // animation, time, mode, speed, queue and bone matrices.
    std::unique_ptr<Node3D> copy() const override {
        return std::unique_ptr<Node3D>(new RiggedMeshNode(*this));
    }
    bool hasMesh() const override { return true; }

    const std::vector<glm::mat4>& boneMatrices() const { return boneMatrices_; }
    const std::shared_ptr<RiggedMesh>& riggedMesh() const { return riggedMesh_; }

protected:
    RiggedMeshNode(const RiggedMeshNode& source) = default;

private:
    void updateBoneMatrices();

    std::vector<glm::mat4> boneMatrices_;
    std::shared_ptr<RiggedMesh> riggedMesh_;
    Pose pose_;
};

} // namespace hm
