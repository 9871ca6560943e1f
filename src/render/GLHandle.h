// Owning wrapper for one OpenGL object name.
//
// A handle deletes its object when it is destroyed or reset, and can only be moved, so every GL
// object has exactly one owner and no class keeps its own glDelete* bookkeeping. Handles must be
// destroyed while the context that created them is current (the window outlives every scene).
//
// The header does without the OpenGL headers, so that classes outside the renderer (fonts,
// rigged meshes, particle systems) can hold handles without seeing OpenGL: names are plain
// unsigned integers (GLHandle.cpp checks that this is GLName) and the deleters live there too.
#pragma once

#include <utility>

namespace hm {

using GLName = unsigned int;

template <typename Deleter> class GLHandle {
public:
    GLHandle() = default;
    explicit GLHandle(GLName name) : name_(name) {}
    ~GLHandle() { reset(); }

    GLHandle(GLHandle&& other) noexcept : name_(std::exchange(other.name_, 0)) {}
    GLHandle& operator=(GLHandle&& other) noexcept {
        if (this != &other)
            reset(std::exchange(other.name_, 0));
        return *this;
    }
    GLHandle(const GLHandle&) = delete;
    GLHandle& operator=(const GLHandle&) = delete;

    GLName get() const { return name_; }
    explicit operator bool() const { return name_ != 0; }

    // Deletes the owned object (if any) and takes ownership of name.
    void reset(GLName name = 0) {
        if (name_ != 0)
            Deleter{}(name_);
        name_ = name;
    }
    // Gives up ownership without deleting.
    GLName release() { return std::exchange(name_, 0); }

private:
    GLName name_ = 0;
};

namespace gl {
struct TextureDeleter {
    void operator()(GLName name) const;
};
struct BufferDeleter {
    void operator()(GLName name) const;
};
struct VertexArrayDeleter {
    void operator()(GLName name) const;
};
struct FramebufferDeleter {
    void operator()(GLName name) const;
};
struct RenderbufferDeleter {
    void operator()(GLName name) const;
};
struct ShaderDeleter {
    void operator()(GLName name) const;
};
struct QueryDeleter {
    void operator()(GLName name) const;
};
struct ProgramDeleter {
    void operator()(GLName name) const;
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
