#include "app/AssetLocations.h"

#include "app/AtomicFile.h"
#include "app/Log.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <pwd.h>
#include <set>
#include <sstream>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace hm {
namespace {

// Characters two paths share, compared from their last characters backwards.
std::size_t sharedTailLength(std::string_view a, std::string_view b) {
    std::size_t n = 0;
    const std::size_t limit = std::min(a.size(), b.size());
    while (n < limit && a[a.size() - 1 - n] == b[b.size() - 1 - n])
        ++n;
    return n;
}

bool pathExists(const fs::path& path) {
    std::error_code ec;
    return fs::exists(path, ec);
}

bool isFolder(const fs::path& path) {
    std::error_code ec;
    return fs::is_directory(path, ec);
}

// An absolute path from the environment; relative values are ignored, as the XDG rules say.
fs::path absoluteFromEnvironment(const char* variable) {
    const char* value = std::getenv(variable);
    if (!value || value[0] != '/')
        return {};
    return fs::path(value);
}

// $HOME, or the home folder of the user's account when HOME is not set.
fs::path homeFolder() {
    if (fs::path home = absoluteFromEnvironment("HOME"); !home.empty())
        return home;
    passwd entry{};
    passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_dir && found->pw_dir[0] == '/')
        return fs::path(found->pw_dir);
    return {};
}

fs::path userFolder(const char* variable, const char* fallbackBelowHome) {
    if (fs::path base = absoluteFromEnvironment(variable); !base.empty())
        return base / "hollowmere";
    const fs::path home = homeFolder();
    if (home.empty())
        return {};
    return home / fallbackBelowHome / "hollowmere";
}

GamePlaces& currentPlaces() {
    static GamePlaces places;
    return places;
}

const char* originText(DataOrigin origin) {
    switch (origin) {
    case DataOrigin::Environment:
        return "named by HOLLOWMERE_DATA";
    case DataOrigin::Installed:
        return "installed beside the program";
    case DataOrigin::NotFound:
        return "not found";
    case DataOrigin::WorkingDirectory:
        break;
    }
    return "below the working directory";
}

} // namespace

std::string toForwardSlashes(std::string_view path) {
    std::string out(path);
    std::replace(out.begin(), out.end(), '\\', '/');
    return out;
}

AssetLocator::AssetLocator(std::string root) : root_(toForwardSlashes(root)) {}

void AssetLocator::invalidate() {
    built_ = false;
    files_.clear();
    folders_.clear();
}

void AssetLocator::buildIndex() {
    built_ = true;
    files_.clear();
    folders_.clear();
    // A missing or unreadable folder leaves the index empty: lookups by name then fail with
    // their own log line instead of taking the caller down with a file-system exception.
    std::error_code ec;
    auto it = fs::recursive_directory_iterator(root_, fs::directory_options::skip_permission_denied, ec);
    for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        std::error_code typeError;
        const auto status = it->status(typeError);
        if (typeError)
            continue;
        const fs::path& path = it->path();
        if (fs::is_regular_file(status))
            files_[path.filename().string()].push_back(path.generic_string());
        else if (fs::is_directory(status))
            folders_[path.filename().string()].push_back(path.generic_string());
    }
    if (ec)
        spdlog::error("The asset folder {0} couldn't be indexed: {1}", root_, ec.message());
}

const AssetLocator::Index& AssetLocator::index(AssetIndexKind kind) {
    if (!built_)
        buildIndex();
    return kind == AssetIndexKind::Files ? files_ : folders_;
}

std::string AssetLocator::find(std::string_view location, std::string_view base, AssetIndexKind kind) {
    const Index& names = index(kind);

    std::string requested = toForwardSlashes(location);
    // "sky/" names the folder "sky"; without this the last component would be empty.
    while (requested.size() > 1 && requested.back() == '/')
        requested.pop_back();
    const fs::path basePath(toForwardSlashes(base));

    fs::path candidate;
    if (!requested.empty()) {
        const fs::path joined = basePath / requested;
        if (pathExists(requested)) {
            candidate = requested;
        } else if (pathExists(joined)) {
            candidate = joined;
        } else if (auto entry = names.find(joined.filename().string()); entry != names.end()) {
            const std::string wanted = joined.generic_string();
            std::size_t best = 0;
            const std::string* bestPath = nullptr;
            for (const std::string& path : entry->second) {
                const std::size_t shared = sharedTailLength(path, wanted);
                if (!bestPath || shared > best) {
                    best = shared;
                    bestPath = &path;
                }
            }
            if (bestPath)
                candidate = *bestPath;
        }
    }

    if (candidate.empty()) {
        spdlog::error("I couldn't find an asset file for the given location {0}.", std::string(location));
        return {};
    }

    std::error_code candidateError, baseError;
    const fs::path canonicalCandidate = fs::canonical(candidate, candidateError);
    const fs::path canonicalBase = fs::canonical(basePath, baseError);
    if (candidateError || baseError) {
        spdlog::error("The file {0} doesn't seem to be inside the base-folder. That's an issue!",
                      candidate.generic_string());
        return {};
    }
    return canonicalCandidate.lexically_relative(canonicalBase).generic_string();
}

AssetLocator& textureLocator() {
    static AssetLocator locator(kTexturesFolder);
    return locator;
}

std::string findAsset(std::string_view location, std::string_view base, AssetIndexKind kind) {
    return textureLocator().find(location, base, kind);
}

