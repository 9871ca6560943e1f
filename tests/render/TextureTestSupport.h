// Helpers that make image files for texture tests: a temporary folder, PNG writing through
// stb_image_write, and DDS files assembled byte by byte.
#pragma once

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

} // namespace hm::test
