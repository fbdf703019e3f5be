#include "history/HistoryFileLock.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>
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

std::atomic<bool> g_waitsInterrupted{false};
std::atomic<long long> g_waitLimitMs{60'000};
std::function<void(const std::string&)> g_waitNotice;

// Reads the name of a program from /proc ("nivaro-cli"); empty when it cannot be told.
std::string ProgramName(long pid) {
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

// "nivaro-cli (process 1234)": who holds a flock on the file, from the kernel's lock list.
std::string HolderOf(int fd) {
    struct stat status {};
    if (::fstat(fd, &status) != 0)
        return {};
    std::ifstream locks("/proc/locks");
    std::string line;
    while (std::getline(locks, line)) {
        std::istringstream fields(line);
        std::string number, kind, advisory, access, file;
        long pid = 0;
        if (!(fields >> number >> kind) || kind == "->" || kind != "FLOCK")
            continue;
        if (!(fields >> advisory >> access >> pid >> file))
            continue;
        unsigned major = 0, minor = 0;
        unsigned long long inode = 0;
        if (std::sscanf(file.c_str(), "%x:%x:%llu", &major, &minor, &inode) != 3)
            continue;
        if (inode == status.st_ino && makedev(major, minor) == status.st_dev && pid != ::getpid()) {
            const std::string name = ProgramName(pid);
            return (name.empty() ? std::string("process ") : name + " (process ") + std::to_string(pid) +
                   (name.empty() ? "" : ")");
        }
    }
    return {};
}

// Takes the flock, waiting (when asked) at most the wait limit and only until waits are
// interrupted; "" when it is held, else why not.
std::string LockWithin(int fd, const std::filesystem::path& path, int flags, bool wait) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(g_waitLimitMs.load());
    bool noticed = false;
    for (;;) {
        if (::flock(fd, flags) == 0)
            return {};
        if (errno == EINTR)
            continue;
        if (errno != EWOULDBLOCK)
            return std::strerror(errno);
        const std::string holder = HolderOf(fd);
        const std::string heldBy =
            "it is in use by " + (holder.empty() ? std::string("another program") : holder);
        if (!wait)
            return heldBy;
        if (!noticed && g_waitNotice)
            g_waitNotice("waiting for '" + path.string() + "': " + heldBy);
        noticed = true;
        if (g_waitsInterrupted)
            return "interrupted while waiting: " + heldBy;
        if (Clock::now() >= deadline)
            return heldBy + " for longer than " + std::to_string(g_waitLimitMs.load() / 1000) + " s";
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

} // namespace

void HistoryFileLock::InterruptWaits() {
    g_waitsInterrupted = true;
}

void HistoryFileLock::SetWaitLimit(std::chrono::milliseconds limit) {
    g_waitLimitMs = limit.count();
}

void HistoryFileLock::SetWaitNotice(std::function<void(const std::string&)> notice) {
    g_waitNotice = std::move(notice);
}

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
    // Not blocking: opening a FIFO would wait for a writer that may never come.
    const int openFlags =
        (mode == Mode::Exclusive ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NONBLOCK | (create ? O_CREAT : 0);
    const int lockFlags = (mode == Mode::Exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB;
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
        if (std::string failure = LockWithin(fd, path, lockFlags, wait); !failure.empty()) {
            lock.m_reason = std::move(failure);
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
