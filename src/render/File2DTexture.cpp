#include "render/File2DTexture.h"

#include "app/Log.h"
#include "render/RenderDevice.h"
#include "render/TextureFile.h"

#include <GL/glew.h>

namespace hm {

File2DTexture::File2DTexture(std::string name, const TextureParameters& parameters,
                             std::shared_ptr<TextureFile> file)
    : Texture(std::move(name), TextureKind::File2D, parameters), file_(std::move(file)) {}

bool File2DTexture::load() {
    if (!file_)
        file_ = getTextureFile(name(), true);
    if (!createGLObject()) {
        spdlog::error("Failed to generate OpenGl-Texture...");
        return false;
    }
    TextureFormat format = parameters().internalFormat;
    if (!file_->upload(TextureTarget::Texture2D, format)) {
        release();
        return false;
    }
    setUploadedFormat(format);
    if (RenderDevice::gpu()) {
        if (file_->compressed()) {
            // Some drivers refuse to generate levels for compressed data: sample only the
            // levels the file brought, which keeps the texture complete with a mipmap filter.
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, file_->levels() - 1);
        } else if (usesMipmaps(parameters().minFilter)) {
            glGenerateMipmap(GL_TEXTURE_2D);
        }
    }
    setSize(file_->width(), file_->height());
    return true;
}

} // namespace hm
