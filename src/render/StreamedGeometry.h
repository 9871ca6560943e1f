// Geometry whose vertex or instance data the CPU rewrites between draws: glyph quads of text,
// particle instances. It holds one vertex array with a few buffers; each buffer has its own
// layout and advances per vertex or per instance. The GL objects are made on the first write or
// draw, so the geometry can be built where there is no GPU.
#pragma once

#include "render/GLHandle.h"

#include <cstddef>
#include <vector>

namespace hm {

class StreamedGeometry {
public:
    struct Attribute {
        unsigned location = 0;
        int count = 0; // float components, 1 to 4
        std::size_t offset = 0;
    };
    struct Buffer {
        std::size_t stride = 0;
        std::vector<Attribute> attributes;
        bool perInstance = false;
        // Contents at creation; when empty, `capacity` bytes of undefined contents.
        std::vector<unsigned char> initial;
        std::size_t capacity = 0;
    };

    explicit StreamedGeometry(std::vector<Buffer> buffers);

    // Rewrites the first `bytes` of buffer `index`; more than its size is cut to the size.
    void write(std::size_t index, const void* data, std::size_t bytes);
    // Gives buffer `index` new storage of exactly `bytes` holding data (a whole line of text).
    void replace(std::size_t index, const void* data, std::size_t bytes);
    // Draws vertexCount vertices from firstVertex on as triangles, instanceCount times
    // (instanced when above 1 or when a buffer advances per instance).
    void drawTriangles(int vertexCount, int instanceCount = 1, int firstVertex = 0);

    bool created() const { return static_cast<bool>(vertexArray_); }

private:
    void create();

    std::vector<Buffer> layout_;
    VertexArrayHandle vertexArray_;
    std::vector<BufferHandle> buffers_;
    std::vector<std::size_t> sizes_;
    bool instanced_ = false;
};

} // namespace hm
