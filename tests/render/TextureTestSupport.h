// Helpers that make image files for texture tests: a temporary folder, PNG writing through
// stb_image_write, and DDS files assembled byte by byte.
#pragma once

#include "app/AssetLocations.h"

#include <GL/glew.h>
#include <stb/stb_image_write.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace hm::test {

// A fresh folder below the system's temporary directory, removed again on destruction.
class TempFolder {
public:
    explicit TempFolder(const std::string& tag) {
        static int counter = 0;
        path_ = std::filesystem::temp_directory_path() /
                ("hm_" + tag + "_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Runs a test inside a temporary working directory holding GAME_DATA/textures/, so that the
// texture code finds its files exactly as the game does. The textures index is rebuilt on entry
// and exit, since it belongs to the working directory.
class TextureDataFolder {
public:
    TextureDataFolder() : temp_("textures"), previous_(std::filesystem::current_path()) {
        std::filesystem::create_directories(textures());
        std::filesystem::current_path(temp_.path());
        textureLocator().invalidate();
    }
    ~TextureDataFolder() {
        std::filesystem::current_path(previous_);
        textureLocator().invalidate();
    }
    TextureDataFolder(const TextureDataFolder&) = delete;
    TextureDataFolder& operator=(const TextureDataFolder&) = delete;

    std::filesystem::path textures() const { return temp_.path() / "GAME_DATA" / "textures"; }
    // A checked-in file of tests/fixtures/textures.
    std::filesystem::path fixture(const std::string& name) const {
        return previous_ / "tests" / "fixtures" / "textures" / name;
    }

private:
    TempFolder temp_;
    std::filesystem::path previous_;
};

// Level 0 of the texture bound to target, as tightly packed rows.
inline std::vector<std::uint8_t> readTexture(GLenum target, GLenum format, int width, int height,
                                             int channels) {
    std::vector<std::uint8_t> pixels(std::size_t(width) * std::size_t(height) * std::size_t(channels));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(target, 0, format, GL_UNSIGNED_BYTE, pixels.data());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    return pixels;
}

inline GLint textureLevelParameter(GLenum target, GLint level, GLenum parameter) {
    GLint value = 0;
    glGetTexLevelParameteriv(target, level, parameter, &value);
    return value;
}

inline void writeBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Pixels are row-major from the top row, channels interleaved.
inline bool writePng(const std::filesystem::path& path, int width, int height, int channels,
                     const std::vector<std::uint8_t>& pixels) {
    std::filesystem::create_directories(path.parent_path());
    return stbi_write_png(path.c_str(), width, height, channels, pixels.data(), width * channels) != 0;
}

// A PNG of one colour.
inline bool writeSolidPng(const std::filesystem::path& path, int width, int height,
                          std::vector<std::uint8_t> colour) {
    std::vector<std::uint8_t> pixels;
    for (int i = 0; i < width * height; ++i)
        pixels.insert(pixels.end(), colour.begin(), colour.end());
    return writePng(path, width, height, static_cast<int>(colour.size()), pixels);
}

inline void putLittleEndian32(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// A DDS header with the given edges and FourCC (4 characters, or empty for an uncompressed
// RGBA file), followed by dataBytes bytes counting up from 0.
inline std::vector<std::uint8_t> ddsBytes(std::uint32_t width, std::uint32_t height,
                                          const std::string& fourCc, std::size_t dataBytes) {
    std::vector<std::uint8_t> bytes(128 + dataBytes, 0);
    std::memcpy(bytes.data(), "DDS ", 4);
    putLittleEndian32(bytes, 4, 124);    // header size
    putLittleEndian32(bytes, 8, 0x1007); // caps, height, width, pixel format
    putLittleEndian32(bytes, 12, height);
    putLittleEndian32(bytes, 16, width);
    putLittleEndian32(bytes, 76, 32); // pixel format size
    if (fourCc.empty()) {
        putLittleEndian32(bytes, 80, 0x41); // RGB with alpha
        putLittleEndian32(bytes, 88, 32);
    } else {
        putLittleEndian32(bytes, 80, 0x4); // FourCC
        std::memcpy(bytes.data() + 84, fourCc.data(), 4);
    }
    putLittleEndian32(bytes, 108, 0x1000); // texture
    for (std::size_t i = 0; i < dataBytes; ++i)
        bytes[128 + i] = static_cast<std::uint8_t>(i);
    return bytes;
}

// Marks a DDS file made by ddsBytes as carrying `levels` mip levels (header flag and count).
inline std::vector<std::uint8_t> withMipLevels(std::vector<std::uint8_t> bytes, std::uint32_t levels) {
    putLittleEndian32(bytes, 8, 0x21007);
    putLittleEndian32(bytes, 28, levels);
    return bytes;
}

} // namespace hm::test
