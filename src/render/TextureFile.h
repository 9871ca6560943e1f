// One decoded image file below the textures folder, shared by every texture that samples it.
//
// DDS files with DXT compression are read by the DDS reader and kept compressed; every other
// format is decoded by stb_image with the file's own channel count and without flipping (the
// first row of the file is the first row uploaded). The pixels stay in memory after upload:
// video textures re-send frames, and several textures may share a file.
//
// Files are cached by name for the life of the process (getTextureFile).
#pragma once

#include "render/Texture.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace hm {

class TextureFile {
public:
    // name: path relative to the textures folder.
    explicit TextureFile(std::string name);

    // Reads and decodes the file unless it already is; false (after a log line) on failure.
    bool load();
    // Loads if needed, then sends the image to level 0 of the texture bound to target (for a
    // cube map: to the face cubeFace, 0 to 5 in the order +x, -x, +y, -y, +z, -z). A compressed
    // image sends all the mip levels its file holds and sets internalFormat to its own format;
    // otherwise an Auto internalFormat is replaced by the format matching the channels (one
    // channel -> R8 and so on).
    bool upload(TextureTarget target, TextureFormat& internalFormat, int cubeFace = 0);
    // Sends the top-left width x height pixels to level 0 of the 2D texture bound, whose storage
    // must already hold at least that much. Compressed images cannot be sent this way.
    bool uploadRegion(std::int32_t width, std::int32_t height);

    const std::string& name() const { return name_; }
    std::string path() const;
    bool loaded() const { return !data_.empty(); }
    bool compressed() const;
    std::int32_t width() const { return width_; }
    std::int32_t height() const { return height_; }
    // Channels of a decoded image (1 to 4); compressed images count 4.
    int channels() const { return channels_; }
    // The storage the pixels match: R8, RG8, RGB8 or RGBA8 by channels, or the compressed format.
    TextureFormat format() const { return format_; }
    // Byte size of the top level of compressed data; -1 for uncompressed images.
    std::int32_t size() const { return size_; }
    // Mip levels sent by upload: those of a compressed file, 1 for other images.
    int levels() const { return compressed() ? static_cast<int>(levelSizes_.size()) : 1; }
    const std::vector<std::uint8_t>& data() const { return data_; }

private:
    std::string name_;
    std::int32_t width_ = -1;
    std::int32_t height_ = -1;
    int channels_ = 3;
    TextureFormat format_ = TextureFormat::RGB8;
    std::int32_t size_ = -1;
    std::vector<std::size_t> levelSizes_; // compressed files: bytes of each mip level in data_
    std::vector<std::uint8_t> data_;
};

// The cached file of that name ('\' and '/' both accepted), created on first request. Unless
// deferLoad is set the file is loaded now, and a file that fails to load gives nullptr (it stays
// in the cache and is tried again by the next request).
std::shared_ptr<TextureFile> getTextureFile(const std::string& location, bool deferLoad = false);

} // namespace hm
