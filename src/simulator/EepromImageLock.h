#pragma once

#include <filesystem>
#include <string>

// Holds a station image for one user at a time, as a serial port is held by one program: a lock on
// "IMAGE.lock" beside the image (the image itself is replaced by a rename at every save, which
// would leave a lock on it behind). The kernel drops the lock when the holder dies; a clean release
// removes the lock file. An opener that locked a file removed meanwhile sees that it is no longer
// the one at the lock's name, and tries again, so two holders never hold two different files.
class EepromImageLock {
public:
    EepromImageLock() = default;
    ~EepromImageLock() { Release(); }
    EepromImageLock(const EepromImageLock&) = delete;
    EepromImageLock& operator=(const EepromImageLock&) = delete;

    // Takes the lock: 0, or the error number: EBUSY when someone else holds the image, another
    // when the lock file cannot be made. Reason() says it in words.
    int Acquire(const std::filesystem::path& image);
    static std::string Reason(const std::filesystem::path& image, int error);
    // Removes the lock file, then lets go of the lock.
    void Release();
    bool Held() const { return m_fd >= 0; }

private:
    int m_fd = -1;
    std::string m_lockFile;
};
