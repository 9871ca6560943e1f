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

#include <GL/glew.h>
#include <glm/vec4.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace hm {

// Engine names of texture filters, wrap modes and storage formats for code outside src/render.
// Each value is OpenGL's own, so they travel in TextureParameters unchanged (Texture.cpp checks).
struct TextureFilter {
    enum : unsigned {
        Nearest = 0x2600,
        Linear = 0x2601,
        NearestMipmapNearest = 0x2700,
        LinearMipmapNearest = 0x2701,
        NearestMipmapLinear = 0x2702,
        LinearMipmapLinear = 0x2703,
    };
};
struct TextureWrap {
    enum : unsigned {
        Repeat = 0x2901,
        MirroredRepeat = 0x8370,
        ClampToEdge = 0x812F,
        ClampToBorder = 0x812D,
        MirrorClampToEdge = 0x8743,
    };
};
struct TextureFormat {
    enum : unsigned {
        Auto = 0, // chosen from the image at upload
        R8 = 0x8229,
        RG8 = 0x822B,
        RGB8 = 0x8051,
        RGBA8 = 0x8058,
        SRGB8 = 0x8C41,
        SRGB8Alpha8 = 0x8C43,
    };
};

enum class TextureKind : std::int32_t { CubeMap = 0, File2D = 1, Solid = 2, Video = 3 };

// Sampling and storage parameters. A wrap mode of 0 leaves GL's default; an internal format of 0
// lets the upload choose one that matches the image. The border colour is only sent when a wrap
// mode is GL_CLAMP_TO_BORDER.
struct TextureParameters {
    GLenum magFilter = GL_LINEAR;
    GLenum minFilter = GL_LINEAR;
    GLenum wrapS = 0;
    GLenum wrapT = 0;
    GLenum wrapR = 0;
    GLenum internalFormat = 0;
    glm::vec4 borderColour{0.0f};

    bool operator==(const TextureParameters& other) const = default;
};

// Texture parameters given as text (by model files): "GL_LINEAR", "GL_REPEAT", "GL_RGBA8", ...
// Returns nothing for a name outside the vocabulary.
std::optional<GLenum> textureParameterFromName(std::string_view name);

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
    virtual GLenum target() const = 0;
    // Width / height; 1 when the height is below 1 (not loaded).
    virtual float aspectRatio() const;

    GLuint id() const { return handle_.get(); }
    // Path of the file or folder relative to the textures folder.
    const std::string& name() const { return name_; }
    TextureKind kind() const { return kind_; }
    // The parameters the texture was asked for; they make up its identity in the registry.
    const TextureParameters& parameters() const { return parameters_; }
    // The internal format of the GL storage: the requested one, or the one chosen at upload.
    GLenum internalFormat() const;
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
    void setUploadedFormat(GLenum format) { uploadedFormat_ = format; }

private:
    TextureHandle handle_;
    std::string name_;
    TextureKind kind_;
    TextureParameters parameters_;
    GLenum uploadedFormat_ = 0;
    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
};

} // namespace hm
