#include "physics/CookingCache.h"

#include "app/Log.h"

#include <unistd.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace hm {

namespace {

constexpr std::array<char, 4> kMagic = {'H', 'M', 'C', 'K'};
constexpr std::uint32_t kVersion = 2;

#pragma pack(push, 1)
struct Header {
    char magic[4];
    std::uint32_t version;
    std::uint32_t kind;
    std::uint32_t reserved;
    std::uint64_t source;
    std::uint64_t payloadSize;
    std::uint64_t checksum;
};
#pragma pack(pop)
static_assert(sizeof(Header) == 40);

// Anything larger than this is not a collision shape of this game; refuse before allocating.
constexpr std::uint64_t kMaxPayload = 512ull * 1024 * 1024;

} // namespace

std::uint64_t cookedChecksum(const std::uint8_t* data, std::size_t size) {
    std::uint64_t hash = 1469598103934665603ull; // FNV-1a
    for (std::size_t i = 0; i < size; ++i) {
        hash ^= data[i];
        hash *= 1099511628211ull;
    }
    return hash;
}

std::optional<std::vector<std::uint8_t>> readCookedFile(const std::string& path, CookedKind kind,
                                                        std::uint64_t source) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        return std::nullopt;
    auto damaged = [&](const char* why) {
        spdlog::error("Physics cache file {0} is unusable ({1}); the shape will be cooked again.", path, why);
        return std::nullopt;
    };
    // Not damage: the file is simply older than the program or the model.
    auto outdated = [&](const char* why) {
        spdlog::warn("Physics cache file {0} is out of date ({1}); the shape will be cooked again.", path,
                     why);
        return std::nullopt;
    };
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return damaged("cannot be opened");
    const auto fileSize = std::filesystem::file_size(path, ec);
    if (ec || fileSize < sizeof(Header))
        return damaged("shorter than its header");
    Header header{};
    in.read(reinterpret_cast<char*>(&header), sizeof(header));
    if (!in || std::memcmp(header.magic, kMagic.data(), kMagic.size()) != 0)
        return damaged("not a cache file");
    if (header.version != kVersion)
        return outdated("written by another version");
    if (header.kind != static_cast<std::uint32_t>(kind))
        return damaged("holds another kind of shape");
    if (header.source != source)
        return outdated("cooked from other geometry");
    if (header.payloadSize > kMaxPayload || header.payloadSize != fileSize - sizeof(Header))
        return damaged("size does not match its header");
    std::vector<std::uint8_t> payload(static_cast<std::size_t>(header.payloadSize));
    in.read(reinterpret_cast<char*>(payload.data()), static_cast<std::streamsize>(payload.size()));
    if (!in)
        return damaged("truncated");
    if (cookedChecksum(payload.data(), payload.size()) != header.checksum)
        return damaged("checksum mismatch");
    return payload;
}

bool writeCookedFile(const std::string& path, CookedKind kind, const std::vector<std::uint8_t>& payload,
                     std::uint64_t source) {
    namespace fs = std::filesystem;
    const std::string temporary = path + ".tmp" + std::to_string(::getpid());
    Header header{};
    std::memcpy(header.magic, kMagic.data(), kMagic.size());
    header.version = kVersion;
    header.kind = static_cast<std::uint32_t>(kind);
    header.source = source;
    header.payloadSize = payload.size();
    header.checksum = cookedChecksum(payload.data(), payload.size());
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(&header), sizeof(header));
        out.write(reinterpret_cast<const char*>(payload.data()),
                  static_cast<std::streamsize>(payload.size()));
        out.flush();
        if (!out) {
            spdlog::error("Couldn't write physics cache file {0}.", path);
            std::error_code ignored;
            fs::remove(temporary, ignored);
            return false;
        }
    }
    std::error_code ec;
    fs::rename(temporary, path, ec);
    if (ec) {
        spdlog::error("Couldn't write physics cache file {0}: {1}.", path, ec.message());
        fs::remove(temporary, ec);
        return false;
    }
    return true;
}

} // namespace hm
