#include "physics/CookingCache.h"

#include "app/AssetLocations.h"
#include "app/Log.h"

#include <LinearMath/btScalar.h>

#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string_view>

namespace hm {

namespace {

constexpr std::array<char, 4> kMagic = {'H', 'M', 'C', 'K'};
constexpr std::uint32_t kVersion = 3;
// Cooked shapes hold the physics library's own structures: a file from another release or
// precision of the library is cooked again rather than trusted.
constexpr std::uint32_t kPhysicsVersion = BT_BULLET_VERSION;
constexpr std::uint32_t kScalarSize = sizeof(btScalar);

#pragma pack(push, 1)
struct Header {
    char magic[4];
    std::uint32_t version;
    std::uint32_t kind;
    std::uint32_t physicsVersion;
    std::uint32_t scalarSize;
    std::uint32_t reserved;
    std::uint64_t source;
    std::uint64_t payloadSize;
    std::uint64_t checksum;
};
#pragma pack(pop)
static_assert(sizeof(Header) == 48);

// Anything larger than this is not a collision shape of this game; refuse before allocating.
constexpr std::uint64_t kMaxPayload = 512ull * 1024 * 1024;

constexpr std::string_view kTemporaryMark = ".tmp";

// A write interrupted by a crash leaves "NAME.dat.tmp<pid>" behind. Those of processes that are
// gone are removed whenever the folder is written to; a live writer's file is left alone.
void removeAbandonedTemporaries(const std::filesystem::path& folder) {
    namespace fs = std::filesystem;
    std::error_code ec;
    for (fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        const std::size_t mark = name.rfind(kTemporaryMark);
        if (mark == std::string::npos)
            continue;
        const std::string digits = name.substr(mark + kTemporaryMark.size());
        if (digits.empty() || digits.size() > 9 ||
            digits.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const pid_t writer = static_cast<pid_t>(std::stol(digits));
        if (writer != ::getpid() && writer > 0 && (::kill(writer, 0) == 0 || errno == EPERM))
            continue;
        std::error_code ignored;
        if (fs::remove(it->path(), ignored))
            spdlog::info("Removed {0}, left by an interrupted write of the physics cache.",
                         it->path().string());
    }
}

} // namespace

void refuseCookedPayload(const std::string& path) {
    spdlog::error("Physics cache file {0} is unusable (damaged shape data); the shape will be cooked again.",
                  path);
}

std::uint64_t cookedChecksum(const std::uint8_t* data, std::size_t size) {
    std::uint64_t hash = 1469598103934665603ull; // FNV-1a
    for (std::size_t i = 0; i < size; ++i) {
        hash ^= data[i];
        hash *= 1099511628211ull;
    }
    return hash;
}

std::optional<std::vector<std::uint8_t>> cookedPayload(const std::vector<std::uint8_t>& file, CookedKind kind,
                                                       std::uint64_t source, const std::string& path) {
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
    if (file.size() < sizeof(Header))
        return damaged("shorter than its header");
    Header header{};
    std::memcpy(&header, file.data(), sizeof(header));
    if (std::memcmp(header.magic, kMagic.data(), kMagic.size()) != 0)
        return damaged("not a cache file");
    if (header.version != kVersion)
        return outdated("written by another version");
    if (header.physicsVersion != kPhysicsVersion || header.scalarSize != kScalarSize)
        return outdated("cooked by another build of the physics library");
    if (header.kind != static_cast<std::uint32_t>(kind))
        return damaged("holds another kind of shape");
    if (header.source != source)
        return outdated("cooked from other geometry");
    if (header.payloadSize > kMaxPayload || header.payloadSize != file.size() - sizeof(Header))
        return damaged("size does not match its header");
    std::vector<std::uint8_t> payload(file.begin() + sizeof(Header), file.end());
    if (cookedChecksum(payload.data(), payload.size()) != header.checksum)
        return damaged("checksum mismatch");
    return payload;
}

std::optional<std::string> cookedFilePath(const std::string& folder, const std::string& name,
                                          const std::string& nodeName) {
    const bool plain = name != "." && name != ".." && std::none_of(name.begin(), name.end(), [](char c) {
                           return c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20;
                       });
    if (!plain) {
        spdlog::warn(
            "Node {0}: the physics cache name '{1}' is not a plain file name; its shape is not cached.",
            nodeName, name);
        return std::nullopt;
    }
    const std::string& cache = gamePlaces().physicsCache;
    if (cache.empty())
        return std::nullopt;
    return cache + folder + name + ".dat";
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
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return damaged("cannot be opened");
    const auto fileSize = std::filesystem::file_size(path, ec);
    if (ec)
        return damaged("cannot be opened");
    // Nothing larger is read: its header cannot match it.
    if (fileSize > sizeof(Header) + kMaxPayload)
        return damaged("size does not match its header");
    std::vector<std::uint8_t> file(static_cast<std::size_t>(fileSize));
    in.read(reinterpret_cast<char*>(file.data()), static_cast<std::streamsize>(file.size()));
    if (!in)
        return damaged("truncated");
    return cookedPayload(file, kind, source, path);
}

bool writeCookedFile(const std::string& path, CookedKind kind, const std::vector<std::uint8_t>& payload,
                     std::uint64_t source) {
    namespace fs = std::filesystem;
    // The kind's folder may be missing in a fresh cache folder; a failure shows in the write below.
    std::error_code folderError;
    fs::create_directories(fs::path(path).parent_path(), folderError);
    removeAbandonedTemporaries(fs::path(path).parent_path());
    const std::string temporary = path + std::string(kTemporaryMark) + std::to_string(::getpid());
    Header header{};
    std::memcpy(header.magic, kMagic.data(), kMagic.size());
    header.version = kVersion;
    header.physicsVersion = kPhysicsVersion;
    header.scalarSize = kScalarSize;
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
