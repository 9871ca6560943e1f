// Reader for DXT-compressed DDS files (DXT1, DXT3, DXT5) with the mip levels they carry.
//
// The reader trusts nothing in the header: dimensions are bounded before any size is computed,
// the size is computed in 64 bits, and the data is read only when the file really holds it.
// Every refusal is logged; the caller adds its own line.
#pragma once

#include "render/Texture.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace hm {

struct DdsImage {
    std::int32_t width = 0;
    std::int32_t height = 0;
    TextureFormat format = TextureFormat::Dxt1; // Dxt1, Dxt3 or Dxt5
    // The levels one after another, the top level first.
    std::vector<std::uint8_t> data;
    // Byte size of each level in data; at least the top level. A file that declares more levels
    // than it holds keeps the complete ones.
    std::vector<std::size_t> levelSizes;
};

// Byte size of one DXT level of that size (4x4 blocks of 8 or 16 bytes).
std::uint64_t ddsLevelSize(TextureFormat format, std::uint32_t width, std::uint32_t height);

// Largest edge accepted; matches the largest texture size common GL drivers offer.
inline constexpr std::uint32_t kDdsMaxDimension = 16384;
inline constexpr std::size_t kDdsHeaderSize = 128;

std::optional<DdsImage> readDdsFile(const std::string& path);

} // namespace hm
