#include "physics/Cooking.h"
#include "physics/CookingCache.h"

#include "support/LogCapture.h"

#include <btBulletCollisionCommon.h>
#include <glm/geometric.hpp>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

namespace hm {
namespace {

namespace fs = std::filesystem;

class CacheFolder : public testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() / ("hm_cooking_" + std::to_string(::getpid()));
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }
    std::string path(const std::string& name) const { return (folder / name).string(); }
    fs::path folder;
};

std::vector<std::uint8_t> bytes(std::initializer_list<int> values) {
    std::vector<std::uint8_t> out;
    for (int v : values)
        out.push_back(static_cast<std::uint8_t>(v));
    return out;
}

TEST_F(CacheFolder, RoundTripLeavesNoTemporaryFile) {
    const auto payload = bytes({1, 2, 3, 4, 5, 250});
    ASSERT_TRUE(writeCookedFile(path("rock.dat"), CookedKind::ConvexHull, payload));
    EXPECT_EQ(readCookedFile(path("rock.dat"), CookedKind::ConvexHull), payload);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
    EXPECT_FALSE(readCookedFile(path("missing.dat"), CookedKind::ConvexHull));
}

TEST_F(CacheFolder, DamagedFilesAreRefusedWithALogLine) {
    const auto payload = bytes({9, 8, 7, 6, 5, 4, 3, 2, 1});
    ASSERT_TRUE(writeCookedFile(path("good.dat"), CookedKind::TriangleMesh, payload));
    std::vector<char> good(fs::file_size(path("good.dat")));
    std::ifstream(path("good.dat"), std::ios::binary)
        .read(good.data(), static_cast<std::streamsize>(good.size()));

    struct Case {
        const char* name;
        std::vector<char> contents;
        CookedKind kind = CookedKind::TriangleMesh;
    };
    auto flip = [&](std::size_t at) {
        auto c = good;
        c[at] ^= 0x40;
        return c;
    };
    std::vector<Case> cases = {
        {"empty", {}},
        {"short header", std::vector<char>(good.begin(), good.begin() + 10)},
        {"truncated payload", std::vector<char>(good.begin(), good.end() - 3)},
        {"trailing bytes",
         [&] {
             auto c = good;
             c.push_back(0);
             return c;
         }()},
        {"wrong magic", flip(0)},
        {"wrong version", flip(4)},
        {"flipped payload byte", flip(good.size() - 1)},
        {"huge size field", flip(31)},
        {"cooked from other geometry", flip(16)},
        {"other kind", good, CookedKind::ConvexHull},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::LogCapture log;
        std::ofstream(path("bad.dat"), std::ios::binary | std::ios::trunc)
            .write(c.contents.data(), static_cast<std::streamsize>(c.contents.size()));
        EXPECT_FALSE(readCookedFile(path("bad.dat"), c.kind));
        EXPECT_EQ(log.messages(spdlog::level::err).size() + log.messages(spdlog::level::warn).size(), 1u);
    }
}

TEST_F(CacheFolder, AFileCookedFromOtherGeometryIsStale) {
    test::LogCapture log;
    ASSERT_TRUE(writeCookedFile(path("rock.dat"), CookedKind::ConvexHull, bytes({1, 2, 3}), 41));
    EXPECT_TRUE(readCookedFile(path("rock.dat"), CookedKind::ConvexHull, 41));
    EXPECT_FALSE(readCookedFile(path("rock.dat"), CookedKind::ConvexHull, 42));
    EXPECT_EQ(log.messages(spdlog::level::warn).size(), 1u);
}

TEST_F(CacheFolder, UnwritableFolderFailsCleanly) {
    test::LogCapture log;
    EXPECT_FALSE(writeCookedFile(path("no_such_folder/rock.dat"), CookedKind::ConvexHull, bytes({1})));
    EXPECT_EQ(log.messages(spdlog::level::err).size(), 1u);
}

std::vector<glm::vec3> spherePoints(int count, float radius) {
    std::mt19937 rng(3);
    std::normal_distribution<float> n;
    std::vector<glm::vec3> out;
    for (int i = 0; i < count; ++i)
        out.push_back(glm::normalize(glm::vec3(n(rng), n(rng), n(rng))) * radius);
    return out;
}

