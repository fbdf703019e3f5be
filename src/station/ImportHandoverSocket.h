#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// The local socket a desktop program listens on while it holds a port, so that a command-line
// import of the same station is handed to it instead of failing on the held port.

// The folder of the sockets: "$XDG_RUNTIME_DIR/nivaro" when that is an absolute path, else
// "/tmp/nivaro-UID". Only a folder of this user that nobody else may enter is used.
std::filesystem::path HandoverFolder(const char* xdgRuntimeDir, uid_t uid);

// What identifies the station behind a port name, whatever name reaches it: the device's number
// for a serial device, the image file's resolved path for "sim:FILE". None for the bare
// simulator (every program has its own) and for a port that does not exist.
std::optional<std::string> StationKey(const std::string& portName);

// The socket of the desktop program holding this port, in this process's folder; none as above.
std::optional<std::filesystem::path> HandoverSocketPath(const std::string& portName);

// The desktop's side: a listening socket at path, made when nothing answers there (a socket file
// left by a program that ended is replaced), removed again when the listener goes.
class HandoverListener {
public:
    // Raises std::runtime_error saying why it cannot listen: another program answers there, the
    // folder is not this user's own.
    explicit HandoverListener(std::filesystem::path path);
    ~HandoverListener();
    HandoverListener(const HandoverListener&) = delete;
    HandoverListener& operator=(const HandoverListener&) = delete;

    int Fd() const { return m_fd; }
    const std::filesystem::path& Path() const { return m_path; }
    // A waiting connection from a program of this user (non-blocking), else -1; a connection
    // of another user is closed at once.
    int Accept();

private:
    std::filesystem::path m_path;
    int m_fd = -1;
    ino_t m_inode = 0; // the socket file this listener made
};

// The command line's side: a connection to the desktop answering at path, or -1 when none does
// (no socket file, one left by a program that ended, one of another user).
int ConnectToHandover(const std::filesystem::path& path);

// The process at the other end of a local connection (0 when unknown).
pid_t PeerProcess(int fd);

// Writes all of text; false when the other side has gone (never raises SIGPIPE).
bool SendAll(int fd, std::string_view text);
