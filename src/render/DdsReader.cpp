#include "render/DdsReader.h"

#include "app/Log.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <new>

namespace hm {
namespace {

constexpr std::uint32_t kMagic = 0x20534444; // "DDS " read little-endian
constexpr std::size_t kHeightOffset = 12;
constexpr std::size_t kWidthOffset = 16;
constexpr std::size_t kFourCcOffset = 84;
constexpr std::size_t kFlagsOffset = 8;
constexpr std::size_t kMipCountOffset = 28;
constexpr std::uint32_t kMipCountFlag = 0x20000;

std::uint32_t readLittleEndian32(const std::uint8_t* bytes) {
    return std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 | std::uint32_t(bytes[2]) << 16 |
           std::uint32_t(bytes[3]) << 24;
}

} // namespace

std::uint64_t ddsLevelSize(TextureFormat format, std::uint32_t width, std::uint32_t height) {
    const std::uint64_t blockSize = format == TextureFormat::Dxt1 ? 8 : 16;
    return ((std::uint64_t(width) + 3) / 4) * ((std::uint64_t(height) + 3) / 4) * blockSize;
}

std::optional<DdsImage> readDdsFile(const std::string& path) {
    std::error_code ec;
    std::ifstream file;
    if (std::filesystem::is_regular_file(path, ec))
        file.open(path, std::ios::binary | std::ios::ate);
    if (!file.is_open()) {
        spdlog::error("DDS File @'{0}' couldn't be found or opened.", path);
        return std::nullopt;
    }
    const std::streamoff fileSize = file.tellg();
    file.seekg(0);
    if (fileSize < 0 || !file) {
        spdlog::error("DDS File @'{0}' couldn't be found or opened.", path);
        return std::nullopt;
    }

    std::array<std::uint8_t, kDdsHeaderSize> header{};
    if (static_cast<std::uint64_t>(fileSize) < kDdsHeaderSize ||
        !file.read(reinterpret_cast<char*>(header.data()), header.size())) {
        spdlog::error("The dds-file {0} is too short for a dds header: {1} bytes.", path, fileSize);
        return std::nullopt;
    }

    if (readLittleEndian32(header.data()) != kMagic) {
        spdlog::error("The file doesn't look like a dds file. Did you try to make me read a wrong datatype?");
        return std::nullopt;
    }

    const std::uint32_t height = readLittleEndian32(header.data() + kHeightOffset);
    const std::uint32_t width = readLittleEndian32(header.data() + kWidthOffset);
    const std::uint8_t* fourCc = header.data() + kFourCcOffset;

    DdsImage image;
    if (fourCc[0] == 'D' && fourCc[3] == '1') {
        image.format = TextureFormat::Dxt1;
    } else if (fourCc[0] == 'D' && fourCc[3] == '3') {
        image.format = TextureFormat::Dxt3;
    } else if (fourCc[0] == 'D' && fourCc[3] == '5') {
        image.format = TextureFormat::Dxt5;
    } else {
        spdlog::error("DDS-File is of a wrong format! Only DXT1, DXT3 and DXT5 files are supported.");
        return std::nullopt;
    }

    // Bounded edges keep the size below 2^32 and the dimensions inside a GL integer.
    if (width == 0 || height == 0 || width > kDdsMaxDimension || height > kDdsMaxDimension) {
        spdlog::error("The dds-file {0} has unsupported dimensions {1}x{2}.", path, width, height);
        return std::nullopt;
    }
    const std::uint64_t topSize = ddsLevelSize(image.format, width, height);
    const std::uint64_t available = static_cast<std::uint64_t>(fileSize) - kDdsHeaderSize;
    if (available < topSize) {
        spdlog::error("The dds-file {0} is shorter than its data: {1} bytes expected, {2} found.", path,
                      topSize, available);
        return std::nullopt;
    }

    // The further levels, as many as the header declares and the file holds, each half the
    // size of the one above; never more than a full chain down to 1x1.
    std::uint32_t declared = 1;
    if (readLittleEndian32(header.data() + kFlagsOffset) & kMipCountFlag)
        declared = std::max<std::uint32_t>(readLittleEndian32(header.data() + kMipCountOffset), 1);
    std::uint32_t fullChain = 1;
    for (std::uint32_t edge = std::max(width, height); edge > 1; edge /= 2)
        ++fullChain;
    const std::uint32_t wanted = std::min(declared, fullChain);
    std::uint64_t dataSize = 0;
    for (std::uint32_t level = 0, w = width, h = height; level < wanted; ++level) {
        const std::uint64_t size = ddsLevelSize(image.format, w, h);
        if (dataSize + size > available) {
            spdlog::warn("The dds-file {0} declares {1} mip levels but holds {2}; it is used with those.",
                         path, wanted, level);
            break;
        }
        image.levelSizes.push_back(static_cast<std::size_t>(size));
        dataSize += size;
        w = std::max(w / 2, 1u);
        h = std::max(h / 2, 1u);
    }

    try {
        image.data.resize(static_cast<std::size_t>(dataSize));
    } catch (const std::bad_alloc&) {
        spdlog::error("Error allocating memory for the dds-data.");
        return std::nullopt;
    }
    if (!file.read(reinterpret_cast<char*>(image.data.data()), static_cast<std::streamsize>(dataSize))) {
        spdlog::error("The dds-file {0} is shorter than its data: {1} bytes expected, {2} found.", path,
                      dataSize, file.gcount());
        return std::nullopt;
    }
    image.width = static_cast<std::int32_t>(width);
    image.height = static_cast<std::int32_t>(height);
    return image;
}

} // namespace hm
