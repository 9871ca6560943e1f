// Cooking of collision shapes that are expensive to build: convex hulls reduced to a vertex
// limit, and triangle meshes with their bounding-volume hierarchy. Both can be turned into a
// byte payload for the cooking cache and back. The vertex welding used here is shared with the
// importer's hull reader.
#pragma once

#include <glm/vec3.hpp>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class btTriangleIndexVertexArray;
class btBvhTriangleMeshShape;
class btTriangleInfoMap;
class btOptimizedBvh;

namespace hm {

// Merges positions closer than `tolerance` (keeping the first of them) and returns, for every
// input position, the index of the position it became in `welded`.
std::vector<std::uint32_t> weldPositions(const std::vector<glm::vec3>& positions,
                                         std::vector<glm::vec3>& welded, float tolerance = 0.001f);

// The corners of the convex hull of the points, at most maxVertices of them. Empty when the
// points span no volume.
std::vector<glm::vec3> reduceConvexHull(const std::vector<glm::vec3>& points, unsigned maxVertices);
// The corners pulled inwards by `margin` (Bullet keeps a collision margin around hulls; without
// the pull bodies hover above the surfaces they rest on).
std::vector<glm::vec3> shrinkHull(std::vector<glm::vec3> hull, float margin);
// Both of the above.
std::vector<glm::vec3> cookConvexHull(const std::vector<glm::vec3>& points, unsigned maxVertices,
                                      float margin);
// Volume enclosed by the convex hull of the corners; 0 when they span no volume.
float hullVolume(const std::vector<glm::vec3>& hull);

std::vector<std::uint8_t> encodeHull(const std::vector<glm::vec3>& hull);
std::optional<std::vector<glm::vec3>> decodeHull(const std::vector<std::uint8_t>& payload);

// A static triangle mesh ready for collision: welded vertices, triangles and the acceleration
// structure. Shared by every body that uses it; the Bullet shape points into this object.
class CookedTriangleMesh {
public:
    // Welds vertices closer than 0.001, drops degenerate triangles and builds the hierarchy.
    // Null when no triangle is left or an index is out of range.
    static std::shared_ptr<CookedTriangleMesh> cook(const std::vector<glm::vec3>& vertices,
                                                    const std::vector<std::uint32_t>& indices);
    // Null when the payload is inconsistent: every size, index and node of the saved hierarchy
    // is checked before the hierarchy is used.
    static std::shared_ptr<CookedTriangleMesh> fromPayload(const std::vector<std::uint8_t>& payload);

    ~CookedTriangleMesh();
    CookedTriangleMesh(const CookedTriangleMesh&) = delete;
    CookedTriangleMesh& operator=(const CookedTriangleMesh&) = delete;

    std::vector<std::uint8_t> payload() const;
    btBvhTriangleMeshShape& shape() { return *shape_; }
    btTriangleInfoMap& triangleInfo() { return *triangleInfo_; }
    std::size_t triangleCount() const { return indices_.size() / 3; }
    std::size_t vertexCount() const { return vertices_.size() / 3; }

private:
    CookedTriangleMesh() = default;
    void createInterface();

    std::vector<float> vertices_;
    std::vector<std::int32_t> indices_;
    std::unique_ptr<btTriangleIndexVertexArray> interface_;
    std::unique_ptr<btBvhTriangleMeshShape> shape_;
    std::unique_ptr<btTriangleInfoMap> triangleInfo_;
    void* bvhBuffer_ = nullptr;     // 16-byte aligned; holds the hierarchy loaded from a payload
    btOptimizedBvh* bvh_ = nullptr; // set once the hierarchy has been constructed in that buffer
};

} // namespace hm
