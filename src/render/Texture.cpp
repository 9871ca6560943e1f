#include "render/Texture.h"

#include "app/Log.h"
#include "render/RenderDevice.h"
#include "render/TextureGL.h"

#include <glm/gtc/type_ptr.hpp>

#include <array>
#include <type_traits>
#include <utility>

namespace hm {

namespace {

template <typename T> struct Named {
    std::string_view name;
    GLenum value;
    T parameter;
};

constexpr std::array<Named<TextureFilter>, 6> kFilters{{
    {"GL_NEAREST", GL_NEAREST, TextureFilter::Nearest},
    {"GL_LINEAR", GL_LINEAR, TextureFilter::Linear},
    {"GL_NEAREST_MIPMAP_NEAREST", GL_NEAREST_MIPMAP_NEAREST, TextureFilter::NearestMipmapNearest},
    {"GL_LINEAR_MIPMAP_NEAREST", GL_LINEAR_MIPMAP_NEAREST, TextureFilter::LinearMipmapNearest},
    {"GL_NEAREST_MIPMAP_LINEAR", GL_NEAREST_MIPMAP_LINEAR, TextureFilter::NearestMipmapLinear},
    {"GL_LINEAR_MIPMAP_LINEAR", GL_LINEAR_MIPMAP_LINEAR, TextureFilter::LinearMipmapLinear},
}};
// Model files cannot name the mirrored clamp (only give its number).
constexpr std::array<Named<TextureWrap>, 5> kWraps{{
    {"GL_REPEAT", GL_REPEAT, TextureWrap::Repeat},
    {"GL_MIRRORED_REPEAT", GL_MIRRORED_REPEAT, TextureWrap::MirroredRepeat},
    {"GL_CLAMP_TO_EDGE", GL_CLAMP_TO_EDGE, TextureWrap::ClampToEdge},
    {"GL_CLAMP_TO_BORDER", GL_CLAMP_TO_BORDER, TextureWrap::ClampToBorder},
    {"", GL_MIRROR_CLAMP_TO_EDGE, TextureWrap::MirrorClampToEdge},
}};
// Model files can name the four linear formats (and give the sRGB ones by number); the
// compressed ones come only from DDS files.
constexpr std::array<Named<TextureFormat>, 9> kFormats{{
    {"GL_R8", GL_R8, TextureFormat::R8},
    {"GL_RG8", GL_RG8, TextureFormat::RG8},
    {"GL_RGB8", GL_RGB8, TextureFormat::RGB8},
    {"GL_RGBA8", GL_RGBA8, TextureFormat::RGBA8},
    {"", GL_SRGB8, TextureFormat::SRGB8},
    {"", GL_SRGB8_ALPHA8, TextureFormat::SRGB8Alpha8},
    {"", GL_COMPRESSED_RGBA_S3TC_DXT1_EXT, TextureFormat::Dxt1},
    {"", GL_COMPRESSED_RGBA_S3TC_DXT3_EXT, TextureFormat::Dxt3},
    {"", GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, TextureFormat::Dxt5},
}};

template <typename T> constexpr const auto& table() {
    if constexpr (std::is_same_v<T, TextureFilter>)
        return kFilters;
    else if constexpr (std::is_same_v<T, TextureWrap>)
        return kWraps;
    else
        return kFormats;
}

template <typename T> GLenum valueOf(T parameter) {
    for (const auto& entry : table<T>())
        if (entry.parameter == parameter)
            return entry.value;
    return 0;
}

bool compressed(TextureFormat format) {
    return format == TextureFormat::Dxt1 || format == TextureFormat::Dxt3 || format == TextureFormat::Dxt5;
}

} // namespace

template <typename T> std::optional<T> textureParameterFromName(std::string_view name) {
    for (const auto& entry : table<T>())
        if (!entry.name.empty() && entry.name == name)
            return entry.parameter;
    return std::nullopt;
}

template <typename T> std::optional<T> textureParameterFromNumber(std::int64_t number) {
    for (const auto& entry : table<T>()) {
        if (std::int64_t(entry.value) != number)
            continue;
        if constexpr (std::is_same_v<T, TextureFormat>) {
            if (compressed(entry.parameter))
                return std::nullopt;
        }
        return entry.parameter;
    }
    return std::nullopt;
}

template std::optional<TextureFilter> textureParameterFromName(std::string_view);
template std::optional<TextureWrap> textureParameterFromName(std::string_view);
template std::optional<TextureFormat> textureParameterFromName(std::string_view);
template std::optional<TextureFilter> textureParameterFromNumber(std::int64_t);
template std::optional<TextureWrap> textureParameterFromNumber(std::int64_t);
template std::optional<TextureFormat> textureParameterFromNumber(std::int64_t);

bool usesMipmaps(TextureFilter filter) {
    return filter != TextureFilter::Nearest && filter != TextureFilter::Linear;
}

namespace gl {

GLenum filter(TextureFilter filter) {
    return valueOf(filter);
}

GLenum wrap(TextureWrap wrap) {
    return valueOf(wrap);
}

GLenum internalFormat(TextureFormat format) {
    return valueOf(format);
}

TextureFormat textureFormat(GLenum internalFormat) {
    for (const auto& entry : kFormats)
        if (entry.value == internalFormat)
            return entry.parameter;
    return TextureFormat::Auto;
}

GLenum target(TextureTarget target) {
    return target == TextureTarget::CubeMap ? GL_TEXTURE_CUBE_MAP : GL_TEXTURE_2D;
}

} // namespace gl

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
    glBindTexture(gl::target(target()), handle_.get());
}

float Texture::aspectRatio() const {
    if (height_ < 1)
        return 1.0f;
    return static_cast<float>(width_) / static_cast<float>(height_);
}

TextureFormat Texture::internalFormat() const {
    return uploadedFormat_ != TextureFormat::Auto ? uploadedFormat_ : parameters_.internalFormat;
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
    const GLenum bindTarget = gl::target(target());
    glBindTexture(bindTarget, name);
    glTexParameteri(bindTarget, GL_TEXTURE_MAG_FILTER, static_cast<GLint>(gl::filter(parameters_.magFilter)));
    glTexParameteri(bindTarget, GL_TEXTURE_MIN_FILTER, static_cast<GLint>(gl::filter(parameters_.minFilter)));
    const std::array<std::pair<GLenum, TextureWrap>, 3> wraps{{{GL_TEXTURE_WRAP_S, parameters_.wrapS},
                                                               {GL_TEXTURE_WRAP_T, parameters_.wrapT},
                                                               {GL_TEXTURE_WRAP_R, parameters_.wrapR}}};
    bool needsBorder = false;
    for (const auto& [parameter, mode] : wraps) {
        if (mode == TextureWrap::Unset)
            continue;
        glTexParameteri(bindTarget, parameter, static_cast<GLint>(gl::wrap(mode)));
        needsBorder = needsBorder || mode == TextureWrap::ClampToBorder;
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
