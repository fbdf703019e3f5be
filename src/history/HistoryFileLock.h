#pragma once

#include <chrono>
#include <ctime>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <sys/types.h>

// What tells whether a history file changed since it was read: which file the path names (device
// and inode: a rewrite renames a new file over the old one), its size and modification time.
struct HistoryFileStamp {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};

    bool operator==(const HistoryFileStamp& other) const {
        return device == other.device && inode == other.inode && size == other.size &&
               modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec;
    }
};

// The stamp of the file the path names now; none when it does not exist or cannot be looked at.
std::optional<HistoryFileStamp> StampOfHistoryFile(const std::filesystem::path& path);

// An advisory lock (flock) on the file a path names, held until destruction. Every process that
// writes a history file takes it exclusively for the whole write, readers take it shared, so an
// append of one process never interleaves with a rewrite of another. A rewrite renames a new file
// over the old one; a writer that waited on the old file notices and locks the new one.
class HistoryFileLock {
public:
    enum class Mode { Shared, Exclusive };

    HistoryFileLock() = default;
    ~HistoryFileLock();
    HistoryFileLock(HistoryFileLock&& other) noexcept;
    HistoryFileLock& operator=(HistoryFileLock&& other) noexcept;
    HistoryFileLock(const HistoryFileLock&) = delete;
    HistoryFileLock& operator=(const HistoryFileLock&) = delete;

    // Opens and locks the file (created empty when create is set and it is missing); anything but
    // a regular file is refused without waiting (a FIFO never blocks the open). Waits for another
    // program's lock unless wait is false, but never longer than the wait limit nor after
    // InterruptWaits. On failure the lock is not held and Reason() says why, naming the program
    // that holds the file when the system tells ("it is in use by nivaro-cli (process 1234)").
    static HistoryFileLock Acquire(const std::filesystem::path& path, Mode mode, bool create,
                                   bool wait = true);
    // Ends every wait of this process, now and later (Ctrl+C on the command line).
    static void InterruptWaits();
    // How long Acquire waits at most (a minute unless set).
    static void SetWaitLimit(std::chrono::milliseconds limit);
    // Called once per Acquire that has to wait, with what it waits for (the command line says so).
    static void SetWaitNotice(std::function<void(const std::string&)> notice);

    bool Held() const { return m_fd >= 0; }
    // The system's reason when Acquire failed ("No such file or directory").
    const std::string& Reason() const { return m_reason; }
    bool Missing() const { return m_missing; }
    // The locked file's stamp now.
    std::optional<HistoryFileStamp> Stamp() const;
    // Flushes the locked file's data to the disk.
    bool Sync() const;
    void Release();

private:
    int m_fd = -1;
    bool m_missing = false;
    std::string m_reason;
};
