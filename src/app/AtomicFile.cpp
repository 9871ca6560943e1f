#include "app/AtomicFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace hm {

namespace {

std::string systemError(const std::string& what, int code) {
    return what + ": " + std::strerror(code);
}

std::string folderOf(const std::string& path) {
    const fs::path folder = fs::path(path).parent_path();
    return folder.empty() ? std::string(".") : folder.string();
}

// Makes a finished rename in the folder durable. Some file systems refuse to sync a folder;
// the rename itself has happened then, so this is not reported.
void syncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

AtomicFileWriter::AtomicFileWriter(std::string target) : target_(std::move(target)) {}

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
    std::string pattern = target_ + std::string(kTemporaryMark) + "XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        error_ = systemError("cannot create a temporary file beside " + target_, errno);
        return false;
    }
    temporary_ = name.data();
    std::FILE* file = ::fdopen(fd, "wb");
    if (!file) {
        error_ = systemError("cannot write " + temporary_, errno);
        ::close(fd);
        discard();
        return false;
    }
    bool ok = std::fwrite(content.data(), 1, content.size(), file) == content.size();
    ok = ok && std::fflush(file) == 0;
    ok = ok && ::fsync(::fileno(file)) == 0;
    const int code = errno;
    if (std::fclose(file) != 0 && ok) {
        error_ = systemError("cannot write " + temporary_, errno);
        discard();
        return false;
    }
    if (!ok) {
        error_ = systemError("cannot write " + temporary_, code);
        discard();
        return false;
    }
    return true;
}

bool AtomicFileWriter::commit() {
    if (temporary_.empty()) {
        if (error_.empty())
            error_ = "nothing was written to put in place of " + target_;
        return false;
    }
    if (std::rename(temporary_.c_str(), target_.c_str()) != 0) {
        error_ = systemError("cannot rename " + temporary_ + " to " + target_, errno);
        discard();
        return false;
    }
    temporary_.clear();
    syncFolder(folderOf(target_));
    return true;
}

bool writeFileAtomically(const std::string& target, std::string_view content, std::string& error) {
    AtomicFileWriter writer(target);
    if (writer.write(content) && writer.commit())
        return true;
    error = writer.error();
    return false;
}

int removeStaleTemporaries(const std::string& target, double minimumAgeSeconds) {
    const fs::path targetPath(target);
    const std::string prefix = targetPath.filename().string() + std::string(AtomicFileWriter::kTemporaryMark);
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
