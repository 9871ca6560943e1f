#include "import/ImportMath.h"

#include <glm/geometric.hpp>
#include <gtest/gtest.h>

#include <limits>
#include <random>

namespace hm {
namespace {

TEST(ImportMath, AttenuationFromRange) {
    struct Case {
        float range;
        glm::vec3 expected;
    };
    for (const Case& c :
         {Case{50.0f, {1, 0.09f, 0.032f}}, Case{57.5f, {1, 0.08f, 0.0245f}}, Case{5000.0f, {0, 0, 0}},
          Case{3250.0f, {0, 0, 0}}, Case{-1.0f, {0, 0, 0}}, Case{0.5f, {0.5f, 25.0f, 125.0f}},
          Case{0.0f, {0, 40, 200}}, Case{std::nanf(""), {0, 0, 0}}}) {
        SCOPED_TRACE(c.range);
        const glm::vec3 a = attenuationForRange(c.range);
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(a[i], c.expected[i], 1e-5f);
    }
}

TEST(ImportMath, WeldingKeepsTheFirstOfCoincidentPositions) {
    const std::vector<glm::vec3> positions = {
        {0, 0, 0}, {1, 0, 0}, {0.0005f, 0, 0}, {1, 0.0009f, 0}, {2, 0, 0}, {0, 0, 0.002f},
    };
    std::vector<glm::vec3> welded;
    const auto mapping = weldPositions(positions, welded);
    EXPECT_EQ(mapping, (std::vector<std::uint32_t>{0, 1, 0, 1, 2, 3}));
    ASSERT_EQ(welded.size(), 4u);
    EXPECT_EQ(welded[0], glm::vec3(0, 0, 0));
}

// The grid must decide exactly as the straightforward search over all earlier positions.
TEST(ImportMath, WeldingMatchesALinearSearch) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> coordinate(0.0f, 0.01f);
    std::vector<glm::vec3> positions(2000);
    for (auto& p : positions)
        p = {coordinate(rng), coordinate(rng), coordinate(rng)};

    std::vector<glm::vec3> linear;
    std::vector<std::uint32_t> expected;
    for (const auto& p : positions) {
        std::uint32_t found = UINT32_MAX;
        for (std::uint32_t i = 0; i < linear.size() && found == UINT32_MAX; ++i)
            if (glm::distance(linear[i], p) < 0.001f)
                found = i;
        if (found == UINT32_MAX) {
            found = static_cast<std::uint32_t>(linear.size());
            linear.push_back(p);
        }
        expected.push_back(found);
    }
    std::vector<glm::vec3> welded;
    EXPECT_EQ(weldPositions(positions, welded), expected);
    EXPECT_EQ(welded.size(), linear.size());
}

// Coordinates far from the origin (beyond 2.1e6 the cell index of a 0.001 grid leaves the int
// range) and ones that are not numbers: equal far positions still weld, non-finite ones never do.
TEST(ImportMath, WeldingFarAndNonFinitePositions) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::vector<glm::vec3> positions = {
        {3.0e6f, 0, 0},
        {-3.0e6f, 5, 0},
        {3.0e6f, 0, 0},
        {1e30f, -1e30f, 3e38f},
        {1e30f, -1e30f, 3e38f},
        {nan, 0, 0},
        {nan, 0, 0},
        {0, inf, 0},
        {0, inf, 0},
        {-3.0e6f, 5, 0},
        {2.2e6f, 1, 1},
        {2.2e6f, 1, 1.25f},
        {0, 0, 0},
    };
    std::vector<glm::vec3> welded;
    const auto mapping = weldPositions(positions, welded);
    EXPECT_EQ(mapping, (std::vector<std::uint32_t>{0, 1, 0, 2, 2, 3, 4, 5, 6, 1, 7, 8, 9}));
    EXPECT_EQ(welded.size(), 10u);
}

TEST(ImportMath, FiveBoneWeightsKeepTheFourLargest) {
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
