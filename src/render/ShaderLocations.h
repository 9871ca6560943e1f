// The fixed inputs every shader of the game declares with explicit layout qualifiers. Code sets
// uniforms by these locations and never asks GL for a uniform by name.
#pragma once

#include <GL/glew.h>

namespace hm::shader {

inline constexpr GLint kModelMatrix = 0;         // mat4: model matrix, or the 2D transform of a 2D node
inline constexpr GLint kTextColour = 0;          // vec3: text colour (text program only)
inline constexpr GLint kShadowCascade = 1;       // int: cascade being rendered (shadow pass only)
inline constexpr GLint kMeshFlag = 2;            // int used as bool: flag of the mesh draw call
inline constexpr GLint kBoneMatrices = 3;        // mat4[]: bone matrices of a skinned mesh
inline constexpr GLint kSkyboxMatrix = 4;        // mat4: skybox view-projection
inline constexpr GLint kBrightness = 6;          // vec4: factor of the full-screen brightness pass
inline constexpr GLint kMaterialParameter = 100; // vec3 or float: solid colour or canvas opacity
inline constexpr GLint kButtonColour = 101;      // vec4: colour factor of a button

inline constexpr GLuint kSceneBlockBinding = 0; // std140 block: camera, sun, cascades, lights

inline constexpr GLint kFirstMaterialTextureUnit = 0; // material slot n samples unit n, n in 0..4
inline constexpr GLint kMaterialTextureUnits = 5;
inline constexpr GLint kFirstShadowCascadeUnit = 13; // cascades 0..2 on units 13..15

} // namespace hm::shader
