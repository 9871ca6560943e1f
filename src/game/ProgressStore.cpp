#include "game/ProgressStore.h"

#include "app/AssetLocations.h"
#include "app/AtomicFile.h"
#include "app/Log.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace fs = std::filesystem;

namespace hm {

namespace {

// A progress file is a few hundred bytes; anything this large is not one, and is not read whole.
constexpr std::uintmax_t kMaxFileSize = 1 << 20;
// A temporary file younger than this may belong to another running game that is writing.
constexpr double kStaleTemporarySeconds = 60.0;

std::string joinFile(const std::string& folder, const char* name) {
    if (folder.empty())
        return {};
    return (fs::path(folder) / name).string();
}

} // namespace

ProgressStore::ProgressStore() : ProgressStore(userDataFolder().string()) {}

ProgressStore::ProgressStore(std::string folder) : path_(joinFile(folder, kFileName)) {}

const Progress& ProgressStore::progress() {
    if (!loaded_)
        load();
    return progress_;
}

ProgressStore::FileRead ProgressStore::readFile(const std::string& path) const {
    FileRead read;
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (!fs::exists(status)) {
        // A path through something that is not a folder holds no file either.
        const bool absent =
            !ec || ec == std::errc::no_such_file_or_directory || ec == std::errc::not_a_directory;
        read.state = absent ? FileState::Missing : FileState::Unreadable;
        read.error = ec ? ec.message() : std::string();
        return read;
    }
    if (!fs::is_regular_file(status)) {
        read.state = FileState::Bad;
        read.problem.reason = "it is not a file";
        return read;
    }
    const std::uintmax_t size = fs::file_size(path, ec);
    if (!ec && size > kMaxFileSize) {
        read.state = FileState::Bad;
        read.problem.reason = "it is " + std::to_string(size) + " bytes long, far too long for progress";
        return read;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        read.state = FileState::Unreadable;
        read.error = std::strerror(errno);
        return read;
    }
    read.text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) {
        read.state = FileState::Unreadable;
        read.error = "read error";
        return read;
    }
    read.progress = Progress::fromText(read.text, read.problem);
    read.state = read.progress ? FileState::Good : FileState::Bad;
    return read;
}

bool ProgressStore::setAside(const std::string& path, const FileRead& read) {
    const std::string what = read.problem.line > 0
                                 ? "line " + std::to_string(read.problem.line) + ": " + read.problem.reason
                                 : read.problem.reason;
    const char* kind = read.problem.newerVersion ? ".newer-" : ".damaged-";
    std::string aside;
    std::error_code ec;
    for (int n = 1; n < 1000; ++n) {
        const std::string candidate = path + kind + std::to_string(n);
        if (!fs::exists(fs::symlink_status(candidate, ec))) {
            aside = candidate;
            break;
        }
    }
    if (!aside.empty()) {
        fs::rename(path, aside, ec);
        if (!ec) {
            if (read.problem.newerVersion)
                spdlog::warn("The progress file {0} was written by a newer version of the game ({1}); it is "
                             "kept as {2}.",
                             path, what, aside);
            else
                spdlog::warn("The progress file {0} is damaged ({1}); it is kept as {2}.", path, what, aside);
            return true;
        }
    }
    spdlog::warn("The progress file {0} cannot be used ({1}) and cannot be moved aside{2}{3}.", path, what,
                 ec ? ": " : "", ec ? ec.message() : std::string());
    return false;
}

void ProgressStore::load() {
    loaded_ = true;
    progress_ = Progress();
    if (path_.empty()) {
        prepareWritableFolder({}, "progress is not saved"); // says that no folder is known
        saving_ = false;
        return;
    }
    removeStaleTemporaries(path_, kStaleTemporarySeconds);

    const FileRead main = readFile(path_);
    switch (main.state) {
    case FileState::Good:
        progress_ = *main.progress;
        spdlog::info("Progress read from {0}: {1} levels played.", path_, progress_.levels().size());
        return;
    case FileState::Unreadable:
        // It may well be good: never write over it.
        spdlog::warn("The progress file {0} cannot be read ({1}).", path_, main.error);
        stopSaving("its progress file cannot be read");
        return;
    case FileState::Bad:
        if (!setAside(path_, main)) {
            stopSaving("its progress file cannot be moved aside");
            return;
        }
        break;
    case FileState::Missing:
        break;
    }

    const std::string backup = backupPath();
    const FileRead saved = readFile(backup);
    switch (saved.state) {
    case FileState::Good:
        progress_ = *saved.progress;
        spdlog::info("Progress read from the backup {0}: {1} levels played.", backup,
                     progress_.levels().size());
        return;
    case FileState::Unreadable:
        spdlog::warn("The progress backup {0} cannot be read ({1}).", backup, saved.error);
        break;
    case FileState::Bad:
        setAside(backup, saved);
        break;
    case FileState::Missing:
        break;
    }
    if (main.state == FileState::Bad)
        spdlog::warn("Progress starts afresh.");
    else if (saved.state == FileState::Missing)
        spdlog::info("No saved progress in {0} yet: a new player.", path_);
}

bool ProgressStore::recordWin(const std::string& level, int stars, int lives) {
    progress();
    if (!progress_.record(level, stars, lives))
        return false;
    return save();
}

void ProgressStore::stopSaving(const std::string& reason) {
    if (!saving_)
        return;
    saving_ = false;
    spdlog::warn("Progress will not be saved: {0}. The game plays on.", reason);
}

bool ProgressStore::save() {
    if (!saving_)
        return false;
    // One warning for a folder that cannot be written (it names the folder), then no more tries.
    if (!prepareWritableFolder(fs::path(path_).parent_path(), "progress is not saved")) {
        saving_ = false;
        return false;
    }

    // The file on disk becomes the backup while it is a good one. It is read again rather than
    // trusted from the start: another game may have written it since, or the disk damaged it.
    const FileRead current = readFile(path_);
    switch (current.state) {
    case FileState::Good:
        if (!writeFileAtomically(backupPath(), current.text)) {
            stopSaving("the backup cannot be written");
            return false;
        }
        break;
    case FileState::Bad:
        if (!setAside(path_, current)) {
            stopSaving("its progress file cannot be moved aside");
            return false;
        }
        break;
    case FileState::Unreadable:
        spdlog::warn("The progress file {0} cannot be read ({1}).", path_, current.error);
        stopSaving("its progress file cannot be read");
        return false;
    case FileState::Missing:
        break;
    }

    if (!writeFileAtomically(path_, progress_.toText())) {
        stopSaving("the progress file cannot be written");
        return false;
    }
    return true;
}

} // namespace hm
