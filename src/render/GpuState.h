// Pipeline state and uniform uploads for the engine's drawing code outside the renderer (2D
// widgets, skinned meshes, particles, lens flare, text), so that only src/render speaks OpenGL.
// Every call needs the current GL context; uniforms go to the program in use.
#pragma once

#include <glm/mat4x4.hpp>
#include <glm/vec3.hpp>
#include <glm/vec4.hpp>

#include <cstddef>

namespace hm::gpu {

enum class Blend {
    Off,
    Alpha,    // source alpha over the destination
    Additive, // source alpha added to the destination
};
void setBlend(Blend mode);
void setDepthTest(bool enabled);
void setDepthWrite(bool enabled);
void setColourWrite(bool enabled);

void setUniform(int location, int value);
void setUniform(int location, float value);
void setUniform(int location, const glm::vec3& value);
void setUniform(int location, const glm::vec4& value);
void setUniform(int location, const glm::mat4& value);
// count matrices from `first` into the array uniform at location.
void setUniforms(int location, const glm::mat4* first, std::size_t count);

// A single-channel (red) texture of width x rows bytes, rows `pitch` bytes apart, clamped and
// linearly filtered: the coverage of one glyph. Returns its name (0 on failure).
unsigned createCoverageTexture(int width, int rows, int pitch, const unsigned char* pixels);
// Binds a 2D texture by name on a texture unit (0 unbinds).
void bindTexture2D(int unit, unsigned texture);
// Makes the program current (0: none).
void useProgram(unsigned program);

} // namespace hm::gpu
