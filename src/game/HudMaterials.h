// Canvas materials of the game's 2D pictures, created once by name and shared afterwards.
#pragma once

#include <glm/vec4.hpp>

#include <memory>
#include <string>

namespace hm {

class CanvasMaterial;

// A picture below the textures folder (RGBA8, linear filtering with mipmaps, clamped edges).
std::shared_ptr<CanvasMaterial> pictureMaterial(const std::string& name, const std::string& file);
// A one-texel colour, for veils.
std::shared_ptr<CanvasMaterial> colourMaterial(const std::string& name, const glm::vec4& colour);

} // namespace hm
