#include "app/AtomicFile.h"

#include "app/Log.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <system_error>
#include <unistd.h>

namespace hm {

bool writeFileAtomically(const std::filesystem::path& requested, std::string_view contents) {
    // A symbolic link (a player's settings kept with their other dotfiles) stays a link: the file
    // it points to is replaced.
    std::error_code linkError;
    std::filesystem::path path = requested;
    if (std::filesystem::symlink_status(requested, linkError).type() == std::filesystem::file_type::symlink) {
        path = std::filesystem::weakly_canonical(requested, linkError);
        if (linkError) {
            spdlog::error("Couldn't write {0} ({1}).", requested.string(), linkError.message());
            return false;
        }
    }
    const std::filesystem::path temporary = path.string() + ".tmp" + std::to_string(::getpid());
    auto fail = [&](const char* step) {
        spdlog::error("Couldn't write {0} ({1}: {2}).", path.string(), step, std::strerror(errno));
        ::unlink(temporary.c_str());
        return false;
    };
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return fail("create");
    std::size_t written = 0;
    while (written < contents.size()) {
        const ssize_t n = ::write(fd, contents.data() + written, contents.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int error = errno;
            ::close(fd);
            errno = error;
            return fail("write");
        }
        written += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return fail("flush");
    }
    if (::close(fd) != 0)
        return fail("close");
    if (::rename(temporary.c_str(), path.c_str()) != 0)
        return fail("rename");
    return true;
}

} // namespace hm
