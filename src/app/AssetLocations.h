// Where the game's data and the player's files live, and how an artist's texture location becomes
// a file path.
//
// The data folder is chosen once at start (useGameData): the folder named by HOLLOWMERE_DATA, else
// GAME_DATA below the working directory (running from a checkout), else the installed data beside
// the program (../share/hollowmere/GAME_DATA). Every loader names its files "GAME_DATA/...", so
// for data found elsewhere the process moves its working directory to the folder holding it.
// Running from a checkout keeps the settings and the physics cache inside GAME_DATA; otherwise
// nothing is written there: the player's settings, caches, progress and replays go to the XDG
// folders of the user (each with its usual fallback under the home folder).
//
// Texture locations in model files
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

#include <filesystem>
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

// --- Where the data comes from ---------------------------------------------------------------

enum class DataOrigin {
    WorkingDirectory, // GAME_DATA below the working directory: a checkout, today's places
    Environment,      // the folder HOLLOWMERE_DATA names
    Installed,        // ../share/hollowmere/GAME_DATA beside the program
    NotFound,         // none of them; the game looks below the working directory and fails there
};

struct DataFolderChoice {
    std::filesystem::path folder; // the GAME_DATA folder; relative ("GAME_DATA") below the working directory
    DataOrigin origin = DataOrigin::WorkingDirectory;
};

// Decides where the data is for a program started at `executable` in `workingDirectory`, with
// HOLLOWMERE_DATA read from the environment. HOLLOWMERE_DATA names a folder called GAME_DATA or
// one holding it; anything else is ignored with a warning.
DataFolderChoice chooseDataFolder(const std::filesystem::path& workingDirectory,
                                  const std::filesystem::path& executable);

// --- The user's folders ---------------------------------------------------------------------
// $XDG_CONFIG_HOME/hollowmere, $XDG_CACHE_HOME/hollowmere and $XDG_DATA_HOME/hollowmere, each
// with its fallback (~/.config, ~/.cache, ~/.local/share) when the variable is unset, empty or
// not an absolute path. Empty when not even the home folder is known. They are not created here.
std::filesystem::path userConfigFolder();
std::filesystem::path userCacheFolder();
// Progress and replays: always this per-user folder, also when running from a checkout.
std::filesystem::path userDataFolder();

// Creates the folder (and its parents) when missing and checks that it can be written. False
// when it cannot, after one warning naming the folder and what follows from it (`consequence`,
// e.g. "progress is not saved"), once per folder and process.
bool prepareWritableFolder(const std::filesystem::path& folder,
                           std::string_view consequence = "nothing is saved there");

// The player's own copy of a shipped file: made from `shipped` when `file` does not exist yet
// (the first start), written atomically. False when there is no such file afterwards.
bool providePlayerFile(const std::filesystem::path& file, const std::filesystem::path& shipped);

// --- The places of this run -----------------------------------------------------------------

struct GamePlaces {
    std::filesystem::path dataFolder = "GAME_DATA";
    DataOrigin origin = DataOrigin::WorkingDirectory;
    // The settings file to read: "GAME_DATA/settings.ini" from a checkout; otherwise the player's
    // own file in the config folder, made from the data's file on the first start.
    std::filesystem::path settingsFile = "GAME_DATA/settings.ini";
    // True when settingsFile is the player's own: the game may write into it. Never the data's file.
    bool playerSettings = false;
    // The folder of the physics cache (holding convex_hulls/ and mesh_hulls/), ending in '/'; empty
    // when it cannot be written: shapes are then cooked at every load and never saved.
    std::string physicsCache = "GAME_DATA/physx_buffer/";

    // True when the data was not found below the working directory: the player's files live in
    // the user's folders and nothing is written into the data folder.
    bool perUser() const { return origin != DataOrigin::WorkingDirectory; }
};

// Chooses the data folder (chooseDataFolder with the real working directory and /proc/self/exe),
// logs it, moves the working directory to the folder holding it when it is elsewhere, and
// prepares the physics cache folder. Call once at start, before anything is loaded.
const GamePlaces& useGameData();

// The places of this run: those of useGameData, or a checkout's places before it is called.
const GamePlaces& gamePlaces();

} // namespace hm
