// A 1x1 texture of one colour: the default texture of material slots.
#pragma once

#include "render/Texture.h"

#include <memory>

namespace hm {

class Solid2DTexture : public Texture {
public:
    // Nearest filtering, repeat on S and T, transparent black border, the given internal format
    // (Auto stores RGB8).
    static TextureParameters defaultParameters(TextureFormat internalFormat = TextureFormat::Auto);

    // colour: RGBA in 0..1; channels outside are clamped.
    Solid2DTexture(std::string name, const glm::vec4& colour,
                   const TextureParameters& parameters = defaultParameters());

    bool load() override;
    TextureTarget target() const override { return TextureTarget::Texture2D; }

    const glm::vec4& colour() const { return colour_; }

private:
    glm::vec4 colour_;
};

// A loaded solid texture named after its colour and format; null (after an error line) when it
// cannot be made.
std::shared_ptr<Texture> solidColourTexture(const glm::vec4& colour, TextureFormat internalFormat);

} // namespace hm
