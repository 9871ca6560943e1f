// Indexed triangle meshes on the GPU, and the sky cube.
//
// A mesh keeps CPU copies of its vertices and indices (the physics layer and picking read
// them) and uploads both on its first draw, so meshes can be built where there is no GPU (the
// headless level). Vertex layout: position, normal, tangent, bitangent (three floats each) and a
// texture coordinate, 56 bytes, at attribute locations 0 to 4. A second stream of per-vertex
// data (the bone ids and weights of skinned meshes) can be added before the first draw.
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

// Raw per-vertex data beside the vertices: one record of `stride` bytes per vertex, read by the
// listed attributes.
struct VertexStream {
    enum class Component { Float, Int };
    struct Attribute {
        unsigned location = 0;
        int count = 0; // 1 to 4 components
        Component component = Component::Float;
        std::size_t offset = 0;
    };
    std::vector<unsigned char> bytes;
    std::size_t stride = 0;
    std::vector<Attribute> attributes;
};

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
    // A sphere around every vertex, in the mesh's own units: the centre of their box and the
    // largest distance of a vertex from it (worked out once, the vertices never change).
    glm::vec3 boundCentre() const { return boundCentre_; }
    float boundRadius() const { return boundRadius_; }

    const std::vector<Vertex>& vertices() const { return vertices_; }
    const std::vector<std::uint32_t>& indices() const { return indices_; }
    // 0 until the first draw.
    GLName vertexArray() const { return vertexArray_.get(); }
    GLName extraBuffer() const { return extraBuffer_.get(); }
    bool uploaded() const { return static_cast<bool>(vertexArray_); }
    // Uploads now rather than on the first draw (needs the GL context).
    void ensureUploaded() const;

    // 1 for skinned meshes: tells the shaders to read bone ids and weights.
    std::uint8_t flag = 0;
    glm::mat4 localTransform{1.0f};

protected:
    // Adds a second stream of per-vertex data; it is uploaded with the vertices.
    void setExtraStream(VertexStream stream) { extra_ = std::move(stream); }
    // Uploads on the first call (needs the GL context); binds the vertex array.
    void bindVertexArray() const;

private:
    void upload() const;

    std::vector<Vertex> vertices_;
    std::vector<std::uint32_t> indices_;
    glm::vec3 boundCentre_{0.0f};
    float boundRadius_ = 0.0f;
    VertexStream extra_;
    // Filled by the first draw.
    mutable VertexArrayHandle vertexArray_;
    mutable BufferHandle vertexBuffer_;
    mutable BufferHandle indexBuffer_;
    mutable BufferHandle extraBuffer_;
};

// The cube with corners at +-1 drawn around the camera; the render device holds the one in use.
class Skybox : public Mesh {
public:
    void draw(int pass, bool setFlag) const override;

private:
    friend class RenderDevice;
    Skybox();
};

} // namespace hm
