#include "render/Mesh.h"

#include "render/ShaderLocations.h"

#include <GL/glew.h>

#include <glm/geometric.hpp>

#include <algorithm>
#include <cstddef>

namespace hm {

Mesh::Mesh(std::vector<Vertex> vertices, std::vector<std::uint32_t> indices)
    : vertices_(std::move(vertices)), indices_(std::move(indices)) {
    if (vertices_.empty())
        return;
    glm::vec3 low = vertices_.front().position, high = low;
    for (const auto& v : vertices_) {
        low = glm::min(low, v.position);
        high = glm::max(high, v.position);
    }
    boundCentre_ = 0.5f * (low + high);
    for (const auto& v : vertices_)
        boundRadius_ = std::max(boundRadius_, glm::distance(boundCentre_, v.position));
}

void Mesh::upload() const {
    GLuint names[2] = {0, 0};
    GLuint vao = 0;
    glGenVertexArrays(1, &vao);
    glGenBuffers(2, names);
    vertexArray_.reset(vao);
    vertexBuffer_.reset(names[0]);
    indexBuffer_.reset(names[1]);

    glBindVertexArray(vao);
    glBindBuffer(GL_ARRAY_BUFFER, names[0]);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices_.size() * sizeof(Vertex)),
                 vertices_.data(), GL_STATIC_DRAW);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, names[1]);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(indices_.size() * sizeof(std::uint32_t)),
                 indices_.data(), GL_STATIC_DRAW);

    struct Attribute {
        GLuint location;
        GLint components;
        std::size_t offset;
    };
    constexpr Attribute attributes[] = {{0, 3, offsetof(Vertex, position)},
                                        {1, 3, offsetof(Vertex, normal)},
                                        {2, 3, offsetof(Vertex, tangent)},
                                        {3, 3, offsetof(Vertex, bitangent)},
                                        {4, 2, offsetof(Vertex, texCoord)}};
    for (const auto& a : attributes) {
        glEnableVertexAttribArray(a.location);
        glVertexAttribPointer(a.location, a.components, GL_FLOAT, GL_FALSE, sizeof(Vertex),
                              reinterpret_cast<const void*>(a.offset));
    }

    if (!extra_.attributes.empty() && extra_.stride > 0) {
        GLuint buffer = 0;
        glGenBuffers(1, &buffer);
        extraBuffer_.reset(buffer);
        glBindBuffer(GL_ARRAY_BUFFER, buffer);
        glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(extra_.bytes.size()), extra_.bytes.data(),
                     GL_STATIC_DRAW);
        const auto stride = static_cast<GLsizei>(extra_.stride);
        for (const auto& a : extra_.attributes) {
            glEnableVertexAttribArray(a.location);
            const auto* offset = reinterpret_cast<const void*>(a.offset);
            if (a.component == VertexStream::Component::Int)
                glVertexAttribIPointer(a.location, a.count, GL_INT, stride, offset);
            else
                glVertexAttribPointer(a.location, a.count, GL_FLOAT, GL_FALSE, stride, offset);
        }
    }
    glBindVertexArray(0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
}

void Mesh::ensureUploaded() const {
    if (!vertexArray_)
        upload();
}

void Mesh::bindVertexArray() const {
    ensureUploaded();
    glBindVertexArray(vertexArray_.get());
}

void Mesh::draw(int pass, bool setFlag) const {
    if (setFlag)
        glUniform1i(shader::kMeshFlag, flag);
    bindVertexArray();
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(indices_.size()), GL_UNSIGNED_INT, nullptr);
    glBindVertexArray(0);
}

float Mesh::boundingRadius() const {
    float radius = 0.0f;
    for (const auto& v : vertices_)
        radius = std::max(radius, glm::length(v.position));
    return radius;
}

glm::vec3 Mesh::boundingBoxSize() const {
    if (vertices_.empty())
        return glm::vec3(0.0f);
    glm::vec3 low = vertices_.front().position, high = low;
    for (const auto& v : vertices_) {
        low = glm::min(low, v.position);
        high = glm::max(high, v.position);
    }
    return high - low;
}

namespace {

std::vector<Vertex> cubeCorners() {
    std::vector<Vertex> corners;
    for (int i = 0; i < 8; ++i) {
        Vertex v;
        v.position = glm::vec3(i & 1 ? 1.0f : -1.0f, i & 2 ? 1.0f : -1.0f, i & 4 ? 1.0f : -1.0f);
        corners.push_back(v);
    }
    return corners;
}

// Wound so that the faces point inwards: seen from the centre they are front faces and survive
// back-face culling.
std::vector<std::uint32_t> cubeIndices() {
    return {0, 1, 3, 0, 3, 2,  // -z
            4, 6, 7, 4, 7, 5,  // +z
            0, 4, 5, 0, 5, 1,  // -y
            2, 3, 7, 2, 7, 6,  // +y
            0, 2, 6, 0, 6, 4,  // -x
            1, 5, 7, 1, 7, 3}; // +x
}

} // namespace

Skybox::Skybox() : Mesh(cubeCorners(), cubeIndices()) {}

void Skybox::draw(int pass, bool setFlag) const {
    bindVertexArray();
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(indices().size()), GL_UNSIGNED_INT, nullptr);
    glBindVertexArray(0);
}

} // namespace hm
