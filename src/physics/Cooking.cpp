#include "physics/Cooking.h"

#include <BulletCollision/CollisionDispatch/btInternalEdgeUtility.h>
#include <BulletCollision/CollisionShapes/btOptimizedBvh.h>
#include <LinearMath/btConvexHull.h>
#include <LinearMath/btConvexHullComputer.h>
#include <btBulletCollisionCommon.h>

#include <glm/ext/vector_int3_sized.hpp>
#include <glm/geometric.hpp>
#include <glm/vec3.hpp>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_map>

namespace hm {

namespace {

// Keeps only the points that are extreme along some of a few hundred directions; the hull of
// what is left equals the hull of the input for any practical mesh, and the hull library's
// quadratic cost stays small.
std::vector<glm::vec3> extremePoints(const std::vector<glm::vec3>& points) {
    constexpr int kDirections = 300;
    if (points.size() <= 2 * kDirections)
        return points;
    std::vector<char> keep(points.size(), 0);
    const float golden = 3.14159265f * (3.0f - std::sqrt(5.0f));
    for (int d = 0; d < kDirections; ++d) {
        const float y = 1.0f - 2.0f * (static_cast<float>(d) + 0.5f) / kDirections;
        const float r = std::sqrt(std::max(0.0f, 1.0f - y * y));
        const glm::vec3 direction(std::cos(golden * d) * r, y, std::sin(golden * d) * r);
        std::size_t best = 0;
        float bestDot = -INFINITY;
        for (std::size_t i = 0; i < points.size(); ++i) {
            const float dot = glm::dot(points[i], direction);
            if (dot > bestDot) {
                bestDot = dot;
                best = i;
            }
        }
        keep[best] = 1;
    }
    std::vector<glm::vec3> out;
    for (std::size_t i = 0; i < points.size(); ++i)
        if (keep[i])
            out.push_back(points[i]);
    return out;
}

template <typename T> void append(std::vector<std::uint8_t>& out, const T* data, std::size_t count) {
    const std::size_t size = count * sizeof(T);
    if (size == 0)
        return;
    const std::size_t offset = out.size();
    out.resize(offset + size);
    std::memcpy(out.data() + offset, data, size);
}

struct MeshHeader {
    std::uint32_t vertexFloats;
    std::uint32_t indexCount;
    std::uint32_t bvhSize;
    std::uint32_t reserved;
};

// Reads the fields of a saved hierarchy from its bytes before anything is constructed on them.
// The saved form is Bullet's own object followed by its nodes and subtree headers; the member
// offsets come from Bullet's class itself, so they always match the library in use.
class SavedBvh : public btOptimizedBvh {
public:
    static bool valid(const std::uint8_t* data, std::size_t size, std::size_t triangleCount,
                      const btVector3& meshMin, const btVector3& meshMax);

private:
    template <typename T> static std::size_t offsetOf(T btQuantizedBvh::*member) {
        static const btOptimizedBvh probe;
        const auto* base = reinterpret_cast<const std::uint8_t*>(static_cast<const btQuantizedBvh*>(&probe));
        return static_cast<std::size_t>(reinterpret_cast<const std::uint8_t*>(&(probe.*member)) - base);
    }
    // Copies the raw bytes into U, which may differ from the member's type (bool and enum
    // members are read as bytes and ints: not every bit pattern is a valid bool or enum).
    template <typename U, typename T> static U field(const std::uint8_t* data, T btQuantizedBvh::*member) {
        static_assert(sizeof(U) <= sizeof(T));
        U value;
        std::memcpy(&value, data + offsetOf(member), sizeof(U));
        return value;
    }
};

bool finite(const btVector3& v) {
    return std::isfinite(v.x()) && std::isfinite(v.y()) && std::isfinite(v.z());
}

// Checks everything a walk of the tree relies on, so that loading it in place and walking it
// can neither read outside the buffer, loop, nor hand out a triangle the mesh does not have.
bool SavedBvh::valid(const std::uint8_t* data, std::size_t size, std::size_t triangleCount,
                     const btVector3& meshMin, const btVector3& meshMax) {
    if (size < sizeof(btQuantizedBvh))
        return false;
    if (field<int>(data, &SavedBvh::m_bulletVersion) != BT_BULLET_VERSION)
        return false;
    // Cooking always quantizes.
    if (field<std::uint8_t>(data, &SavedBvh::m_useQuantization) != 1)
        return false;
    static_assert(sizeof(btTraversalMode) == sizeof(int));
    const int mode = field<int>(data, &SavedBvh::m_traversalMode);
    if (mode < TRAVERSAL_STACKLESS || mode > TRAVERSAL_RECURSIVE)
        return false;

    const int nodeCount = field<int>(data, &SavedBvh::m_curNodeIndex);
    const int subtreeCount = field<int>(data, &SavedBvh::m_subtreeHeaderCount);
    if (nodeCount < 1 || subtreeCount < 0)
        return false;
    const std::uint64_t expected = sizeof(btQuantizedBvh) +
                                   std::uint64_t(nodeCount) * sizeof(btQuantizedBvhNode) +
                                   std::uint64_t(subtreeCount) * sizeof(btBvhSubtreeInfo);
    if (expected != size)
        return false;

    // Queries are clamped to the box and scaled by the quantization into 16 bits: both must be
    // what Bullet itself would have chosen, and the mesh must lie inside the box.
    const auto low = field<btVector3>(data, &SavedBvh::m_bvhAabbMin);
    const auto high = field<btVector3>(data, &SavedBvh::m_bvhAabbMax);
    const auto quantization = field<btVector3>(data, &SavedBvh::m_bvhQuantization);
    if (!finite(low) || !finite(high) || !finite(quantization))
        return false;
    for (int axis = 0; axis < 3; ++axis) {
        const float extent = high[axis] - low[axis];
        const float range = quantization[axis] * extent;
        if (!(extent > 0.0f) || !(quantization[axis] > 0.0f) || !(range > 65000.0f && range <= 65533.5f))
            return false;
        if (meshMin[axis] < low[axis] || meshMax[axis] > high[axis])
            return false;
    }

    // Every node's subtree must be exactly its two children's subtrees, every leaf a triangle
    // of the mesh, and every triangle in the tree once.
    std::vector<btQuantizedBvhNode> nodes(static_cast<std::size_t>(nodeCount));
    std::memcpy(nodes.data(), data + sizeof(btQuantizedBvh), nodes.size() * sizeof(btQuantizedBvhNode));
    auto span = [&](int index) -> std::int64_t {
        const int value = nodes[static_cast<std::size_t>(index)].m_escapeIndexOrTriangleIndex;
        return value >= 0 ? 1 : -std::int64_t(value);
    };
    if (span(0) != nodeCount)
        return false;
    std::vector<char> seen(triangleCount, 0);
    std::size_t leaves = 0;
    for (int i = 0; i < nodeCount; ++i) {
        const int value = nodes[static_cast<std::size_t>(i)].m_escapeIndexOrTriangleIndex;
        if (value >= 0) {
            const unsigned part = static_cast<unsigned>(value) >> (31 - MAX_NUM_PARTS_IN_BITS);
            const unsigned triangle =
                static_cast<unsigned>(value) & ((1u << (31 - MAX_NUM_PARTS_IN_BITS)) - 1);
            if (part != 0 || triangle >= triangleCount || seen[triangle])
                return false;
            seen[triangle] = 1;
            ++leaves;
            continue;
        }
        const std::int64_t own = span(i);
        if (own < 3 || i + own > nodeCount)
            return false;
        const std::int64_t left = span(i + 1);
        const std::int64_t right = i + 1 + left < nodeCount ? span(static_cast<int>(i + 1 + left)) : 0;
        if (right == 0 || 1 + left + right != own)
            return false;
    }
    if (leaves != triangleCount)
        return false;

    const std::uint8_t* headers = data + sizeof(btQuantizedBvh) + nodes.size() * sizeof(btQuantizedBvhNode);
    for (int h = 0; h < subtreeCount; ++h) {
        btBvhSubtreeInfo info;
        std::memcpy(static_cast<void*>(&info), headers + std::size_t(h) * sizeof(btBvhSubtreeInfo),
                    sizeof(btBvhSubtreeInfo));
        if (info.m_rootNodeIndex < 0 || info.m_rootNodeIndex >= nodeCount || info.m_subtreeSize < 1 ||
            info.m_subtreeSize > nodeCount - info.m_rootNodeIndex ||
            span(info.m_rootNodeIndex) != info.m_subtreeSize)
            return false;
    }
    return true;
}

} // namespace

namespace {

// The corners of the convex hull of the points, at most maxVertices of them, from the hull library.
bool buildHull(const std::vector<glm::vec3>& points, unsigned maxVertices, std::vector<glm::vec3>& corners) {
    std::vector<btVector3> input;
    input.reserve(points.size());
    for (const auto& p : points)
        input.emplace_back(p.x, p.y, p.z);
    HullDesc description(QF_TRIANGLES, static_cast<unsigned>(input.size()), input.data());
    description.mMaxVertices = std::max(4u, maxVertices);
    description.mMaxFaces = 4096;
    HullResult result;
    HullLibrary library;
    if (library.CreateConvexHull(description, result) != QE_OK || result.mNumOutputVertices < 4) {
        library.ReleaseResult(result);
        return false;
    }
    corners.clear();
    for (unsigned i = 0; i < result.mNumOutputVertices; ++i) {
        const btVector3& v = result.m_OutputVertices[i];
        corners.emplace_back(v.x(), v.y(), v.z());
    }
    library.ReleaseResult(result);
    return true;
}

// Bullet's hull computer copes with any finite input (flat, repeated or tiny points), which the
// hull library does not: it computes the hull first, and the hull library only ever reduces a
// proper hull to the vertex limit.
bool computeHull(const std::vector<glm::vec3>& points, btConvexHullComputer& computer) {
    if (points.size() < 4)
        return false;
    computer.compute(reinterpret_cast<const float*>(points.data()), static_cast<int>(sizeof(glm::vec3)),
                     static_cast<int>(points.size()), 0.0f, 0.0f);
    return computer.vertices.size() >= 4;
}

// Tetrahedra from the first corner to every face, each face a fan of triangles.
double enclosedVolume(const btConvexHullComputer& computer) {
    const btVector3 apex = computer.vertices[0];
    double volume = 0.0;
    for (int f = 0; f < computer.faces.size(); ++f) {
        const btConvexHullComputer::Edge* first = &computer.edges[computer.faces[f]];
        const btVector3 a = computer.vertices[first->getSourceVertex()] - apex;
        for (const btConvexHullComputer::Edge* edge = first->getNextEdgeOfFace();
             edge->getTargetVertex() != first->getSourceVertex(); edge = edge->getNextEdgeOfFace()) {
            const btVector3 b = computer.vertices[edge->getSourceVertex()] - apex;
            const btVector3 c = computer.vertices[edge->getTargetVertex()] - apex;
            volume += static_cast<double>(a.dot(b.cross(c)));
        }
    }
    return std::abs(volume) / 6.0;
}

} // namespace

std::vector<glm::vec3> reduceConvexHull(const std::vector<glm::vec3>& points, unsigned maxVertices) {
    std::vector<glm::vec3> finite;
    for (const auto& p : points)
        if (std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z))
            finite.push_back(p);
    const std::vector<glm::vec3> candidates = extremePoints(finite);
    btConvexHullComputer computer;
    if (!computeHull(candidates, computer))
        return {};
    std::vector<glm::vec3> corners;
    glm::vec3 low(INFINITY), high(-INFINITY);
    for (int i = 0; i < computer.vertices.size(); ++i) {
        const btVector3& v = computer.vertices[i];
        corners.emplace_back(v.x(), v.y(), v.z());
        low = glm::min(low, corners.back());
        high = glm::max(high, corners.back());
    }
    // Flat (or nearly so) point sets span no volume.
    const glm::vec3 size = high - low;
    const double box = double(size.x) * size.y * size.z;
    if (!(box > 0.0) || !(enclosedVolume(computer) > 1e-6 * box))
        return {};
    if (corners.size() <= std::max(4u, maxVertices))
        return corners;
    std::vector<glm::vec3> hull;
    if (!buildHull(corners, maxVertices, hull))
        return {};
    return hull;
}

