// Skinned meshes on the GPU: the bone buffer's attributes, the node's update and its copy.
#include "animation/RiggedMeshNode.h"
#include "import/ModelImporter.h"
#include "render/Material.h"
#include "support/GLTestWindow.h"
#include "support/LogCapture.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

namespace hm {
namespace {

std::unique_ptr<Node3D> importMonster() {
    test::glWindow();
    return importModel(nullptr, 0, "enemy_walking_stone_monster.fbx");
}

TEST(RiggedMesh, BoneBufferFeedsIntegerIdsAndFloatWeights) {
    auto root = importMonster();
    auto* node = dynamic_cast<RiggedMeshNode*>(root->findByName("EnemyWalkingStoneMonster"));
    ASSERT_NE(node, nullptr);
    const RiggedMesh& mesh = *node->riggedMesh();
    mesh.ensureUploaded();
    glBindVertexArray(mesh.vertexArray());
    GLint enabled = 0, integer = 0, size = 0, stride = 0, type = 0, buffer = 0;
    void* offset = nullptr;
    glGetVertexAttribiv(5, GL_VERTEX_ATTRIB_ARRAY_ENABLED, &enabled);
    glGetVertexAttribiv(5, GL_VERTEX_ATTRIB_ARRAY_INTEGER, &integer);
    glGetVertexAttribiv(5, GL_VERTEX_ATTRIB_ARRAY_SIZE, &size);
    glGetVertexAttribiv(5, GL_VERTEX_ATTRIB_ARRAY_STRIDE, &stride);
    glGetVertexAttribiv(5, GL_VERTEX_ATTRIB_ARRAY_TYPE, &type);
    glGetVertexAttribiv(5, GL_VERTEX_ATTRIB_ARRAY_BUFFER_BINDING, &buffer);
    EXPECT_EQ(enabled, GL_TRUE);
    EXPECT_EQ(integer, GL_TRUE);
    EXPECT_EQ(size, 4);
    EXPECT_EQ(stride, 32);
    EXPECT_EQ(type, GL_INT);
    EXPECT_EQ(static_cast<GLuint>(buffer), mesh.boneBuffer());
    glGetVertexAttribiv(6, GL_VERTEX_ATTRIB_ARRAY_INTEGER, &integer);
    glGetVertexAttribiv(6, GL_VERTEX_ATTRIB_ARRAY_TYPE, &type);
    glGetVertexAttribPointerv(6, GL_VERTEX_ATTRIB_ARRAY_POINTER, &offset);
    EXPECT_EQ(integer, GL_FALSE);
    EXPECT_EQ(type, GL_FLOAT);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(offset), 16u);
    glBindVertexArray(0);

    GLint uploaded = 0;
    glBindBuffer(GL_ARRAY_BUFFER, mesh.boneBuffer());
    glGetBufferParameteriv(GL_ARRAY_BUFFER, GL_BUFFER_SIZE, &uploaded);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    EXPECT_EQ(static_cast<std::size_t>(uploaded), mesh.vertices().size() * 32);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(RiggedMeshNode, AnimationMovesBonesAndACopyContinuesWhereTheSourceIs) {
    auto root = importMonster();
    auto* node = dynamic_cast<RiggedMeshNode*>(root->findByName("EnemyWalkingStoneMonster"));
    ASSERT_NE(node, nullptr);
    const auto rest = node->boneMatrices();
    node->queueAnimation("Walk", 1, 1.0f, 0, false);
    node->update(0.0f); // starts the request
    node->update(0.3f);
    EXPECT_NE(node->boneMatrices(), rest);

    auto copied = node->copy();
    auto* copy = dynamic_cast<RiggedMeshNode*>(copied.get());
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->getTypeName(), "RiggedMeshNode");
    EXPECT_EQ(copy->riggedMesh(), node->riggedMesh());
    EXPECT_EQ(copy->currentAnimation(), node->currentAnimation());
    EXPECT_FLOAT_EQ(copy->currentTime(), node->currentTime());
    EXPECT_EQ(copy->boneMatrices(), node->boneMatrices());
    // A queued request travels with the copy too.
    node->queueAnimation("Attack", 0, 1.0f, 0, false);
    auto second = node->copy();
    EXPECT_EQ(dynamic_cast<RiggedMeshNode&>(*second).queue().size(), 1u);

    for (int i = 0; i < 5; ++i) {
        copy->update(0.1f);
        node->update(0.1f);
    }
    EXPECT_EQ(copy->currentAnimation()->name(), "Walk");
    EXPECT_FLOAT_EQ(copy->currentTime(), 0.8f);
    EXPECT_NE(copy->boneMatrices(), rest);
}

} // namespace
} // namespace hm