TEST(Cooking, HullHonoursTheVertexLimitAndStaysInsideTheInput) {
    const auto points = spherePoints(20000, 2.0f);
    const auto hull = cookConvexHull(points, 20, 0.04f);
    ASSERT_GE(hull.size(), 4u);
    EXPECT_LE(hull.size(), 20u);
    for (const auto& p : hull)
        EXPECT_LE(glm::length(p), 2.0f - 0.03f);
    const auto decoded = decodeHull(encodeHull(hull));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(*decoded, hull);
}

TEST(Cooking, FlatOrTinyPointSetsGiveNoHull) {
    EXPECT_TRUE(cookConvexHull({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, 20, 0.04f).empty());
    EXPECT_TRUE(cookConvexHull({}, 20, 0.04f).empty());
    EXPECT_FALSE(decodeHull(bytes({1, 0, 0, 0})));
    EXPECT_FALSE(decodeHull(bytes({4, 0, 0})));
}

// A 20x20 grid of quads with a bump, as terrain would be.
void grid(std::vector<glm::vec3>& vertices, std::vector<std::uint32_t>& indices) {
    const int n = 20;
    for (int z = 0; z <= n; ++z)
        for (int x = 0; x <= n; ++x)
            vertices.emplace_back(x - n / 2.0f, std::sin(x * 0.3f) * std::cos(z * 0.2f), z - n / 2.0f);
    for (int z = 0; z < n; ++z)
        for (int x = 0; x < n; ++x) {
            const std::uint32_t i = z * (n + 1) + x;
            indices.insert(indices.end(), {i, i + n + 1, i + 1, i + 1, i + n + 1, i + n + 2});
        }
}

float castDown(btCollisionShape& shape, float x, float z) {
    btTransform identity;
    identity.setIdentity();
    btCollisionObject object;
    object.setCollisionShape(&shape);
    object.setWorldTransform(identity);
    btTransform from, to;
    from.setIdentity();
    to.setIdentity();
    from.setOrigin(btVector3(x, 10, z));
    to.setOrigin(btVector3(x, -10, z));
    btCollisionWorld::ClosestRayResultCallback callback(from.getOrigin(), to.getOrigin());
    btCollisionWorld::rayTestSingle(from, to, &object, &shape, identity, callback);
    return callback.hasHit() ? callback.m_hitPointWorld.y() : NAN;
}

TEST(Cooking, TriangleMeshSurvivesItsPayloadUnchanged) {
    std::vector<glm::vec3> vertices;
    std::vector<std::uint32_t> indices;
    grid(vertices, indices);
    vertices.push_back(vertices[0] + glm::vec3(0.0004f, 0, 0)); // welded onto vertex 0
    indices.insert(indices.end(),
                   {static_cast<std::uint32_t>(vertices.size() - 1), 0, 1}); // degenerate after welding

    auto cooked = CookedTriangleMesh::cook(vertices, indices);
    ASSERT_TRUE(cooked);
    EXPECT_EQ(cooked->vertexCount(), 21u * 21u);
    EXPECT_EQ(cooked->triangleCount(), 800u);

    auto loaded = CookedTriangleMesh::fromPayload(cooked->payload());
    ASSERT_TRUE(loaded);
    for (float x : {-7.3f, 0.1f, 4.4f})
        for (float z : {-2.2f, 3.9f}) {
            const float expected = castDown(cooked->shape(), x, z);
            EXPECT_FALSE(std::isnan(expected));
            EXPECT_FLOAT_EQ(castDown(loaded->shape(), x, z), expected);
        }
}

TEST(Cooking, InconsistentMeshInputsAreRefused) {
    EXPECT_FALSE(CookedTriangleMesh::cook({{0, 0, 0}, {1, 0, 0}, {0, 0, 1}}, {0, 1, 7}));
    EXPECT_FALSE(CookedTriangleMesh::cook({{0, 0, 0}, {1, 0, 0}}, {0, 1, 1}));
    std::vector<glm::vec3> vertices;
    std::vector<std::uint32_t> indices;
    grid(vertices, indices);
    auto payload = CookedTriangleMesh::cook(vertices, indices)->payload();
    payload[16 + 4 * 3 * 441] = 0xff; // first index, far out of range
    payload[16 + 4 * 3 * 441 + 3] = 0x7f;
    EXPECT_FALSE(CookedTriangleMesh::fromPayload(payload));
    payload.resize(payload.size() - 1);
    EXPECT_FALSE(CookedTriangleMesh::fromPayload(payload));
}

} // namespace
} // namespace hm
