#include "render/GLHandle.h"

#include <GL/glew.h>

#include <type_traits>

namespace hm {

static_assert(std::is_same_v<GLName, GLuint>, "GL object names are held as GLuint");

namespace gl {

void TextureDeleter::operator()(GLName name) const {
    glDeleteTextures(1, &name);
}
void BufferDeleter::operator()(GLName name) const {
    glDeleteBuffers(1, &name);
}
void VertexArrayDeleter::operator()(GLName name) const {
    glDeleteVertexArrays(1, &name);
}
void FramebufferDeleter::operator()(GLName name) const {
    glDeleteFramebuffers(1, &name);
}
void RenderbufferDeleter::operator()(GLName name) const {
    glDeleteRenderbuffers(1, &name);
}
void ShaderDeleter::operator()(GLName name) const {
    glDeleteShader(name);
}
void QueryDeleter::operator()(GLName name) const {
    glDeleteQueries(1, &name);
}
void ProgramDeleter::operator()(GLName name) const {
    glDeleteProgram(name);
}

} // namespace gl
} // namespace hm
