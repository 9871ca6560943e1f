#include "render/File2DTexture.h"

#include "app/Log.h"
#include "render/RenderDevice.h"

namespace hm {
namespace {

bool usesMipmaps(GLenum minFilter) {
    return minFilter >= GL_NEAREST_MIPMAP_NEAREST && minFilter <= GL_LINEAR_MIPMAP_LINEAR;
}

} // namespace

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
    GLenum format = parameters().internalFormat;
    if (!file_->upload(GL_TEXTURE_2D, format)) {
        release();
        return false;
    }
    setUploadedFormat(format);
    if (usesMipmaps(parameters().minFilter) && RenderDevice::gpu())
        glGenerateMipmap(GL_TEXTURE_2D);
    setSize(file_->width(), file_->height());
    return true;
}

} // namespace hm