std::vector<glm::vec3> shrinkHull(std::vector<glm::vec3> hull, float margin) {
    if (hull.empty())
        return hull;
    glm::vec3 centre(0.0f);
    for (const auto& p : hull)
        centre += p;
    centre /= static_cast<float>(hull.size());
    for (auto& p : hull) {
        const glm::vec3 offset = p - centre;
        const float length = glm::length(offset);
        if (length > 0.0f)
            p = centre + offset * std::max(0.0f, 1.0f - margin / length);
    }
    return hull;
}

std::vector<glm::vec3> cookConvexHull(const std::vector<glm::vec3>& points, unsigned maxVertices,
                                      float margin) {
    return shrinkHull(reduceConvexHull(points, maxVertices), margin);
}

float hullVolume(const std::vector<glm::vec3>& hull) {
    btConvexHullComputer computer;
    if (!computeHull(hull, computer))
        return 0.0f;
    const double volume = enclosedVolume(computer);
    return std::isfinite(volume) ? static_cast<float>(volume) : 0.0f;
}

std::vector<std::uint8_t> encodeHull(const std::vector<glm::vec3>& hull) {
    std::vector<std::uint8_t> out;
    const std::uint32_t count = static_cast<std::uint32_t>(hull.size());
    append(out, &count, 1);
    append(out, reinterpret_cast<const float*>(hull.data()), hull.size() * 3);
    return out;
}

