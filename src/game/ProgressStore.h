// The player's progress file, "progress.ini" in the user's data folder, with its backup
// "progress.ini.bak" beside it.
//
// Reading (once, on first use): a good file is taken as it is. A damaged file, or one written by
// a later version of the game, is reported with a warning naming it and moved aside (renamed to
// progress.ini.damaged-N or progress.ini.newer-N, never deleted); the backup is then read the
// same way, and failing that the player starts afresh. A file that exists but cannot be opened
// is left alone, and nothing is written over it.
//
// Writing (after every better result): the file on disk becomes the backup, but only while it
// is a good one, and the new progress replaces it atomically (AtomicFileWriter). So a crash at
// any moment leaves a readable file or a readable backup, and a bad file is never written over
// a good one. A folder that cannot be written gives one warning; the game then plays on without
// saving.
#pragma once

#include "game/Progress.h"

#include <optional>
#include <string>

namespace hm {

class ProgressStore {
public:
    static constexpr const char* kFileName = "progress.ini";
    static constexpr const char* kBackupSuffix = ".bak";

    // The file in the user's data folder ($XDG_DATA_HOME/hollowmere, else
    // ~/.local/share/hollowmere); a store that saves nothing when neither can be found.
    ProgressStore();
    // The file in this folder (created when first written); an empty folder saves nothing.
    explicit ProgressStore(std::string folder);

    // The progress, read from the disk on first use.
    const Progress& progress();
    // Records a win of the level and writes the file when the result is better than the stored
    // one. Returns true when the file was written.
    bool recordWin(const std::string& level, int stars, int lives);

    const std::string& path() const { return path_; }
    std::string backupPath() const { return path_ + kBackupSuffix; }
    // False once saving has been given up (no folder, or it cannot be written).
    bool savingEnabled() const { return saving_; }

private:
    enum class FileState { Missing, Unreadable, Good, Bad };
    struct FileRead {
        FileState state = FileState::Missing;
        std::string text;
        std::optional<Progress> progress;
        ProgressProblem problem;
        std::string error; // why it could not be opened
    };

    void load();
    FileRead readFile(const std::string& path) const;
    // Warns about a bad file and renames it out of the way; false when it could not be moved.
    bool setAside(const std::string& path, const FileRead& read);
    bool save();
    void stopSaving(const std::string& reason);

    std::string path_;
    Progress progress_;
    bool loaded_ = false;
    bool saving_ = true;
};

} // namespace hm