DataFolderChoice chooseDataFolder(const fs::path& workingDirectory, const fs::path& executable) {
    if (const char* named = std::getenv("HOLLOWMERE_DATA"); named && *named) {
        fs::path folder = (workingDirectory / named).lexically_normal();
        if (!folder.has_filename())
            folder = folder.parent_path();
        if (folder.filename() == "GAME_DATA" && isFolder(folder))
            return {folder, DataOrigin::Environment};
        if (isFolder(folder / "GAME_DATA"))
            return {folder / "GAME_DATA", DataOrigin::Environment};
        spdlog::warn(
            "HOLLOWMERE_DATA={0} is neither a GAME_DATA folder nor a folder holding one; it is ignored.",
            named);
    }
    if (isFolder(workingDirectory / "GAME_DATA"))
        return {fs::path("GAME_DATA"), DataOrigin::WorkingDirectory};
    if (!executable.empty()) {
        const fs::path installed =
            (executable.parent_path() / ".." / "share" / "hollowmere" / "GAME_DATA").lexically_normal();
        if (isFolder(installed))
            return {installed, DataOrigin::Installed};
    }
    return {fs::path("GAME_DATA"), DataOrigin::NotFound};
}

fs::path userConfigFolder() {
    return userFolder("XDG_CONFIG_HOME", ".config");
}

fs::path userCacheFolder() {
    return userFolder("XDG_CACHE_HOME", ".cache");
}

fs::path userDataFolder() {
    return userFolder("XDG_DATA_HOME", ".local/share");
}

bool prepareWritableFolder(const fs::path& folder, std::string_view consequence) {
    std::error_code ec;
    if (folder.empty()) {
        ec = std::make_error_code(std::errc::no_such_file_or_directory);
    } else {
        fs::create_directories(folder, ec);
        if (!ec && !isFolder(folder))
            ec = std::make_error_code(std::errc::not_a_directory);
        if (!ec && ::access(folder.c_str(), W_OK | X_OK) != 0)
            ec = std::error_code(errno, std::generic_category());
    }
    if (!ec)
        return true;
    static std::mutex mutex;
    static std::set<fs::path> warned;
    const std::lock_guard lock(mutex);
    if (warned.insert(folder).second) {
        if (folder.empty())
            spdlog::warn("No folder for the player's files is known (HOME is not set); {0}.", consequence);
        else
            spdlog::warn("The folder {0} cannot be created or written ({1}); {2}.", folder.string(),
                         ec.message(), consequence);
    }
    return false;
}

bool providePlayerFile(const fs::path& file, const fs::path& shipped) {
    std::error_code ec;
    if (fs::exists(file, ec))
        return true;
    std::ifstream in(shipped, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream contents;
    contents << in.rdbuf();
    if (!in.good() && !in.eof())
        return false;
    if (!writeFileAtomically(file, contents.str())) {
        spdlog::warn("Couldn't make {0} from {1}; the game's own copy is read instead.", file.string(),
                     shipped.string());
        return false;
    }
    spdlog::info("First start: made {0} from {1}.", file.string(), shipped.string());
    return true;
}

const GamePlaces& useGameData() {
    std::error_code ec;
    const fs::path workingDirectory = fs::current_path(ec);
    const fs::path executable = fs::read_symlink("/proc/self/exe", ec);
    const DataFolderChoice choice = chooseDataFolder(workingDirectory, ec ? fs::path() : executable);

    GamePlaces places;
    places.origin = choice.origin;
    if (choice.origin == DataOrigin::NotFound) {
        spdlog::error(
            "No game data found: there is no GAME_DATA below the working directory {0} nor at {1}; "
            "HOLLOWMERE_DATA can name the GAME_DATA folder.",
            workingDirectory.string(),
            (executable.parent_path() / "../share/hollowmere/GAME_DATA").lexically_normal().string());
        places.physicsCache.clear(); // no GAME_DATA here: nothing may be made in a foreign folder
        return currentPlaces() = places;
    }
    if (choice.origin == DataOrigin::WorkingDirectory) {
        spdlog::info("Game data: {0} ({1} {2}).", choice.folder.string(), originText(choice.origin),
                     workingDirectory.string());
        if (!prepareWritableFolder(places.physicsCache,
                                   "the physics shapes are cooked at every load and not saved"))
            places.physicsCache.clear();
        return currentPlaces() = places;
    }

    // Data elsewhere: every loader names "GAME_DATA/...", so the folder holding it becomes the
    // working directory. The player's files go to the user's folders.
    spdlog::info("Game data: {0} ({1}).", choice.folder.string(), originText(choice.origin));
    fs::current_path(choice.folder.parent_path(), ec);
    if (ec)
        spdlog::error("Couldn't change into the folder {0} holding the game data: {1}.",
                      choice.folder.parent_path().string(), ec.message());
    places.dataFolder = choice.folder;

    const fs::path config = userConfigFolder();
    if (prepareWritableFolder(config, "the settings are read from the game data and not saved") &&
        providePlayerFile(config / "settings.ini", "GAME_DATA/settings.ini")) {
        places.settingsFile = config / "settings.ini";
        places.playerSettings = true;
    }
    const fs::path cache = userCacheFolder();
    places.physicsCache =
        prepareWritableFolder(cache, "the physics shapes are cooked at every load and not saved")
            ? cache.string() + "/"
            : std::string();
    spdlog::info("Player's files: settings {0}, physics cache {1}, progress and replays {2}.",
                 places.settingsFile.string(), places.physicsCache.empty() ? "none" : places.physicsCache,
                 userDataFolder().string());
    return currentPlaces() = places;
}

const GamePlaces& gamePlaces() {
    return currentPlaces();
}

} // namespace hm
