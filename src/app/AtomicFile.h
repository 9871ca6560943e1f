// Whole-file writes that never leave a half-written file under the real name: a crash or a
// power cut at any moment leaves either the old file or the new one in its place.
//
// The new content goes to a temporary file beside the target (same folder, so the rename stays
// on one file system), is flushed and synced to the disk, and is then renamed over the target;
// the folder is synced after the rename so that the new name itself survives. A temporary file
// that was written but never committed is removed when its writer goes; one left by a process
// that died is found by its name (TARGET + kTemporaryMark + six characters) and can be cleared
// with removeStaleTemporaries.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace hm {

// The two steps of a write, for a caller that needs them apart (and for tests that stop between
// them as a crash would).
class AtomicFileWriter {
public:
    static constexpr std::string_view kTemporaryMark = ".tmp-";

    explicit AtomicFileWriter(std::filesystem::path target);
    // Removes the temporary file of a write that was not committed.
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    // Writes the whole content to a new temporary file beside the target and syncs it to the
    // disk. False with error() set when that fails (the temporary file is then gone).
    bool write(std::string_view content);
    // Renames the written temporary file over the target and syncs the folder.
    bool commit();

    const std::filesystem::path& target() const { return target_; }
    const std::string& temporaryPath() const { return temporary_; }
    // What went wrong, as "step: system message".
    const std::string& error() const { return error_; }

private:
    void discard();

    std::filesystem::path target_;
    std::string temporary_;
    std::string error_;
};

// Writes `contents` to a temporary file in the same folder, flushes it to disk and renames it
// over `path`. False (with an error line naming the file) when any step fails; the temporary file
// is removed then and an existing file at `path` stays as it was. A symbolic link at `path` is
// kept and the file it points to replaced.
bool writeFileAtomically(const std::filesystem::path& path, std::string_view contents);

// Removes temporary files of the target that a write left behind and that are older than
// minimumAgeSeconds (a younger one may belong to a write still under way in another process).
// Returns how many were removed.
int removeStaleTemporaries(const std::filesystem::path& target, double minimumAgeSeconds);

} // namespace hm
