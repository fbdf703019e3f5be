#include "simulator/EepromImageLock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Whether the open file is still the one at the path (not removed or replaced since it was opened).
bool StillAt(int fd, const std::string& path) {
    struct stat opened {
    }, named{};
    return ::fstat(fd, &opened) == 0 && ::stat(path.c_str(), &named) == 0 && opened.st_dev == named.st_dev &&
           opened.st_ino == named.st_ino;
}

} // namespace

int EepromImageLock::Acquire(const std::filesystem::path& image) {
    if (Held())
        return 0;
    const std::string lockFile = image.string() + ".lock";
    // A holder removes the file as it lets go; a file locked just after that is not the lock any more.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const int fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
        if (fd < 0)
            return errno;
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            ::close(fd);
            return error == EWOULDBLOCK ? EBUSY : error;
        }
        if (StillAt(fd, lockFile)) {
            m_fd = fd;
            m_lockFile = lockFile;
            return 0;
        }
        ::close(fd);
    }
    return EBUSY;
}

std::string EepromImageLock::Reason(const std::filesystem::path& image, int error) {
    if (error == EBUSY)
        return "the simulated station " + image.string() + " is in use by another program";
    return "cannot lock " + image.string() + ".lock";
}

void EepromImageLock::Release() {
    if (m_fd < 0)
        return;
    ::unlink(m_lockFile.c_str()); // while still held, so no one else's lock file is removed
    ::close(m_fd);
    m_fd = -1;
}
