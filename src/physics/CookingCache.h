// Files of cooked collision shapes in the physics cache folder: GAME_DATA/physx_buffer/ from a
// checkout, the user's cache folder otherwise (see GamePlaces::physicsCache).
//
// Each file starts with a header (magic, format version, kind, the physics library's version and
// precision, a fingerprint of the geometry it was cooked from, payload size and a checksum of the
// payload), so a truncated or damaged file, one from another build of the physics library, or
// one cooked from a model that has changed since, is recognised, logged and cooked again instead
// of being trusted. Files are written to a temporary name and renamed into place, so an
// interrupted write never leaves a half file under the real name; temporaries left behind by a
// crash are removed at the next write to their folder.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace hm {

enum class CookedKind : std::uint32_t { ConvexHull = 1, TriangleMesh = 2 };

// The cache file "<cache folder><folder><name>.dat" for a name a model gives, or nothing (with a
// warning naming the node) when the name is not a plain file name: a name with a path separator,
// a control character, or one that is "." or "..", could lead the game's writes out of the cache
// folder. Such a shape is cooked at every load instead of cached; so is every shape, silently,
// when the cache folder cannot be written (that was said once at start).
std::optional<std::string> cookedFilePath(const std::string& folder, const std::string& name,
                                          const std::string& nodeName);

// The payload of a valid cache file of that kind cooked from the geometry with that fingerprint,
// or nothing. A missing file is silent; a damaged or outdated one is logged.
std::optional<std::vector<std::uint8_t>> readCookedFile(const std::string& path, CookedKind kind,
                                                        std::uint64_t source = 0);

// The same for the bytes of a whole file; `path` only names it in log lines.
std::optional<std::vector<std::uint8_t>> cookedPayload(const std::vector<std::uint8_t>& file, CookedKind kind,
                                                       std::uint64_t source, const std::string& path);

// Writes the payload; false (with an error line) when the file cannot be written.
bool writeCookedFile(const std::string& path, CookedKind kind, const std::vector<std::uint8_t>& payload,
                     std::uint64_t source = 0);

// Logs that the payload of a file that passed readCookedFile was refused by its decoder.
void refuseCookedPayload(const std::string& path);

std::uint64_t cookedChecksum(const std::uint8_t* data, std::size_t size);

} // namespace hm
