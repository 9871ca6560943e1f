// A 2D texture from one image file (see TextureFile for the formats).
#pragma once

#include "render/Texture.h"

#include <memory>

namespace hm {

class TextureFile;

class File2DTexture : public Texture {
public:
    // name: file path relative to the textures folder. Without a file, load() takes the cached
    // one of that name.
    File2DTexture(std::string name, const TextureParameters& parameters,
                  std::shared_ptr<TextureFile> file = nullptr);

    // Uploads the file and builds the mipmap chain when the min filter samples mipmaps.
    bool load() override;
    TextureTarget target() const override { return TextureTarget::Texture2D; }

    const std::shared_ptr<TextureFile>& file() const { return file_; }

private:
    std::shared_ptr<TextureFile> file_;
};

} // namespace hm
