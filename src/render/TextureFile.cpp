#include "render/TextureFile.h"

#include "app/AssetLocations.h"
#include "app/Log.h"
#include "render/DdsReader.h"
#include "render/RenderDevice.h"
#include "render/TextureGL.h"

#include <stb/stb_image.h>

#include <algorithm>
#include <filesystem>
#include <map>

namespace hm {
namespace {

// Pixel rows of decoded images are tightly packed, while GL assumes rows padded to 4 bytes by
// default: without this a 3-pixel-wide RGB or single-channel image would be read skewed and past
// the end of its buffer. rowLength lets a sub-rectangle of a wider image be sent.
class TightUnpack {
public:
    explicit TightUnpack(GLint rowLength = 0) {
        glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment_);
        glGetIntegerv(GL_UNPACK_ROW_LENGTH, &rowLength_);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, rowLength);
    }
    ~TightUnpack() {
        glPixelStorei(GL_UNPACK_ALIGNMENT, alignment_);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, rowLength_);
    }
    TightUnpack(const TightUnpack&) = delete;
    TightUnpack& operator=(const TightUnpack&) = delete;

private:
    GLint alignment_ = 4;
    GLint rowLength_ = 0;
};

// The pixel layout of decoded images, by channel count.
GLenum pixelFormat(int channels) {
    switch (channels) {
    case 1:
        return GL_RED;
    case 2:
        return GL_RG;
    case 4:
        return GL_RGBA;
    default:
        return GL_RGB;
    }
}

TextureFormat formatForChannels(int channels) {
    switch (channels) {
    case 1:
        return TextureFormat::R8;
    case 2:
        return TextureFormat::RG8;
    case 4:
        return TextureFormat::RGBA8;
    default:
        return TextureFormat::RGB8;
    }
}

} // namespace

TextureFile::TextureFile(std::string name) : name_(std::move(name)) {}

std::string TextureFile::path() const {
    return kTexturesFolder + name_;
}

bool TextureFile::compressed() const {
    return format_ == TextureFormat::Dxt1 || format_ == TextureFormat::Dxt3 || format_ == TextureFormat::Dxt5;
}

bool TextureFile::load() {
    if (loaded())
        return true;
    const std::string fullPath = path();
    std::error_code ec;
    if (!std::filesystem::exists(fullPath, ec)) {
        spdlog::error("Can't load file of an invalid TextureFileObject.");
        return false;
    }

    if (std::filesystem::path(fullPath).extension() == ".dds") {
        auto image = readDdsFile(fullPath);
        if (!image) {
            spdlog::error("Error loading dds-file: {0}", fullPath);
            return false;
        }
        width_ = image->width;
        height_ = image->height;
        format_ = image->format;
        channels_ = 4;
        size_ = static_cast<std::int32_t>(image->levelSizes.front());
        levelSizes_ = std::move(image->levelSizes);
        data_ = std::move(image->data);
        return true;
    }

    int width = 0, height = 0, channels = 0;
    stbi_set_flip_vertically_on_load(0);
    stbi_uc* pixels = stbi_load(fullPath.c_str(), &width, &height, &channels, 0);
    if (!pixels) {
        spdlog::error("STB-Error loading file: {0}", fullPath);
        return false;
    }
    const std::size_t bytes = std::size_t(width) * std::size_t(height) * std::size_t(channels);
    data_.assign(pixels, pixels + bytes);
    stbi_image_free(pixels);
    width_ = width;
    height_ = height;
    channels_ = channels;
    format_ = formatForChannels(channels);
    size_ = -1;
    return true;
}

bool TextureFile::upload(TextureTarget target, TextureFormat& internalFormat, int cubeFace) {
    if (!loaded() && !load())
        return false;
    const GLenum imageTarget = target == TextureTarget::CubeMap
                                   ? GL_TEXTURE_CUBE_MAP_POSITIVE_X + static_cast<GLenum>(cubeFace)
                                   : GL_TEXTURE_2D;
    // Without a GPU the decoded file is all there is: the texture knows its size and format.
    const bool gpu = RenderDevice::gpu();
    if (compressed()) {
        internalFormat = format_;
        // The file's own mip levels; drivers may refuse to generate them for compressed data.
        std::size_t offset = 0;
        std::int32_t width = width_, height = height_;
        for (std::size_t level = 0; gpu && level < levelSizes_.size(); ++level) {
            glCompressedTexImage2D(imageTarget, static_cast<GLint>(level), gl::internalFormat(format_), width,
                                   height, 0, static_cast<GLsizei>(levelSizes_[level]),
                                   data_.data() + offset);
            offset += levelSizes_[level];
            width = std::max(width / 2, 1);
            height = std::max(height / 2, 1);
        }
        return true;
    }
    if (internalFormat == TextureFormat::Auto)
        internalFormat = format_;
    if (!gpu)
        return true;
    TightUnpack unpack;
    glTexImage2D(imageTarget, 0, static_cast<GLint>(gl::internalFormat(internalFormat)), width_, height_, 0,
                 pixelFormat(channels_), GL_UNSIGNED_BYTE, data_.data());
    return true;
}

bool TextureFile::uploadRegion(std::int32_t width, std::int32_t height) {
    if (!loaded() || compressed())
        return false;
    if (!RenderDevice::gpu())
        return true;
    TightUnpack unpack(width_);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, std::min(width, width_), std::min(height, height_),
                    pixelFormat(channels_), GL_UNSIGNED_BYTE, data_.data());
    return true;
}

std::shared_ptr<TextureFile> getTextureFile(const std::string& location, bool deferLoad) {
    static std::map<std::string, std::shared_ptr<TextureFile>> cache;
    const std::string name = toForwardSlashes(location);
    auto& file = cache[name];
    if (!file)
        file = std::make_shared<TextureFile>(name);
    if (!deferLoad && !file->load())
        return nullptr;
    return file;
}

} // namespace hm
