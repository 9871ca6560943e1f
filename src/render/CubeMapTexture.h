// A cube map from a folder of six images. A file belongs to a face by the first four characters
// of its name: posx, negx, posy, negy, posz, negz (posx_day.png works). When several files
// name the same face, the first one the folder listing yields is used.
#pragma once

#include "render/Texture.h"

namespace hm {

class CubeMapTexture : public Texture {
public:
    // Linear filtering, clamp to edge on S, T and R, RGB8 storage.
    static TextureParameters defaultParameters(const glm::vec4& borderColour = glm::vec4(0.0f));

    // name: folder relative to the textures folder.
    CubeMapTexture(std::string name, const TextureParameters& parameters = defaultParameters());

    // Fails without creating a GL texture when a face is missing, and deletes the texture again
    // when a face cannot be uploaded.
    bool load() override;
    TextureTarget target() const override { return TextureTarget::CubeMap; }
};

} // namespace hm
