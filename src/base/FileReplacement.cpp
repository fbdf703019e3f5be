#include "base/FileReplacement.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <random>
#include <streambuf>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Writes every byte, retrying after a signal; the errno of the failure otherwise (ENOSPC when
// the system took nothing without saying why).
int WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return written < 0 ? errno : ENOSPC;
        data += written;
        size -= std::size_t(written);
    }
    return 0;
}

// The process's file creation mask, read without changing it (umask() would, for every thread).
mode_t CreationMask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("Umask:", 0) == 0)
            return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
    return 022;
}

// Makes a new file exclusively (never an existing one, never through a link) under the pattern,
// its six characters before the suffix chosen at random as mkostemps does, but with the mode.
int CreateUnique(std::string& pattern, std::size_t suffix, mode_t mode) {
    static constexpr char Letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    thread_local std::mt19937_64 random{std::random_device{}()};
    char* const unique = pattern.data() + pattern.size() - suffix - 6;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::uint64_t bits = random();
        for (int i = 0; i < 6; ++i, bits /= 62)
            unique[i] = Letters[bits % 62];
        const int fd = ::open(pattern.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

fs::path FolderOf(const fs::path& path) {
    return path.has_parent_path() ? path.parent_path() : fs::path(".");
}

} // namespace

class FileReplacement::Buffer : public std::streambuf {
public:
    explicit Buffer(FileReplacement& owner) : m_owner(owner), m_block(1 << 16) {
        setp(m_block.data(), m_block.data() + m_block.size());
    }

protected:
    int_type overflow(int_type c) override {
        if (!Drain())
            return traits_type::eof();
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }
    int sync() override { return Drain() ? 0 : -1; }

private:
    bool Drain() {
        const std::size_t used = std::size_t(pptr() - pbase());
        setp(m_block.data(), m_block.data() + m_block.size());
        if (const int error = WriteAll(m_owner.m_fd, m_block.data(), used); error != 0) {
            m_owner.Fail(std::strerror(error));
            return false;
        }
        return true;
    }

    FileReplacement& m_owner;
    std::vector<char> m_block;
};

fs::path FollowLinks(const fs::path& path) {
    fs::path followed = path;
    std::error_code error;
    // A bounded walk: a loop of links ends where the system would give up too.
    for (int hops = 0; hops < 40 && fs::is_symlink(followed, error); ++hops) {
        const fs::path link = fs::read_symlink(followed, error);
        if (error)
            break;
        followed = link.is_absolute() ? link : FolderOf(followed) / link;
    }
    return followed;
}

FileReplacement::FileReplacement(const fs::path& target) : m_target(FollowLinks(target)) {
    // A unique name beside the target, so the rename stays on one file system.
    std::string pattern = (FolderOf(m_target) / ("." + m_target.filename().string() + ".XXXXXX")).string();
    pattern += ".tmp";
    // A file that is to replace another stays private until Commit gives it that one's
    // permissions; a new one is made as any new file, under the process's creation mask.
    struct stat status {};
    m_private = ::stat(m_target.c_str(), &status) == 0;
    m_fd = CreateUnique(pattern, 4, m_private ? 0600 : 0666);
    if (m_fd < 0) {
        m_reason = std::strerror(errno);
        return;
    }
    m_temporary = pattern;
}

FileReplacement::~FileReplacement() {
    Abandon();
}

std::ostream& FileReplacement::Stream() {
    if (!m_stream) {
        m_buffer = std::make_unique<Buffer>(*this);
        m_stream = std::make_unique<std::ostream>(m_buffer.get());
        if (m_fd < 0)
            m_stream->setstate(std::ios::badbit);
    }
    return *m_stream;
}

bool FileReplacement::Write(std::string_view bytes) {
    if (m_fd < 0 || m_failed || (m_stream && !m_stream->flush()))
        return false;
    if (const int error = WriteAll(m_fd, bytes.data(), bytes.size()); error != 0) {
        Fail(std::strerror(error));
        return false;
    }
    return true;
}

void FileReplacement::Fail(const std::string& reason) {
    if (!m_failed)
        m_reason = reason;
    m_failed = true;
}

void FileReplacement::FailWithSystemReason() {
    Fail(std::strerror(errno));
}

bool FileReplacement::Seal(bool sync) {
    if (m_fd < 0)
        return m_sealed;
    if (m_stream && !m_stream->flush())
        Fail("the file could not be written"); // the buffer has given the system's reason
    if (!m_failed) {
        // The target as it is now: it may have come or gone since the new file was made.
        struct stat status {};
        const bool exists = ::stat(m_target.c_str(), &status) == 0;
        const bool chmod = exists || m_private;
        if ((chmod && ::fchmod(m_fd, exists ? status.st_mode & 07777 : 0666 & ~CreationMask()) != 0) ||
            (sync && ::fsync(m_fd) != 0))
            FailWithSystemReason();
    }
    if (::close(m_fd) != 0)
        FailWithSystemReason();
    m_fd = -1;
    if (m_failed) {
        Abandon();
        return false;
    }
    m_sealed = true;
    return true;
}

bool FileReplacement::Commit(bool sync) {
    if (!Seal(sync))
        return false;
    if (::rename(m_temporary.c_str(), m_target.c_str()) != 0) {
        FailWithSystemReason();
        Abandon();
        return false;
    }
    m_temporary.clear();
    m_sealed = false;
    if (sync) {
        // The new name must last as well as the content.
        const int folder = ::open(FolderOf(m_target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (folder >= 0) {
            ::fsync(folder);
            ::close(folder);
        }
    }
    return true;
}

void FileReplacement::Abandon() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    if (!m_temporary.empty())
        ::unlink(m_temporary.c_str());
    m_temporary.clear();
    m_sealed = false;
}
