#include "render/Primitives.h"

#include <glm/geometric.hpp>

#include <cmath>

namespace hm {

namespace {

void addQuad(std::vector<Vertex>& vertices, std::vector<std::uint32_t>& indices, const glm::vec3& centre,
             const glm::vec3& u, const glm::vec3& v, const glm::vec2& uvScale) {
    const glm::vec3 normal = glm::normalize(glm::cross(u, v));
    const auto base = static_cast<std::uint32_t>(vertices.size());
    const glm::vec2 corners[4] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    for (const auto& c : corners) {
        Vertex vertex;
        vertex.position = centre + (c.x - 0.5f) * u + (c.y - 0.5f) * v;
        vertex.normal = normal;
        vertex.tangent = glm::normalize(u);
        vertex.bitangent = -glm::normalize(v); // towards increasing v, as the importer delivers it
        // Image rows run downwards: v = 0 at the top edge of the face.
        vertex.texCoord = glm::vec2(c.x, 1.0f - c.y) * uvScale;
        vertices.push_back(vertex);
    }
    indices.insert(indices.end(), {base, base + 1, base + 2, base, base + 2, base + 3});
}

} // namespace

std::shared_ptr<Mesh> makeBoxMesh(const glm::vec3& size) {
    std::vector<Vertex> vertices;
    std::vector<std::uint32_t> indices;
    const glm::vec3 h = size * 0.5f;
    const glm::vec2 one(1.0f);
    addQuad(vertices, indices, {0, 0, h.z}, {size.x, 0, 0}, {0, size.y, 0}, one);   // +z
    addQuad(vertices, indices, {0, 0, -h.z}, {-size.x, 0, 0}, {0, size.y, 0}, one); // -z
    addQuad(vertices, indices, {h.x, 0, 0}, {0, 0, -size.z}, {0, size.y, 0}, one);  // +x
    addQuad(vertices, indices, {-h.x, 0, 0}, {0, 0, size.z}, {0, size.y, 0}, one);  // -x
    addQuad(vertices, indices, {0, h.y, 0}, {size.x, 0, 0}, {0, 0, -size.z}, one);  // +y
    addQuad(vertices, indices, {0, -h.y, 0}, {size.x, 0, 0}, {0, 0, size.z}, one);  // -y
    return std::make_shared<Mesh>(std::move(vertices), std::move(indices));
}

std::shared_ptr<Mesh> makeSphereMesh(float radius, int segments, int rings) {
    segments = std::max(3, segments);
    rings = std::max(2, rings);
    std::vector<Vertex> vertices;
    std::vector<std::uint32_t> indices;
    const float pi = 3.14159265f;
    for (int r = 0; r <= rings; ++r) {
        const float theta = pi * static_cast<float>(r) / rings; // from +y down
        for (int s = 0; s <= segments; ++s) {
            const float phi = 2.0f * pi * static_cast<float>(s) / segments;
            Vertex v;
            v.normal =
                glm::vec3(std::sin(theta) * std::cos(phi), std::cos(theta), -std::sin(theta) * std::sin(phi));
            v.position = v.normal * radius;
            v.tangent = glm::vec3(-std::sin(phi), 0.0f, -std::cos(phi));
            v.bitangent = -glm::cross(v.normal, v.tangent); // towards increasing v (downwards)
            v.texCoord = glm::vec2(static_cast<float>(s) / segments, static_cast<float>(r) / rings);
            vertices.push_back(v);
        }
    }
    const auto row = static_cast<std::uint32_t>(segments + 1);
    for (int r = 0; r < rings; ++r)
        for (int s = 0; s < segments; ++s) {
            const std::uint32_t a = static_cast<std::uint32_t>(r) * row + static_cast<std::uint32_t>(s);
            const std::uint32_t b = a + row;
            indices.insert(indices.end(), {a, b, a + 1, a + 1, b, b + 1});
        }
    return std::make_shared<Mesh>(std::move(vertices), std::move(indices));
}

std::shared_ptr<Mesh> makePlaneMesh(float size, float tiles) {
    std::vector<Vertex> vertices;
    std::vector<std::uint32_t> indices;
    addQuad(vertices, indices, {0, 0, 0}, {size, 0, 0}, {0, 0, -size}, glm::vec2(tiles));
    return std::make_shared<Mesh>(std::move(vertices), std::move(indices));
}

} // namespace hm
