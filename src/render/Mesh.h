// Indexed triangle meshes on the GPU, and the sky cube.
//
// A mesh keeps CPU copies of its vertices and indices (the physics layer and picking read
// them) and uploads both once. Vertex layout: position, normal, tangent, bitangent (three
// floats each) and a texture coordinate, 56 bytes, at attribute locations 0 to 4.
#pragma once

#include "render/GLHandle.h"

#include <glm/mat4x4.hpp>
#include <glm/vec2.hpp>
#include <glm/vec3.hpp>

#include <cstdint>
#include <memory>
#include <vector>

namespace hm {

struct Vertex {
    glm::vec3 position{0.0f};
    glm::vec3 normal{0.0f};
    glm::vec3 tangent{0.0f};
    glm::vec3 bitangent{0.0f};
    glm::vec2 texCoord{0.0f};
};
static_assert(sizeof(Vertex) == 56);

class Mesh {
public:
    Mesh(std::vector<Vertex> vertices, std::vector<std::uint32_t> indices);
    virtual ~Mesh() = default;
    Mesh(const Mesh&) = delete;
    Mesh& operator=(const Mesh&) = delete;

    // Draws the triangles; with setFlag the mesh flag goes to the bound program first.
    virtual void draw(int pass, bool setFlag) const;

    // Largest distance of a vertex from the mesh origin.
    float boundingRadius() const;
    // Edge lengths of the axis-aligned box around the vertices.
    glm::vec3 boundingBoxSize() const;

    const std::vector<Vertex>& vertices() const { return vertices_; }
    const std::vector<std::uint32_t>& indices() const { return indices_; }
    GLuint vertexArray() const { return vertexArray_.get(); }

    // 1 for skinned meshes: tells the shaders to read bone ids and weights.
    std::uint8_t flag = 0;
    glm::mat4 localTransform{1.0f};

private:
    std::vector<Vertex> vertices_;
    std::vector<std::uint32_t> indices_;
    VertexArrayHandle vertexArray_;
    BufferHandle vertexBuffer_;
    BufferHandle indexBuffer_;
};

// The cube with corners at +-1 drawn around the camera; one for the whole process.
class Skybox : public Mesh {
public:
    static std::shared_ptr<Skybox> shared();
    void draw(int pass, bool setFlag) const override;

private:
    Skybox();
};

} // namespace hm