std::optional<std::vector<glm::vec3>> decodeHull(const std::vector<std::uint8_t>& payload) {
    std::uint32_t count = 0;
    if (payload.size() < sizeof(count))
        return std::nullopt;
    std::memcpy(&count, payload.data(), sizeof(count));
    if (count < 4 || payload.size() != sizeof(count) + std::size_t(count) * 12)
        return std::nullopt;
    std::vector<glm::vec3> hull(count);
    std::memcpy(hull.data(), payload.data() + sizeof(count), std::size_t(count) * 12);
    for (const auto& p : hull)
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z))
            return std::nullopt;
    return hull;
}

std::vector<std::uint32_t> weldPositions(const std::vector<glm::vec3>& positions,
                                         std::vector<glm::vec3>& welded, float tolerance) {
    // A grid of cells one tolerance wide: a match can only sit in the 27 cells around a point,
    // which keeps welding linear for terrain-sized meshes. Among several matches the earliest
    // position wins, exactly as a linear search in output order would decide.
    // Cell coordinates are 64-bit and clamped far inside their range, so coordinates of any size
    // have a cell and its neighbours (beyond the clamp many points share a cell, which costs
    // time, never a wrong weld). Points that are not finite are never welded.
    using Cell = glm::i64vec3;
    struct CellHash {
        std::size_t operator()(const Cell& c) const {
            return static_cast<std::size_t>(c.x) * 73856093u ^ static_cast<std::size_t>(c.y) * 19349663u ^
                   static_cast<std::size_t>(c.z) * 83492791u;
        }
    };
    std::unordered_map<Cell, std::vector<std::uint32_t>, CellHash> grid;
    const double cellSize = tolerance > 0.0f ? tolerance : 1e-6;
    auto cellOf = [&](const glm::vec3& p) {
        constexpr double kLimit = 4.0e18;
        Cell cell;
        for (int i = 0; i < 3; ++i)
            cell[i] = static_cast<std::int64_t>(std::clamp(std::floor(p[i] / cellSize), -kLimit, kLimit));
        return cell;
    };

    std::vector<std::uint32_t> mapping;
    mapping.reserve(positions.size());
    for (const glm::vec3& p : positions) {
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) {
            mapping.push_back(static_cast<std::uint32_t>(welded.size()));
            welded.push_back(p);
            continue;
        }
        const Cell cell = cellOf(p);
        std::uint32_t best = UINT32_MAX;
        for (int dx = -1; dx <= 1; ++dx)
            for (int dy = -1; dy <= 1; ++dy)
                for (int dz = -1; dz <= 1; ++dz) {
                    auto it = grid.find(cell + Cell(dx, dy, dz));
                    if (it == grid.end())
                        continue;
                    for (std::uint32_t index : it->second)
                        if (index < best && glm::distance(welded[index], p) < tolerance)
                            best = index;
                }
        if (best == UINT32_MAX) {
            best = static_cast<std::uint32_t>(welded.size());
            welded.push_back(p);
            grid[cell].push_back(best);
        }
        mapping.push_back(best);
    }
    return mapping;
}

