#include "app/AtomicFile.h"

#include "app/Log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace hm {

namespace {

std::string systemError(const char* step, int code) {
    return std::string(step) + ": " + std::strerror(code);
}

fs::path folderOf(const fs::path& path) {
    const fs::path folder = path.parent_path();
    return folder.empty() ? fs::path(".") : folder;
}

// Makes a finished rename in the folder durable. Some file systems refuse to sync a folder;
// the rename itself has happened then, so this is not reported.
void syncFolder(const fs::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

AtomicFileWriter::AtomicFileWriter(fs::path target) : target_(std::move(target)) {}

AtomicFileWriter::~AtomicFileWriter() {
    discard();
}

void AtomicFileWriter::discard() {
    if (temporary_.empty())
        return;
    ::unlink(temporary_.c_str());
    temporary_.clear();
}

bool AtomicFileWriter::write(std::string_view content) {
    discard();
    error_.clear();
    const std::string pattern = target_.string() + std::string(kTemporaryMark) + "XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        error_ = systemError("create", errno);
        return false;
    }
    temporary_ = name.data();
    // mkostemp makes the file private; give it the mode of an ordinary new file.
    ::fchmod(fd, 0644);
    std::size_t written = 0;
    while (written < content.size()) {
        const ssize_t n = ::write(fd, content.data() + written, content.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error_ = systemError("write", n < 0 ? errno : EIO);
            ::close(fd);
            discard();
            return false;
        }
        written += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0) {
        error_ = systemError("flush", errno);
        ::close(fd);
        discard();
        return false;
    }
    if (::close(fd) != 0) {
        error_ = systemError("close", errno);
        discard();
        return false;
    }
    return true;
}

bool AtomicFileWriter::commit() {
    if (temporary_.empty()) {
        if (error_.empty())
            error_ = "rename: nothing was written";
        return false;
    }
    if (std::rename(temporary_.c_str(), target_.c_str()) != 0) {
        error_ = systemError("rename", errno);
        discard();
        return false;
    }
    temporary_.clear();
    syncFolder(folderOf(target_));
    return true;
}

bool writeFileAtomically(const fs::path& requested, std::string_view contents) {
    // A symbolic link (a player's settings kept with their other dotfiles) stays a link: the file
    // it points to is replaced.
    std::error_code linkError;
    fs::path path = requested;
    if (fs::symlink_status(requested, linkError).type() == fs::file_type::symlink) {
        path = fs::weakly_canonical(requested, linkError);
        if (linkError) {
            spdlog::error("Couldn't write {0} ({1}).", requested.string(), linkError.message());
            return false;
        }
    }
    AtomicFileWriter writer(path);
    if (writer.write(contents) && writer.commit())
        return true;
    spdlog::error("Couldn't write {0} ({1}).", path.string(), writer.error());
    return false;
}

int removeStaleTemporaries(const fs::path& target, double minimumAgeSeconds) {
    const std::string prefix = target.filename().string() + std::string(AtomicFileWriter::kTemporaryMark);
    std::error_code ec;
    fs::directory_iterator it(folderOf(target), ec);
    if (ec)
        return 0;
    const auto now = fs::file_time_type::clock::now();
    int removed = 0;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec)
            break;
        const std::string name = it->path().filename().string();
        // The writer's names: the prefix and the six characters mkostemp chose.
        if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0)
            continue;
        std::error_code entryError;
        if (!it->is_regular_file(entryError))
            continue;
        const auto written = it->last_write_time(entryError);
        if (entryError)
            continue;
        const double age = std::chrono::duration<double>(now - written).count();
        if (age < minimumAgeSeconds)
            continue;
        if (fs::remove(it->path(), entryError))
            ++removed;
    }
    return removed;
}

} // namespace hm
