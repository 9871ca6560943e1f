#include "render/Texture.h"

#include "app/Log.h"
#include "render/RenderDevice.h"

#include <glm/gtc/type_ptr.hpp>

#include <array>
#include <utility>

namespace hm {

static_assert(TextureFilter::Nearest == GL_NEAREST && TextureFilter::Linear == GL_LINEAR &&
              TextureFilter::NearestMipmapNearest == GL_NEAREST_MIPMAP_NEAREST &&
              TextureFilter::LinearMipmapNearest == GL_LINEAR_MIPMAP_NEAREST &&
              TextureFilter::NearestMipmapLinear == GL_NEAREST_MIPMAP_LINEAR &&
              TextureFilter::LinearMipmapLinear == GL_LINEAR_MIPMAP_LINEAR);
static_assert(TextureWrap::Repeat == GL_REPEAT && TextureWrap::MirroredRepeat == GL_MIRRORED_REPEAT &&
              TextureWrap::ClampToEdge == GL_CLAMP_TO_EDGE &&
              TextureWrap::ClampToBorder == GL_CLAMP_TO_BORDER &&
              TextureWrap::MirrorClampToEdge == GL_MIRROR_CLAMP_TO_EDGE);
static_assert(TextureFormat::R8 == GL_R8 && TextureFormat::RG8 == GL_RG8 && TextureFormat::RGB8 == GL_RGB8 &&
              TextureFormat::RGBA8 == GL_RGBA8 && TextureFormat::SRGB8 == GL_SRGB8 &&
              TextureFormat::SRGB8Alpha8 == GL_SRGB8_ALPHA8);

std::optional<GLenum> textureParameterFromName(std::string_view name) {
    static constexpr std::array<std::pair<std::string_view, GLenum>, 14> kVocabulary{{
        {"GL_LINEAR", GL_LINEAR},
        {"GL_NEAREST", GL_NEAREST},
        {"GL_LINEAR_MIPMAP_LINEAR", GL_LINEAR_MIPMAP_LINEAR},
        {"GL_LINEAR_MIPMAP_NEAREST", GL_LINEAR_MIPMAP_NEAREST},
        {"GL_NEAREST_MIPMAP_LINEAR", GL_NEAREST_MIPMAP_LINEAR},
        {"GL_NEAREST_MIPMAP_NEAREST", GL_NEAREST_MIPMAP_NEAREST},
        {"GL_REPEAT", GL_REPEAT},
        {"GL_MIRRORED_REPEAT", GL_MIRRORED_REPEAT},
        {"GL_CLAMP_TO_EDGE", GL_CLAMP_TO_EDGE},
        {"GL_CLAMP_TO_BORDER", GL_CLAMP_TO_BORDER},
        {"GL_R8", GL_R8},
        {"GL_RG8", GL_RG8},
        {"GL_RGB8", GL_RGB8},
        {"GL_RGBA8", GL_RGBA8},
    }};
    for (const auto& [text, value] : kVocabulary)
        if (text == name)
            return value;
    return std::nullopt;
}

Texture::Texture(std::string name, TextureKind kind, const TextureParameters& parameters)
    : name_(std::move(name)), kind_(kind), parameters_(parameters) {}

void Texture::release() {
    handle_.reset();
}

void Texture::bind() const {
    if (!handle_) {
        spdlog::error("Attempt to bind uninitialised texture {0}", name_);
        return;
    }
    glBindTexture(target(), handle_.get());
}

float Texture::aspectRatio() const {
    if (height_ < 1)
        return 1.0f;
    return static_cast<float>(width_) / static_cast<float>(height_);
}

GLenum Texture::internalFormat() const {
    return uploadedFormat_ != 0 ? uploadedFormat_ : parameters_.internalFormat;
}

bool Texture::equals(const Texture& other) const {
    return name_ == other.name_ && kind_ == other.kind_ && parameters_ == other.parameters_;
}

bool Texture::createGLObject() {
    // A null device keeps the texture's CPU side only.
    if (!RenderDevice::gpu())
        return true;
    GLuint name = 0;
    glGenTextures(1, &name);
    if (name == 0) {
        spdlog::error("Failed to generate OpenGL-Texture for Texture '{0}'...", name_);
        return false;
    }
    handle_.reset(name);
    const GLenum bindTarget = target();
    glBindTexture(bindTarget, name);
    glTexParameteri(bindTarget, GL_TEXTURE_MAG_FILTER, static_cast<GLint>(parameters_.magFilter));
    glTexParameteri(bindTarget, GL_TEXTURE_MIN_FILTER, static_cast<GLint>(parameters_.minFilter));
    const std::array<std::pair<GLenum, GLenum>, 3> wraps{{{GL_TEXTURE_WRAP_S, parameters_.wrapS},
                                                          {GL_TEXTURE_WRAP_T, parameters_.wrapT},
                                                          {GL_TEXTURE_WRAP_R, parameters_.wrapR}}};
    bool needsBorder = false;
    for (const auto& [parameter, mode] : wraps) {
        if (mode == 0)
            continue;
        glTexParameteri(bindTarget, parameter, static_cast<GLint>(mode));
        needsBorder = needsBorder || mode == GL_CLAMP_TO_BORDER;
    }
    if (needsBorder)
        glTexParameterfv(bindTarget, GL_TEXTURE_BORDER_COLOR, glm::value_ptr(parameters_.borderColour));
    return true;
}

void Texture::setSize(std::int32_t width, std::int32_t height) {
    width_ = width;
    height_ = height;
}

} // namespace hm