std::shared_ptr<CookedTriangleMesh> CookedTriangleMesh::cook(const std::vector<glm::vec3>& vertices,
                                                             const std::vector<std::uint32_t>& indices) {
    std::vector<glm::vec3> welded;
    const std::vector<std::uint32_t> mapping = weldPositions(vertices, welded, 0.001f);
    std::shared_ptr<CookedTriangleMesh> mesh(new CookedTriangleMesh());
    for (std::size_t t = 0; t + 2 < indices.size(); t += 3) {
        std::uint32_t tri[3];
        for (int k = 0; k < 3; ++k) {
            if (indices[t + k] >= mapping.size())
                return nullptr;
            tri[k] = mapping[indices[t + k]];
        }
        if (tri[0] == tri[1] || tri[1] == tri[2] || tri[0] == tri[2])
            continue;
        for (auto i : tri)
            mesh->indices_.push_back(static_cast<std::int32_t>(i));
    }
    if (mesh->indices_.empty())
        return nullptr;
    for (const auto& p : welded) {
        mesh->vertices_.push_back(p.x);
        mesh->vertices_.push_back(p.y);
        mesh->vertices_.push_back(p.z);
    }
    mesh->createInterface();
    mesh->shape_ = std::make_unique<btBvhTriangleMeshShape>(mesh->interface_.get(), true, true);
    mesh->triangleInfo_ = std::make_unique<btTriangleInfoMap>();
    btGenerateInternalEdgeInfo(mesh->shape_.get(), mesh->triangleInfo_.get());
    return mesh;
}

