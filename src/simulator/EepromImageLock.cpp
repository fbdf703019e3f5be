#include "simulator/EepromImageLock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

int EepromImageLock::Acquire(const std::filesystem::path& image) {
    if (Held())
        return 0;
    const std::string lockFile = image.string() + ".lock";
    const int fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return errno;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        return error == EWOULDBLOCK ? EBUSY : error;
    }
    _fd = fd;
    return 0;
}

std::string EepromImageLock::Reason(const std::filesystem::path& image, int error) {
    if (error == EBUSY)
        return "the simulated station " + image.string() + " is in use by another program";
    return "cannot lock " + image.string() + ".lock";
}

void EepromImageLock::Release() {
    if (_fd < 0)
        return;
    ::close(_fd);
    _fd = -1;
}
