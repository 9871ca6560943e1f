// Bone matrices from a skeleton and a pose, and the per-vertex bone weights, without a GPU.
#include "animation/RiggedMesh.h"
#include "animation/BoneInfo.h"

#include <glm/gtc/matrix_transform.hpp>
#include <gtest/gtest.h>

namespace hm {
namespace {

void expectMatrix(const glm::mat4& actual, const glm::mat4& expected) {
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r)
            EXPECT_NEAR(actual[c][r], expected[c][r], 1e-5f) << "column " << c << ", row " << r;
}

BoneInfo bone(std::string name, std::int32_t index) {
    BoneInfo info;
    info.name = std::move(name);
    info.index = index;
    return info;
}

// root -> arm -> hand along +x, one unit apart, bound where they rest; plus a loose bone with
// no parent (a second tree).
struct Skeleton {
    BoneInfo root = bone("root", 0), arm = bone("arm", 2), hand = bone("hand", 1), loose = bone("loose", 3);

    Skeleton() {
        const glm::mat4 step = glm::translate(glm::mat4(1.0f), {1, 0, 0});
        arm.localTransform = hand.localTransform = step;
        loose.localTransform = glm::translate(glm::mat4(1.0f), {0, 5, 0});
        root.offset = glm::mat4(1.0f);
        arm.offset = glm::inverse(step);
        hand.offset = glm::inverse(step * step);
        loose.offset = glm::inverse(loose.localTransform);
        root.children = {&arm};
        arm.parent = &root;
        arm.children = {&hand};
        hand.parent = &arm;
    }
};

TEST(BoneMatrices, RestPoseGivesIdentityAndAPosedBoneMovesItsChildren) {
    Skeleton s;
    std::vector<glm::mat4> matrices(4, glm::mat4(0.0f));
    computeBoneMatrices({&s.root, &s.loose}, {}, matrices);
    for (const auto& m : matrices)
        expectMatrix(m, glm::mat4(1.0f));

    // Turn the arm a quarter about z: the hand, one unit out along the arm, swings with it.
    const glm::mat4 turned = glm::translate(glm::mat4(1.0f), {1, 0, 0}) *
                             glm::rotate(glm::mat4(1.0f), glm::half_pi<float>(), {0, 0, 1});
    computeBoneMatrices({&s.root, &s.loose}, {{"arm", turned}}, matrices);
    expectMatrix(matrices[0], glm::mat4(1.0f));
    const glm::vec4 handTip = matrices[1] * glm::vec4(2, 0, 0, 1); // a vertex bound at the hand
    EXPECT_NEAR(handTip.x, 1.0f, 1e-5f);
    EXPECT_NEAR(handTip.y, 1.0f, 1e-5f);
    // The second tree is posed too: without it the loose bone would stay at its old matrix.
    computeBoneMatrices({&s.root, &s.loose}, {{"loose", glm::mat4(1.0f)}}, matrices);
    const glm::vec4 looseVertex = matrices[3] * glm::vec4(0, 5, 0, 1);
    EXPECT_NEAR(looseVertex.y, 0.0f, 1e-5f);
}

TEST(BoneMatrices, IndicesOutsideTheListAreSkipped) {
    Skeleton s;
    s.hand.index = 7;
    std::vector<glm::mat4> matrices(3, glm::mat4(0.0f));
    computeBoneMatrices({&s.root}, {}, matrices); // must not write past the end
    expectMatrix(matrices[2], glm::mat4(1.0f));
}

TEST(VertexBoneData, FiveWeightsKeepTheFourLargest) {
    VertexBoneData v;
    EXPECT_EQ(v.add(0, 0.1f), VertexBoneData::Added::Stored);
    v.add(1, 0.4f);
    v.add(2, 0.2f);
    v.add(3, 0.3f);
    EXPECT_EQ(v.add(4, 0.1f), VertexBoneData::Added::Dropped); // equal to the smallest kept
    EXPECT_EQ(v.add(5, 0.25f), VertexBoneData::Added::ReplacedSmallest);
    EXPECT_EQ(v.ids, (std::array<std::int32_t, 4>{5, 1, 2, 3}));
    EXPECT_EQ(v.weights, (std::array<float, 4>{0.25f, 0.4f, 0.2f, 0.3f}));
}

} // namespace
} // namespace hm
