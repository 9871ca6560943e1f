// Owning wrapper for one OpenGL object name.
//
// A handle deletes its object when it is destroyed or reset, and can only be moved, so every GL
// object has exactly one owner and no class keeps its own glDelete* bookkeeping. Handles must be
// destroyed while the context that created them is current (the window outlives every scene).
#pragma once

#include <GL/glew.h>

#include <utility>

namespace hm {

template <typename Deleter> class GLHandle {
public:
    GLHandle() = default;
    explicit GLHandle(GLuint name) : name_(name) {}
    ~GLHandle() { reset(); }

    GLHandle(GLHandle&& other) noexcept : name_(std::exchange(other.name_, 0)) {}
    GLHandle& operator=(GLHandle&& other) noexcept {
        if (this != &other)
            reset(std::exchange(other.name_, 0));
        return *this;
    }
    GLHandle(const GLHandle&) = delete;
    GLHandle& operator=(const GLHandle&) = delete;

    GLuint get() const { return name_; }
    explicit operator bool() const { return name_ != 0; }

    // Deletes the owned object (if any) and takes ownership of name.
    void reset(GLuint name = 0) {
        if (name_ != 0)
            Deleter{}(name_);
        name_ = name;
    }
    // Gives up ownership without deleting.
    GLuint release() { return std::exchange(name_, 0); }

private:
    GLuint name_ = 0;
};

namespace gl {
struct TextureDeleter {
    void operator()(GLuint name) const { glDeleteTextures(1, &name); }
};
struct BufferDeleter {
    void operator()(GLuint name) const { glDeleteBuffers(1, &name); }
};
struct VertexArrayDeleter {
    void operator()(GLuint name) const { glDeleteVertexArrays(1, &name); }
};
struct FramebufferDeleter {
    void operator()(GLuint name) const { glDeleteFramebuffers(1, &name); }
};
struct RenderbufferDeleter {
    void operator()(GLuint name) const { glDeleteRenderbuffers(1, &name); }
};
struct ShaderDeleter {
    void operator()(GLuint name) const { glDeleteShader(name); }
};
struct QueryDeleter {
    void operator()(GLuint name) const { glDeleteQueries(1, &name); }
};
struct ProgramDeleter {
    void operator()(GLuint name) const { glDeleteProgram(name); }
};
} // namespace gl

using TextureHandle = GLHandle<gl::TextureDeleter>;
using BufferHandle = GLHandle<gl::BufferDeleter>;
using VertexArrayHandle = GLHandle<gl::VertexArrayDeleter>;
using FramebufferHandle = GLHandle<gl::FramebufferDeleter>;
using RenderbufferHandle = GLHandle<gl::RenderbufferDeleter>;
using ShaderHandle = GLHandle<gl::ShaderDeleter>;
using ProgramHandle = GLHandle<gl::ProgramDeleter>;
using QueryHandle = GLHandle<gl::QueryDeleter>;

} // namespace hm