void CookedTriangleMesh::createInterface() {
    interface_ = std::make_unique<btTriangleIndexVertexArray>(
        static_cast<int>(indices_.size() / 3), indices_.data(), static_cast<int>(3 * sizeof(std::int32_t)),
        static_cast<int>(vertices_.size() / 3), vertices_.data(), static_cast<int>(3 * sizeof(float)));
}

std::vector<std::uint8_t> CookedTriangleMesh::payload() const {
    btOptimizedBvh* bvh = shape_->getOptimizedBvh();
    const unsigned bvhSize = bvh->calculateSerializeBufferSize();
    void* buffer = btAlignedAlloc(bvhSize, 16);
    // serializeInPlace writes a relocatable copy; the live hierarchy is left as it was.
    bvh->serializeInPlace(buffer, bvhSize, false);

    MeshHeader header{static_cast<std::uint32_t>(vertices_.size()),
                      static_cast<std::uint32_t>(indices_.size()), bvhSize, 0};
    std::vector<std::uint8_t> out;
    append(out, &header, 1);
    append(out, vertices_.data(), vertices_.size());
    append(out, indices_.data(), indices_.size());
    append(out, static_cast<const std::uint8_t*>(buffer), bvhSize);
    btAlignedFree(buffer);
    return out;
}

std::shared_ptr<CookedTriangleMesh>
CookedTriangleMesh::fromPayload(const std::vector<std::uint8_t>& payload) {
    MeshHeader header{};
    if (payload.size() < sizeof(header))
        return nullptr;
    std::memcpy(&header, payload.data(), sizeof(header));
    const std::size_t expected = sizeof(header) + std::size_t(header.vertexFloats) * 4 +
                                 std::size_t(header.indexCount) * 4 + header.bvhSize;
    if (header.vertexFloats == 0 || header.vertexFloats % 3 != 0 || header.indexCount == 0 ||
        header.indexCount % 3 != 0 || header.bvhSize == 0 || header.reserved != 0 ||
        payload.size() != expected)
        return nullptr;

    std::shared_ptr<CookedTriangleMesh> mesh(new CookedTriangleMesh());
    const std::uint8_t* cursor = payload.data() + sizeof(header);
    mesh->vertices_.resize(header.vertexFloats);
    std::memcpy(mesh->vertices_.data(), cursor, mesh->vertices_.size() * 4);
    cursor += mesh->vertices_.size() * 4;
    mesh->indices_.resize(header.indexCount);
    std::memcpy(mesh->indices_.data(), cursor, mesh->indices_.size() * 4);
    cursor += mesh->indices_.size() * 4;
    const std::int32_t vertexCount = static_cast<std::int32_t>(header.vertexFloats / 3);
    for (std::int32_t i : mesh->indices_)
        if (i < 0 || i >= vertexCount)
            return nullptr;
    for (float f : mesh->vertices_)
        if (!std::isfinite(f))
            return nullptr;

    mesh->createInterface();
    btVector3 aabbMin, aabbMax;
    mesh->interface_->calculateAabbBruteForce(aabbMin, aabbMax);
    if (!SavedBvh::valid(cursor, header.bvhSize, mesh->triangleCount(), aabbMin, aabbMax))
        return nullptr;

    mesh->bvhBuffer_ = btAlignedAlloc(header.bvhSize, 16);
    std::memcpy(mesh->bvhBuffer_, cursor, header.bvhSize);
    mesh->bvh_ = btOptimizedBvh::deSerializeInPlace(mesh->bvhBuffer_, header.bvhSize, false);
    if (!mesh->bvh_)
        return nullptr;

    mesh->shape_ =
        std::make_unique<btBvhTriangleMeshShape>(mesh->interface_.get(), true, aabbMin, aabbMax, false);
    mesh->shape_->setOptimizedBvh(mesh->bvh_);
    mesh->triangleInfo_ = std::make_unique<btTriangleInfoMap>();
    btGenerateInternalEdgeInfo(mesh->shape_.get(), mesh->triangleInfo_.get());
    return mesh;
}

CookedTriangleMesh::~CookedTriangleMesh() {
    shape_.reset();
    // The hierarchy lives inside the buffer and only needs its destructor run, and only once it
    // was constructed there: before that the buffer holds nothing but bytes from the file.
    if (bvh_)
        static_cast<btQuantizedBvh*>(bvh_)->~btQuantizedBvh(); // what Bullet constructed there

    if (bvhBuffer_)
        btAlignedFree(bvhBuffer_);
}

} // namespace hm
