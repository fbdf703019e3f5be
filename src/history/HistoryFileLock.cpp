#include "history/HistoryFileLock.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

HistoryFileStamp StampOf(const struct stat& status) {
    HistoryFileStamp stamp;
    stamp.device = status.st_dev;
    stamp.inode = status.st_ino;
    stamp.size = status.st_size;
    stamp.modified = status.st_mtim;
    return stamp;
}

} // namespace

std::optional<HistoryFileStamp> StampOfHistoryFile(const std::filesystem::path& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0)
        return std::nullopt;
    return StampOf(status);
}

HistoryFileLock::~HistoryFileLock() {
    Release();
}

HistoryFileLock::HistoryFileLock(HistoryFileLock&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_missing(other.m_missing), m_reason(std::move(other.m_reason)) {}

HistoryFileLock& HistoryFileLock::operator=(HistoryFileLock&& other) noexcept {
    if (this != &other) {
        Release();
        m_fd = std::exchange(other.m_fd, -1);
        m_missing = other.m_missing;
        m_reason = std::move(other.m_reason);
    }
    return *this;
}

void HistoryFileLock::Release() {
    if (m_fd >= 0)
        ::close(m_fd); // closing the last descriptor drops the lock
    m_fd = -1;
}

HistoryFileLock HistoryFileLock::Acquire(const std::filesystem::path& path, Mode mode, bool create,
                                         bool wait) {
    HistoryFileLock lock;
    const int openFlags = (mode == Mode::Exclusive ? O_RDWR : O_RDONLY) | O_CLOEXEC | (create ? O_CREAT : 0);
    const int lockFlags = (mode == Mode::Exclusive ? LOCK_EX : LOCK_SH) | (wait ? 0 : LOCK_NB);
    for (;;) {
        const int fd = ::open(path.c_str(), openFlags, 0666);
        if (fd < 0) {
            lock.m_missing = errno == ENOENT;
            lock.m_reason = std::strerror(errno);
            return lock;
        }
        struct stat opened {};
        if (::fstat(fd, &opened) == 0 && !S_ISREG(opened.st_mode)) {
            // A device or folder is no history: reading /dev/zero would never end.
            lock.m_reason = "not a regular file";
            ::close(fd);
            return lock;
        }
        int locked;
        do
            locked = ::flock(fd, lockFlags);
        while (locked != 0 && errno == EINTR);
        if (locked != 0) {
            lock.m_reason = std::strerror(errno);
            ::close(fd);
            return lock;
        }
        // Another process may have renamed a rewritten file over the path while this one waited:
        // then the lock sits on a file nobody reads any more. Lock the one the path names now.
        struct stat held {
        }, named{};
        if (::fstat(fd, &held) == 0 && ::stat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
            held.st_ino == named.st_ino) {
            lock.m_fd = fd;
            return lock;
        }
        ::close(fd);
    }
}

std::optional<HistoryFileStamp> HistoryFileLock::Stamp() const {
    struct stat status {};
    if (m_fd < 0 || ::fstat(m_fd, &status) != 0)
        return std::nullopt;
    return StampOf(status);
}

bool HistoryFileLock::Sync() const {
    return m_fd >= 0 && ::fsync(m_fd) == 0;
}
