// A 1x1 texture of one colour: the default texture of material slots.
#pragma once

#include "render/Texture.h"

#include <memory>

namespace hm {

class Solid2DTexture : public Texture {
public:
    // Nearest filtering, repeat on S and T, transparent black border, the given internal format
    // (0 stores GL_RGB8).
    static TextureParameters defaultParameters(GLenum internalFormat = 0);

    // colour: RGBA in 0..1; channels outside are clamped.
    Solid2DTexture(std::string name, const glm::vec4& colour,
                   const TextureParameters& parameters = defaultParameters());

    bool load() override;
    GLenum target() const override { return GL_TEXTURE_2D; }

    const glm::vec4& colour() const { return colour_; }

private:
    glm::vec4 colour_;
};

// A loaded solid texture named after its colour and format; null (after an error line) when it
// cannot be made.
std::shared_ptr<Texture> solidColourTexture(const glm::vec4& colour, GLenum internalFormat);

} // namespace hm
