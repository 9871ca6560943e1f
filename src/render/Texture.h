// GPU textures: the common base of the four kinds the game uses.
//
//   File2DTexture   a 2D image file (PNG, JPEG, ... or DXT-compressed DDS)
//   Solid2DTexture  a 1x1 texture of one colour
//   CubeMapTexture  a folder of six face images
//   Video2DTexture  a folder of numbered PNG frames played in a loop
//
// Textures are held by shared pointer and created through the factories in TextureRegistry.h,
// which return a live equal texture instead of loading a second copy. Every operation needs the
// OpenGL context and runs on the main thread.
#pragma once

#include "render/GLHandle.h"

#include <glm/vec4.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace hm {

// Texture filters, wrap modes, storage formats and targets in the engine's own terms; the
// render module maps them to OpenGL's values (TextureGL.h), so nothing outside it sees OpenGL.
enum class TextureFilter : std::uint8_t {
    Nearest,
    Linear,
    NearestMipmapNearest,
    LinearMipmapNearest,
    NearestMipmapLinear,
    LinearMipmapLinear,
};
enum class TextureWrap : std::uint8_t {
    Unset, // leaves GL's default (repeat)
    Repeat,
    MirroredRepeat,
    ClampToEdge,
    ClampToBorder,
    MirrorClampToEdge,
};
enum class TextureFormat : std::uint8_t {
    Auto, // chosen from the image at upload
    R8,
    RG8,
    RGB8,
    RGBA8,
    SRGB8,
    SRGB8Alpha8,
    Dxt1, // DXT-compressed RGBA, as DDS files bring them
    Dxt3,
    Dxt5,
};
enum class TextureTarget : std::uint8_t { Texture2D, CubeMap };

enum class TextureKind : std::int32_t { CubeMap = 0, File2D = 1, Solid = 2, Video = 3 };

// Sampling and storage parameters. An unset wrap mode leaves GL's default; the Auto format lets
// the upload choose one that matches the image. The border colour is only sent when a wrap mode
// clamps to the border.
struct TextureParameters {
    TextureFilter magFilter = TextureFilter::Linear;
    TextureFilter minFilter = TextureFilter::Linear;
    TextureWrap wrapS = TextureWrap::Unset;
    TextureWrap wrapT = TextureWrap::Unset;
    TextureWrap wrapR = TextureWrap::Unset;
    TextureFormat internalFormat = TextureFormat::Auto;
    glm::vec4 borderColour{0.0f};

    bool operator==(const TextureParameters& other) const = default;
};

// Texture parameters as model files give them: by OpenGL's enumerant name ("GL_LINEAR",
// "GL_REPEAT", "GL_RGBA8", ...), or by its number. T is TextureFilter, TextureWrap or
// TextureFormat; nothing comes back for a value outside T's vocabulary (names: the six filters,
// four wrap modes without the mirrored clamp, and R8, RG8, RGB8, RGBA8; numbers: every value of
// T but Unset, Auto and the compressed formats).
template <typename T> std::optional<T> textureParameterFromName(std::string_view name);
template <typename T> std::optional<T> textureParameterFromNumber(std::int64_t number);

// True for the filters that sample mipmaps.
bool usesMipmaps(TextureFilter filter);

class Texture {
public:
    virtual ~Texture() = default;
    Texture(const Texture&) = delete;
    Texture& operator=(const Texture&) = delete;

    // Creates the GL texture and uploads the image; false (after log lines) on failure.
    virtual bool load() = 0;
    // Deletes the GL texture; the texture can be loaded again.
    virtual void release();
    // Binds to target() on the active texture unit; an unloaded texture logs and binds nothing.
    virtual void bind() const;
    virtual TextureTarget target() const = 0;
    // Width / height; 1 when the height is below 1 (not loaded).
    virtual float aspectRatio() const;

    GLName id() const { return handle_.get(); }
    // Path of the file or folder relative to the textures folder.
    const std::string& name() const { return name_; }
    TextureKind kind() const { return kind_; }
    // The parameters the texture was asked for; they make up its identity in the registry.
    const TextureParameters& parameters() const { return parameters_; }
    // The internal format of the GL storage: the requested one, or the one chosen at upload.
    TextureFormat internalFormat() const;
    std::int32_t width() const { return width_; }
    std::int32_t height() const { return height_; }

    // Same name, kind and requested parameters: two such textures look identical when sampled.
    bool equals(const Texture& other) const;

protected:
    Texture(std::string name, TextureKind kind, const TextureParameters& parameters);

    // Generates the GL texture, binds it and applies the filters, the wrap modes that are set,
    // and the border colour when a wrap mode needs it. Logs and returns false on failure.
    bool createGLObject();
    void setSize(std::int32_t width, std::int32_t height);
    void setUploadedFormat(TextureFormat format) { uploadedFormat_ = format; }

private:
    TextureHandle handle_;
    std::string name_;
    TextureKind kind_;
    TextureParameters parameters_;
    TextureFormat uploadedFormat_ = TextureFormat::Auto;
    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
};

} // namespace hm
