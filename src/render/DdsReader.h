// Reader for DXT-compressed DDS files (DXT1, DXT3, DXT5), top mip level only.
//
// The reader trusts nothing in the header: dimensions are bounded before any size is computed,
// the size is computed in 64 bits, and the data is read only when the file really holds it.
// Every refusal is logged; the caller adds its own line.
#pragma once

#include <GL/glew.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace hm {

struct DdsImage {
    std::int32_t width = 0;
    std::int32_t height = 0;
    GLenum format = 0; // one of GL_COMPRESSED_RGBA_S3TC_DXT{1,3,5}_EXT
    std::vector<std::uint8_t> data;
};

// Largest edge accepted; matches the largest texture size common GL drivers offer.
inline constexpr std::uint32_t kDdsMaxDimension = 16384;
inline constexpr std::size_t kDdsHeaderSize = 128;

std::optional<DdsImage> readDdsFile(const std::string& path);

} // namespace hm
