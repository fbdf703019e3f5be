#include "station/ImportHandoverSocket.h"

#include "platform/PortName.h"
#include "simulator/SimulatorTarget.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

std::string Reason() {
    return std::strerror(errno);
}

// The folder, made when missing; false when it is not this user's alone (a link, another
// owner, open to others).
bool OwnPrivateFolder(const fs::path& folder) {
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat status {};
    return ::lstat(folder.c_str(), &status) == 0 && S_ISDIR(status.st_mode) && status.st_uid == ::getuid() &&
           (status.st_mode & 077) == 0;
}

bool FillAddress(const fs::path& path, sockaddr_un& address) {
    address = {};
    address.sun_family = AF_UNIX;
    const std::string& text = path.native();
    if (text.size() >= sizeof(address.sun_path))
        return false;
    std::memcpy(address.sun_path, text.c_str(), text.size() + 1);
    return true;
}

std::optional<uid_t> PeerUser(int fd) {
    ucred credentials{};
    socklen_t size = sizeof(credentials);
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0)
        return std::nullopt;
    return credentials.uid;
}

// A connected socket to path, or -1 with errno set.
int Connect(const fs::path& path) {
    sockaddr_un address;
    if (!FillAddress(path, address)) {
        errno = ENAMETOOLONG;
        return -1;
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

} // namespace

fs::path HandoverFolder(const char* xdgRuntimeDir, uid_t uid) {
    if (xdgRuntimeDir && *xdgRuntimeDir == '/')
        return fs::path(xdgRuntimeDir) / "nivaro";
    return fs::path("/tmp") / ("nivaro-" + std::to_string(uid));
}

std::optional<std::string> StationKey(const std::string& portName) {
    const PortTarget target = ResolvePortName(portName);
    struct stat status {};
    if (target.kind == PortTarget::Kind::Device) {
        if (::stat(target.path.c_str(), &status) != 0 || !S_ISCHR(status.st_mode))
            return std::nullopt;
        return "tty-" + std::to_string(major(status.st_rdev)) + "-" + std::to_string(minor(status.st_rdev));
    }
    fs::path image;
    try {
        image = ParseSimulatorTarget(target.path).imageFile;
    } catch (const std::invalid_argument&) {
        return std::nullopt;
    }
    std::error_code error;
    if (image.empty() || !fs::exists(image, error))
        return std::nullopt;
    // By its resolved path, not its inode: every save replaces the image file with a new one.
    const std::string resolved = fs::weakly_canonical(fs::absolute(image), error).string();
    std::uint64_t hash = 14695981039346656037ull; // FNV-1a: short enough for a socket name
    for (const char c : resolved)
        hash = (hash ^ std::uint8_t(c)) * 1099511628211ull;
    char text[17];
    std::snprintf(text, sizeof(text), "%016llx", static_cast<unsigned long long>(hash));
    return "sim-" + std::string(text);
}

std::optional<fs::path> HandoverSocketPath(const std::string& portName) {
    const std::optional<std::string> key = StationKey(portName);
    if (!key)
        return std::nullopt;
    return HandoverFolder(std::getenv("XDG_RUNTIME_DIR"), ::getuid()) / ("import-" + *key + ".sock");
}

HandoverListener::HandoverListener(fs::path path) : m_path(std::move(path)) {
    if (!OwnPrivateFolder(m_path.parent_path()))
        throw std::runtime_error("the folder " + m_path.parent_path().string() + " is not this user's own");
    sockaddr_un address;
    if (!FillAddress(m_path, address))
        throw std::runtime_error("the socket name " + m_path.string() + " is too long");
    struct stat status {};
    if (::lstat(m_path.c_str(), &status) == 0) {
        if (!S_ISSOCK(status.st_mode))
            throw std::runtime_error(m_path.string() + " is not a socket");
        if (const int live = Connect(m_path); live >= 0) {
            ::close(live);
            throw std::runtime_error("another program answers imports at " + m_path.string());
        }
        ::unlink(m_path.c_str()); // left behind by a program that ended
    }
    m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (m_fd < 0)
        throw std::runtime_error("no socket: " + Reason());
    // Not through the umask: that is the whole process's, and the worker may be making files.
    // Until the chmod the folder keeps others out.
    if (::bind(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 ||
        ::chmod(m_path.c_str(), 0600) != 0 || ::listen(m_fd, 8) != 0 ||
        ::lstat(m_path.c_str(), &status) != 0) {
        const std::string why = Reason();
        ::close(m_fd);
        throw std::runtime_error("cannot listen at " + m_path.string() + ": " + why);
    }
    m_inode = status.st_ino;
}

HandoverListener::~HandoverListener() {
    ::close(m_fd);
    // Only our own socket file goes: another program may have replaced it meanwhile.
    struct stat status {};
    if (::lstat(m_path.c_str(), &status) == 0 && status.st_ino == m_inode)
        ::unlink(m_path.c_str());
}

int HandoverListener::Accept() {
    for (;;) {
        const int fd = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0)
            return -1;
        if (PeerUser(fd) == ::getuid())
            return fd;
        ::close(fd);
    }
}

int ConnectToHandover(const fs::path& path) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0 || !S_ISSOCK(status.st_mode) || status.st_uid != ::getuid())
        return -1;
    const int fd = Connect(path);
    if (fd < 0)
        return -1;
    if (PeerUser(fd) != ::getuid()) {
        ::close(fd);
        return -1;
    }
    return fd;
}

pid_t PeerProcess(int fd) {
    ucred credentials{};
    socklen_t size = sizeof(credentials);
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) == 0 ? credentials.pid : 0;
}

bool SendAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t sent = ::send(fd, text.data(), text.size(), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent < 0 && errno == EAGAIN) {
            // A non-blocking socket whose reader is slow: the messages are a few hundred bytes.
            ::usleep(1000);
            continue;
        }
        if (sent <= 0)
            return false;
        text.remove_prefix(std::size_t(sent));
    }
    return true;
}
