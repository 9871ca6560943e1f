#include "physics/Cooking.h"
#include "physics/CookingCache.h"

#include "app/AssetLocations.h"

#include "support/LogCapture.h"

#include <BulletCollision/CollisionShapes/btOptimizedBvh.h>
#include <btBulletCollisionCommon.h>
#include <glm/geometric.hpp>
#include <gtest/gtest.h>

#include <climits>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <random>

#include <unistd.h>

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
        {"another release of the physics library", flip(12)},
        {"another precision of the physics library", flip(16)},
        {"flipped payload byte", flip(good.size() - 1)},
        {"huge size field", flip(39)},
        {"cooked from other geometry", flip(24)},
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

TEST(CacheNames, OnlyPlainFileNamesAreCached) {
    struct Case {
        std::string name;
        bool cached;
    };
    const Case cases[] = {
        {"terrain", true},       {"rock.01", true},      {"..hidden", true}, {"../../../etc/hm", false},
        {"..", false},           {".", false},           {"/tmp/hm", false}, {"a/b", false},
        {"..\\settings", false}, {"line\nbreak", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::LogCapture log;
        const auto path = cookedFilePath("mesh_hulls/", c.name, "Rock");
        EXPECT_EQ(path.has_value(), c.cached);
        if (path) {
            EXPECT_EQ(*path, gamePlaces().physicsCache + "mesh_hulls/" + c.name + ".dat");
        }
        EXPECT_EQ(log.messages(spdlog::level::warn).size(), c.cached ? 0u : 1u);
    }
}

TEST_F(CacheFolder, AFileCookedFromOtherGeometryIsStale) {
    test::LogCapture log;
    ASSERT_TRUE(writeCookedFile(path("rock.dat"), CookedKind::ConvexHull, bytes({1, 2, 3}), 41));
    EXPECT_TRUE(readCookedFile(path("rock.dat"), CookedKind::ConvexHull, 41));
    EXPECT_FALSE(readCookedFile(path("rock.dat"), CookedKind::ConvexHull, 42));
    EXPECT_EQ(log.messages(spdlog::level::warn).size(), 1u);
}

TEST_F(CacheFolder, TemporariesOfInterruptedWritesAreRemovedByTheNextWrite) {
    // 999999999 is above any process id; the parent process is alive and may still be writing.
    const std::string abandoned = path("rock.dat.tmp999999999");
    const std::string live = path("hill.dat.tmp" + std::to_string(::getppid()));
    const std::string unrelated = path("notes.tmpfile");
    for (const auto& name : {abandoned, live, unrelated})
        std::ofstream(name) << "half";
    test::LogCapture log;
    ASSERT_TRUE(writeCookedFile(path("tree.dat"), CookedKind::ConvexHull, bytes({1, 2})));
    EXPECT_FALSE(fs::exists(abandoned));
    EXPECT_TRUE(fs::exists(live));
    EXPECT_TRUE(fs::exists(unrelated));
    EXPECT_EQ(log.messages(spdlog::level::info),
              (std::vector<std::string>{"Removed " + abandoned +
                                        ", left by an interrupted write of the physics cache."}));
}

TEST_F(CacheFolder, UnwritableFolderFailsCleanly) {
    // A missing kind folder is made; below a plain file none can be, whoever runs the test.
    EXPECT_TRUE(writeCookedFile(path("new_kind/rock.dat"), CookedKind::ConvexHull, bytes({1})));
    std::ofstream(path("plain")) << "x";
    test::LogCapture log;
    EXPECT_FALSE(writeCookedFile(path("plain/kind/rock.dat"), CookedKind::ConvexHull, bytes({1})));
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

TEST(Welding, KeepsTheFirstOfCoincidentPositions) {
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
TEST(Welding, MatchesALinearSearch) {
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
TEST(Welding, FarAndNonFinitePositions) {
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

TEST(Cooking, HullVolumeIsTheVolumeItEncloses) {
    std::vector<glm::vec3> cube;
    for (int i = 0; i < 8; ++i)
        cube.emplace_back(i & 1 ? 0.5f : -0.5f, i & 2 ? 0.5f : -0.5f, i & 4 ? 0.5f : -0.5f);
    cube.emplace_back(0.1f, 0.2f, -0.3f); // inside, not a corner
    const auto corners = reduceConvexHull(cube, 20);
    EXPECT_EQ(corners.size(), 8u);
    EXPECT_NEAR(hullVolume(corners), 1.0f, 1e-5f);
    // A regular tetrahedron of edge 2: 2^3 / (6 sqrt 2).
    const std::vector<glm::vec3> tetrahedron = {{1, 1, 1}, {1, -1, -1}, {-1, 1, -1}, {-1, -1, 1}};
    EXPECT_NEAR(hullVolume(reduceConvexHull(tetrahedron, 20)), 8.0f / 3.0f, 1e-4f);
    EXPECT_EQ(hullVolume({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}), 0.0f);
}

// Points of wildly different scales, denormals next to millions (found by fuzzing the cache
// reader: Bullet's hull library crashed on them).
TEST(Cooking, HullsOfPointsOfWildlyDifferentScales) {
    const std::uint32_t bits[][3] = {
        {0x00000003, 0x00000001, 0x00000144}, {0x00000004, 0x00000000, 0x00070000},
        {0x00080000, 0x00030000, 0x00080000}, {0x00040000, 0x00040000, 0x00080000},
        {0x00090000, 0x00050000, 0x000a0000}, {0x48060000, 0x034b434d, 0x01000000},
        {0x44000000, 0x04000001, 0x00000000}, {0x82fb7c00, 0x4be4683e, 0xb43ef03f},
        {0x30314e9e, 0xac3f20ab, 0x063e016b}, {0x00be852b, 0x00080000, 0x000c0000},
        {0x000d0000, 0x00080000, 0x000d0000}, {0x00090000, 0x00090000, 0x3eeedd00},
        {0x3db00221, 0x3f2ebd0d, 0xbf38d4e9}, {0xbdb9170b, 0x3d7f72d1, 0x000037bd},
        {0x00000000, 0xbe5a4800, 0xbd952b1e}, {0xbf2174a2, 0x3d07e670, 0xbc86ba85},
        {0xbf24eea4, 0x3f09e45e, 0xbe8ea183}, {0xbe8e7fea, 0x3e1d580f, 0xbf0364f4},
        {0x3f20abd3, 0x3e016bbc, 0xbe85da06},
    };
    std::vector<glm::vec3> points;
    for (const auto& p : bits) {
        glm::vec3 v;
        std::memcpy(&v, p, sizeof(v));
        points.push_back(v);
    }
    for (unsigned limit : {4u, 8u, 20u}) {
        const auto hull = reduceConvexHull(points, limit);
        EXPECT_LE(hull.size(), limit);
        const float volume = hullVolume(hull);
        EXPECT_TRUE(std::isfinite(volume) && volume >= 0.0f);
    }
    EXPECT_TRUE(std::isfinite(hullVolume(points)));
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

namespace hm {
namespace {

// Where the fields of a saved hierarchy sit, taken from Bullet's class as the loader does.
struct BvhFields : btOptimizedBvh {
    template <typename T> static std::size_t offsetOf(T btQuantizedBvh::*member) {
        static const btOptimizedBvh probe;
        const auto* base = reinterpret_cast<const std::uint8_t*>(static_cast<const btQuantizedBvh*>(&probe));
        return static_cast<std::size_t>(reinterpret_cast<const std::uint8_t*>(&(probe.*member)) - base);
    }
    static std::size_t version() { return offsetOf(&BvhFields::m_bulletVersion); }
    static std::size_t nodeCount() { return offsetOf(&BvhFields::m_curNodeIndex); }
    static std::size_t quantized() { return offsetOf(&BvhFields::m_useQuantization); }
    static std::size_t traversal() { return offsetOf(&BvhFields::m_traversalMode); }
    static std::size_t subtreeCount() { return offsetOf(&BvhFields::m_subtreeHeaderCount); }
    static std::size_t aabbMin() { return offsetOf(&BvhFields::m_bvhAabbMin); }
    static std::size_t quantization() { return offsetOf(&BvhFields::m_bvhQuantization); }
};

// A cooked terrain's payload and where its hierarchy starts in it.
struct MeshPayload {
    std::vector<std::uint8_t> bytes;
    std::size_t tree = 0;  // offset of the saved hierarchy
    std::size_t nodes = 0; // offset of its first node
    int nodeCount = 0;
    std::size_t subtrees = 0; // offset of its first subtree header
    std::size_t triangles = 0;

    template <typename T> T get(std::size_t at) const {
        T v;
        std::memcpy(&v, bytes.data() + at, sizeof(T));
        return v;
    }
    template <typename T> void set(std::size_t at, T v) { std::memcpy(bytes.data() + at, &v, sizeof(T)); }
    // Where node i keeps its escape index (inner nodes, negative) or its triangle (leaves).
    std::size_t node(int i) const {
        return nodes + std::size_t(i) * sizeof(btQuantizedBvhNode) +
               offsetof(btQuantizedBvhNode, m_escapeIndexOrTriangleIndex);
    }
    std::size_t subtree(int i, std::size_t field) const {
        return subtrees + std::size_t(i) * sizeof(btBvhSubtreeInfo) + field;
    }
    std::vector<int> leaves() const {
        std::vector<int> out;
        for (int i = 0; i < nodeCount; ++i)
            if (get<int>(node(i)) >= 0)
                out.push_back(i);
        return out;
    }
};

MeshPayload terrainPayload() {
    std::vector<glm::vec3> vertices;
    std::vector<std::uint32_t> indices;
    grid(vertices, indices);
    MeshPayload p;
    auto cooked = CookedTriangleMesh::cook(vertices, indices);
    p.bytes = cooked->payload();
    p.triangles = cooked->triangleCount();
    p.tree = 16 + std::size_t(p.get<std::uint32_t>(0)) * 4 + std::size_t(p.get<std::uint32_t>(4)) * 4;
    p.nodes = p.tree + sizeof(btQuantizedBvh);
    p.nodeCount = p.get<int>(p.tree + BvhFields::nodeCount());
    p.subtrees = p.nodes + std::size_t(p.nodeCount) * sizeof(btQuantizedBvhNode);
    return p;
}

// Damaged hierarchies that pass every size check of the payload: each is refused before
// anything walks it (a walk would read outside the buffer, loop, or hand the mesh a triangle
// it does not have), and nothing is destroyed that was never constructed. The vtable pointer
// saved with the hierarchy is scrambled throughout: it must never be called.
TEST(Cooking, DamagedMeshHierarchiesAreRefused) {
    const MeshPayload good = terrainPayload();
    ASSERT_GT(good.nodeCount, 3);
    ASSERT_TRUE(CookedTriangleMesh::fromPayload(good.bytes));
    const std::vector<int> leaves = good.leaves();
    ASSERT_EQ(leaves.size(), good.triangles);
    const int leaf = leaves[0];

    struct Case {
        const char* name;
        std::function<void(MeshPayload&)> damage;
    };
    const Case cases[] = {
        {"root spans nothing", [](MeshPayload& p) { p.set<int>(p.node(0), 0); }},
        {"root spans past the end", [](MeshPayload& p) { p.set<int>(p.node(0), -(p.nodeCount + 5)); }},
        {"root escape of the smallest int", [](MeshPayload& p) { p.set<int>(p.node(0), INT_MIN); }},
        {"inner node spans one node short",
         [](MeshPayload& p) { p.set<int>(p.node(1), p.get<int>(p.node(1)) + 1); }},
        {"leaf names a triangle past the end",
         [leaf](MeshPayload& p) { p.set<int>(p.node(leaf), static_cast<int>(p.triangles)); }},
        {"leaf names another mesh part", [leaf](MeshPayload& p) { p.set<int>(p.node(leaf), 1 << 21); }},
        {"two leaves name one triangle",
         [&](MeshPayload& p) { p.set<int>(p.node(leaves[1]), p.get<int>(p.node(leaves[0]))); }},
        {"node count larger than the buffer",
         [](MeshPayload& p) { p.set<int>(p.tree + BvhFields::nodeCount(), p.nodeCount * 4); }},
        {"negative node count", [](MeshPayload& p) { p.set<int>(p.tree + BvhFields::nodeCount(), -1); }},
        {"negative subtree count",
         [](MeshPayload& p) { p.set<int>(p.tree + BvhFields::subtreeCount(), -1); }},
        {"quantization flag that is no bool",
         [](MeshPayload& p) { p.bytes[p.tree + BvhFields::quantized()] = 7; }},
        {"not quantized", [](MeshPayload& p) { p.bytes[p.tree + BvhFields::quantized()] = 0; }},
        {"unknown traversal mode", [](MeshPayload& p) { p.set<int>(p.tree + BvhFields::traversal(), 9); }},
        {"other library version", [](MeshPayload& p) { p.set<int>(p.tree + BvhFields::version(), 283); }},
        {"box that is not a number",
         [](MeshPayload& p) { p.set<float>(p.tree + BvhFields::aabbMin(), NAN); }},
        {"box that misses the mesh",
         [](MeshPayload& p) { p.set<float>(p.tree + BvhFields::aabbMin(), 5.0f); }},
        {"quantization overflowing 16 bits",
         [](MeshPayload& p) { p.set<float>(p.tree + BvhFields::quantization(), 1e9f); }},
        {"subtree root past the end",
         [](MeshPayload& p) {
             p.set<int>(p.subtree(0, offsetof(btBvhSubtreeInfo, m_rootNodeIndex)), p.nodeCount + 100);
         }},
        {"subtree longer than the tree",
         [](MeshPayload& p) {
             p.set<int>(p.subtree(0, offsetof(btBvhSubtreeInfo, m_subtreeSize)), p.nodeCount + 100);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MeshPayload damaged = good;
        for (std::size_t i = 0; i < sizeof(void*); ++i)
            damaged.bytes[damaged.tree + i] = 0xA5;
        c.damage(damaged);
        EXPECT_FALSE(CookedTriangleMesh::fromPayload(damaged.bytes));
    }
}

} // namespace
} // namespace hm
