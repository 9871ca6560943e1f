#include "physics/Cooking.h"

#include "import/ImportMath.h"

#include <BulletCollision/CollisionDispatch/btInternalEdgeUtility.h>
#include <BulletCollision/CollisionShapes/btOptimizedBvh.h>
#include <LinearMath/btConvexHull.h>
#include <btBulletCollisionCommon.h>

#include <glm/geometric.hpp>

#include <algorithm>
#include <cmath>
#include <cstring>

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

} // namespace

std::vector<glm::vec3> cookConvexHull(const std::vector<glm::vec3>& points, unsigned maxVertices,
                                      float margin) {
    std::vector<glm::vec3> finite;
    for (const auto& p : points)
        if (std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z))
            finite.push_back(p);
    const std::vector<glm::vec3> candidates = extremePoints(finite);
    if (candidates.size() < 4)
        return {};

    std::vector<btVector3> input;
    input.reserve(candidates.size());
    for (const auto& p : candidates)
        input.emplace_back(p.x, p.y, p.z);
    HullDesc description(QF_TRIANGLES, static_cast<unsigned>(input.size()), input.data());
    description.mMaxVertices = std::max(4u, maxVertices);
    description.mMaxFaces = 4096;
    HullResult result;
    HullLibrary library;
    if (library.CreateConvexHull(description, result) != QE_OK || result.mNumOutputVertices < 4) {
        library.ReleaseResult(result);
        return {};
    }
    std::vector<glm::vec3> hull;
    glm::vec3 centre(0.0f);
    for (unsigned i = 0; i < result.mNumOutputVertices; ++i) {
        const btVector3& v = result.m_OutputVertices[i];
        hull.emplace_back(v.x(), v.y(), v.z());
        centre += hull.back();
    }
    library.ReleaseResult(result);
    centre /= static_cast<float>(hull.size());
    for (auto& p : hull) {
        const glm::vec3 offset = p - centre;
        const float length = glm::length(offset);
        if (length > 0.0f)
            p = centre + offset * std::max(0.0f, 1.0f - margin / length);
    }
    return hull;
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
        header.indexCount % 3 != 0 || header.bvhSize == 0 || payload.size() != expected)
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

    mesh->bvhBuffer_ = btAlignedAlloc(header.bvhSize, 16);
    mesh->bvhSize_ = header.bvhSize;
    std::memcpy(mesh->bvhBuffer_, cursor, header.bvhSize);
    btOptimizedBvh* bvh = btOptimizedBvh::deSerializeInPlace(mesh->bvhBuffer_, header.bvhSize, false);
    if (!bvh)
        return nullptr;

    mesh->createInterface();
    btVector3 aabbMin, aabbMax;
    mesh->interface_->calculateAabbBruteForce(aabbMin, aabbMax);
    mesh->shape_ =
        std::make_unique<btBvhTriangleMeshShape>(mesh->interface_.get(), true, aabbMin, aabbMax, false);
    mesh->shape_->setOptimizedBvh(bvh);
    mesh->triangleInfo_ = std::make_unique<btTriangleInfoMap>();
    btGenerateInternalEdgeInfo(mesh->shape_.get(), mesh->triangleInfo_.get());
    return mesh;
}

CookedTriangleMesh::~CookedTriangleMesh() {
    shape_.reset();
    if (bvhBuffer_) {
        // The hierarchy lives inside the buffer; it only needs its destructor run.
        static_cast<btQuantizedBvh*>(bvhBuffer_)->~btQuantizedBvh();
        btAlignedFree(bvhBuffer_);
    }
}

} // namespace hm
