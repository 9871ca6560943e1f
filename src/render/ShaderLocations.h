// The fixed inputs every shader of the game declares with explicit layout qualifiers. Code sets
// uniforms by these locations and never asks GL for a uniform by name.
#pragma once

#include <cstdint>

namespace hm::shader {

using UniformLocation = std::int32_t; // a uniform's `layout(location = N)`
using BlockBinding = std::uint32_t;   // a uniform block's `layout(binding = N)`
using TextureUnit = std::int32_t;     // a sampler's texture unit

inline constexpr UniformLocation kModelMatrix = 0;   // mat4: model matrix, or the 2D transform of a 2D node
inline constexpr UniformLocation kTextColour = 0;    // vec3: text colour (text program only)
inline constexpr UniformLocation kShadowCascade = 1; // int: cascade being rendered (shadow pass only)
inline constexpr UniformLocation kMeshFlag = 2;      // int used as bool: flag of the mesh draw call
inline constexpr UniformLocation kBoneMatrices = 3;  // mat4[]: bone matrices of a skinned mesh
inline constexpr UniformLocation kSkyboxMatrix = 4;  // mat4: skybox view-projection
inline constexpr UniformLocation kBrightness = 6;    // vec4: factor of the full-screen brightness pass
inline constexpr UniformLocation kMaterialParameter = 100; // vec3 or float: solid colour or canvas opacity
inline constexpr UniformLocation kButtonColour = 101;      // vec4: colour factor of a button

inline constexpr BlockBinding kSceneBlockBinding = 0; // std140 block: camera, sun, cascades, lights

inline constexpr TextureUnit kFirstMaterialTextureUnit = 0; // material slot n samples unit n, n in 0..4
inline constexpr TextureUnit kMaterialTextureUnits = 5;
inline constexpr TextureUnit kFirstShadowCascadeUnit = 13; // cascades 0..2 on units 13..15

} // namespace hm::shader
