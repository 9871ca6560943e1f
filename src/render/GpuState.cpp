#include "render/GpuState.h"

#include <GL/glew.h>
#include <glm/gtc/type_ptr.hpp>

namespace hm::gpu {

void setBlend(Blend mode) {
    switch (mode) {
    case Blend::Off:
        glDisable(GL_BLEND);
        break;
    case Blend::Alpha:
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        break;
    case Blend::Additive:
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE);
        break;
    }
}

void setDepthTest(bool enabled) {
    if (enabled)
        glEnable(GL_DEPTH_TEST);
    else
        glDisable(GL_DEPTH_TEST);
}

void setDepthWrite(bool enabled) {
    glDepthMask(enabled ? GL_TRUE : GL_FALSE);
}

void setColourWrite(bool enabled) {
    const GLboolean on = enabled ? GL_TRUE : GL_FALSE;
    glColorMask(on, on, on, on);
}

void setUniform(int location, int value) {
    glUniform1i(location, value);
}

void setUniform(int location, float value) {
    glUniform1f(location, value);
}

void setUniform(int location, const glm::vec3& value) {
    glUniform3fv(location, 1, glm::value_ptr(value));
}

void setUniform(int location, const glm::vec4& value) {
    glUniform4fv(location, 1, glm::value_ptr(value));
}

void setUniform(int location, const glm::mat4& value) {
    glUniformMatrix4fv(location, 1, GL_FALSE, glm::value_ptr(value));
}

void setUniforms(int location, const glm::mat4* first, std::size_t count) {
    if (count == 0)
        return;
    glUniformMatrix4fv(location, static_cast<GLsizei>(count), GL_FALSE, glm::value_ptr(*first));
}

unsigned createCoverageTexture(int width, int rows, int pitch, const unsigned char* pixels) {
    GLuint texture = 0;
    glGenTextures(1, &texture);
    if (texture == 0)
        return 0;
    GLint alignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glBindTexture(GL_TEXTURE_2D, texture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, pitch);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RED, width, rows, 0, GL_RED, GL_UNSIGNED_BYTE, pixels);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glBindTexture(GL_TEXTURE_2D, 0);
    return texture;
}

void bindTexture2D(int unit, unsigned texture) {
    glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(unit));
    glBindTexture(GL_TEXTURE_2D, texture);
}

void useProgram(unsigned program) {
    glUseProgram(program);
}

} // namespace hm::gpu
