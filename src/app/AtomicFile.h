// Replacing a small file so that a crash or a power cut at any moment leaves either the old
// file or the new one in its place, never a mix or an empty file.
//
// The new content goes to a temporary file beside the target (same folder, so the rename stays
// on one file system), is flushed and synced to the disk, and is then renamed over the target;
// the folder is synced after the rename so that the new name itself survives. The new file is
// private to the user (mode 0600, as mkostemp makes it). A temporary file that was written but
// never committed is removed when the writer goes; one left by a process that died is found by
// its name (TARGET + kTemporaryMark + six characters) and can be cleared with
// removeStaleTemporaries.
#pragma once

#include <string>
#include <string_view>

namespace hm {

class AtomicFileWriter {
public:
    static constexpr std::string_view kTemporaryMark = ".tmp-";

    explicit AtomicFileWriter(std::string target);
    // Removes the temporary file of a write that was not committed.
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    // Writes the whole content to a new temporary file beside the target and syncs it to the
    // disk. False with error() set when that fails (the temporary file is then gone).
    bool write(std::string_view content);
    // Renames the written temporary file over the target and syncs the folder.
    bool commit();

    const std::string& target() const { return target_; }
    const std::string& temporaryPath() const { return temporary_; }
    // What went wrong, as "what: system message".
    const std::string& error() const { return error_; }

private:
    void discard();

    std::string target_;
    std::string temporary_;
    std::string error_;
};

// write + commit in one call; false with the reason in error.
bool writeFileAtomically(const std::string& target, std::string_view content, std::string& error);

// Removes temporary files of the target that a write left behind and that are older than
// minimumAgeSeconds (a younger one may belong to a write still under way in another process).
// Returns how many were removed.
int removeStaleTemporaries(const std::string& target, double minimumAgeSeconds);

} // namespace hm
