#include "render/StreamedGeometry.h"

#include <GL/glew.h>

#include <algorithm>

namespace hm {

StreamedGeometry::StreamedGeometry(std::vector<Buffer> buffers) : layout_(std::move(buffers)) {
    for (const Buffer& buffer : layout_)
        instanced_ = instanced_ || buffer.perInstance;
}

void StreamedGeometry::create() {
    GLuint vao = 0;
    glGenVertexArrays(1, &vao);
    vertexArray_.reset(vao);
    glBindVertexArray(vao);
    for (const Buffer& layout : layout_) {
        GLuint name = 0;
        glGenBuffers(1, &name);
        buffers_.emplace_back(name);
        sizes_.push_back(layout.initial.empty() ? layout.capacity : layout.initial.size());
        glBindBuffer(GL_ARRAY_BUFFER, name);
        if (layout.initial.empty())
            glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(layout.capacity), nullptr, GL_DYNAMIC_DRAW);
        else
            glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(layout.initial.size()),
                         layout.initial.data(), GL_STATIC_DRAW);
        for (const Attribute& a : layout.attributes) {
            glEnableVertexAttribArray(a.location);
            glVertexAttribPointer(a.location, a.count, GL_FLOAT, GL_FALSE,
                                  static_cast<GLsizei>(layout.stride),
                                  reinterpret_cast<const void*>(a.offset));
            if (layout.perInstance)
                glVertexAttribDivisor(a.location, 1);
        }
    }
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindVertexArray(0);
}

void StreamedGeometry::write(std::size_t index, const void* data, std::size_t bytes) {
    if (index >= layout_.size() || bytes == 0)
        return;
    if (!vertexArray_)
        create();
    glBindBuffer(GL_ARRAY_BUFFER, buffers_[index].get());
    glBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(std::min(bytes, sizes_[index])), data);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
}

void StreamedGeometry::replace(std::size_t index, const void* data, std::size_t bytes) {
    if (index >= layout_.size())
        return;
    if (!vertexArray_)
        create();
    glBindBuffer(GL_ARRAY_BUFFER, buffers_[index].get());
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(bytes), data, GL_STREAM_DRAW);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    sizes_[index] = bytes;
}

void StreamedGeometry::drawTriangles(int vertexCount, int instanceCount, int firstVertex) {
    if (vertexCount <= 0 || instanceCount <= 0 || firstVertex < 0)
        return;
    if (!vertexArray_)
        create();
    glBindVertexArray(vertexArray_.get());
    if (instanced_ || instanceCount > 1)
        glDrawArraysInstanced(GL_TRIANGLES, firstVertex, vertexCount, instanceCount);
    else
        glDrawArrays(GL_TRIANGLES, firstVertex, vertexCount);
    glBindVertexArray(0);
}

} // namespace hm
