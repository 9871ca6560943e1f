#include "render/Solid2DTexture.h"

#include "app/Log.h"
#include "render/RenderDevice.h"
#include "render/TextureGL.h"

#include <glm/common.hpp>

#include <array>
#include <cstdint>

#include <fmt/format.h>

namespace hm {

TextureParameters Solid2DTexture::defaultParameters(TextureFormat internalFormat) {
    TextureParameters parameters;
    parameters.magFilter = TextureFilter::Nearest;
    parameters.minFilter = TextureFilter::Nearest;
    parameters.wrapS = TextureWrap::Repeat;
    parameters.wrapT = TextureWrap::Repeat;
    parameters.internalFormat = internalFormat;
    parameters.borderColour = glm::vec4(0.0f);
    return parameters;
}

Solid2DTexture::Solid2DTexture(std::string name, const glm::vec4& colour, const TextureParameters& parameters)
    : Texture(std::move(name), TextureKind::Solid, parameters), colour_(colour) {}

bool Solid2DTexture::load() {
    // Truncating conversion; clamping first keeps out-of-range colours defined.
    const glm::vec4 clamped = glm::clamp(colour_, 0.0f, 1.0f);
    const std::array<std::uint8_t, 4> pixel{
        static_cast<std::uint8_t>(clamped.r * 255.0f), static_cast<std::uint8_t>(clamped.g * 255.0f),
        static_cast<std::uint8_t>(clamped.b * 255.0f), static_cast<std::uint8_t>(clamped.a * 255.0f)};
    if (!createGLObject()) {
        spdlog::error("Couldnt generate OpenGl Texture for {0}", name());
        return false;
    }
    const TextureFormat format = parameters().internalFormat != TextureFormat::Auto
                                     ? parameters().internalFormat
                                     : TextureFormat::RGB8;
    if (RenderDevice::gpu())
        glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(gl::internalFormat(format)), 1, 1, 0, GL_RGBA,
                     GL_UNSIGNED_BYTE, pixel.data());
    setUploadedFormat(format);
    setSize(1, 1);
    return true;
}

std::shared_ptr<Texture> solidColourTexture(const glm::vec4& colour, TextureFormat internalFormat) {
    const std::string name = fmt::format("?solid({:.3f},{:.3f},{:.3f},{:.3f})#{:x}", colour.r, colour.g,
                                         colour.b, colour.a, static_cast<unsigned>(internalFormat));
    auto texture =
        std::make_shared<Solid2DTexture>(name, colour, Solid2DTexture::defaultParameters(internalFormat));
    if (!texture->load()) {
        spdlog::error("Couldn't create the solid default texture {0}.", name);
        return nullptr;
    }
    return texture;
}

} // namespace hm
