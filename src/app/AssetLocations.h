// Where the game's data lives, and how an artist's texture location becomes a file path.
//
// All data sits below GAME_DATA next to the working directory. Texture locations in model files
// and code are loose: a bare file name, a partial path, or a path written with backslashes. The
// locator turns such a location into the path of one existing file or folder, relative to a base
// folder (normally the textures folder), with '/' separators.
//
// Lookup order: the location as a path of its own, then base + location, then the last path
// component looked up by name in an index of everything below the indexed folder. When a name
// occurs more than once, the path sharing the longest tail with base + location wins; on a tie
// the one met first by the folder walk. The index is built on first use and never refreshed, so
// a file added later is only found when the location spells out its path.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace hm {

// Folder constants; every folder path ends with '/'.
inline const std::string kDataFolder = "GAME_DATA/";
inline const std::string kTexturesFolder = "GAME_DATA/textures/";
inline const std::string kModelsFolder = "GAME_DATA/models/";
inline const std::string kShadersFolder = "GAME_DATA/shaders/";

enum class AssetIndexKind { Files, Folders };

class AssetLocator {
public:
    // Name -> full paths of all entries with that name, in the order the walk met them.
    using Index = std::map<std::string, std::vector<std::string>>;

    // root: the folder whose contents are indexed (walked recursively on first use).
    explicit AssetLocator(std::string root);

    // Resolves location relative to base using the file or folder index. Returns the path
    // relative to base with '/' separators, or an empty string (after an error line) when
    // nothing fits. Both '\' and '/' are accepted as separators in location and base.
    std::string find(std::string_view location, std::string_view base, AssetIndexKind kind);

    const Index& index(AssetIndexKind kind);
    const std::string& root() const { return root_; }

    // Forgets the index so that the next lookup walks the folder again. The game never calls
    // this; tools and tests that change the working directory do.
    void invalidate();

private:
    void buildIndex();

    std::string root_;
    bool built_ = false;
    Index files_;
    Index folders_;
};

// The process-wide locator over the textures folder.
AssetLocator& textureLocator();

// Resolves a location through the textures index (see AssetLocator::find).
std::string findAsset(std::string_view location, std::string_view base, AssetIndexKind kind);

// Replaces every '\' by '/'.
std::string toForwardSlashes(std::string_view path);

} // namespace hm
