#pragma once

#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>

// Replaces a file in one step, the one way every whole-file write of the program goes (history
// rewrite, exports, options). The new content goes into a file made exclusively (O_EXCL: never an
// existing file, never through a link) under a unique name in the target's folder, and is renamed
// over the target once complete. A target that is a symbolic link stays a link; the file it points
// to gets the content. Until Commit succeeds the target is untouched, and a replacement that is
// abandoned or destroyed uncommitted removes its new file.
class FileReplacement {
public:
    explicit FileReplacement(const std::filesystem::path& target);
    ~FileReplacement();
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    // False when the new file could not be made; Reason() says why.
    bool Started() const { return m_fd >= 0; }
    // The new file, open for writing, owned by the replacement.
    int Descriptor() const { return m_fd; }
    // A buffered stream onto the new file; Commit flushes it and counts its failure.
    std::ostream& Stream();
    // Writes the bytes straight to the new file, after what the stream holds: for content that
    // is at hand whole. False when it failed (Commit then refuses, Reason() says why).
    bool Write(std::string_view bytes);
    const std::filesystem::path& Temporary() const { return m_temporary; }
    // The file that is replaced: the target with its links followed.
    const std::filesystem::path& Target() const { return m_target; }
    // The system's reason for the last failure ("No space left on device").
    const std::string& Reason() const { return m_reason; }

    // Gives the new file the old one's permissions (a new target those of a freshly created
    // file), syncs it to the disk when asked, renames it over the target and, when syncing,
    // syncs the folder too. False with Reason() when any step failed; the target is then as it was.
    bool Commit(bool sync);
    // Completes the new file (written out, closed, with the permissions Commit gives it, synced
    // when asked) without putting it in place; Commit then only renames it. For a caller that
    // makes many new files durable at once before any of them replaces its target. False with
    // Reason() when a step failed; the new file is then removed.
    bool Seal(bool sync);
    // Removes the new file; the target stays as it was.
    void Abandon();
    // Records a failure of the caller's own writing; Commit then refuses. The first reason given
    // stays (a stream failure gives the system's own first).
    void Fail(const std::string& reason);

private:
    void FailWithSystemReason();

    class Buffer;

    std::filesystem::path m_target;
    std::filesystem::path m_temporary;
    std::string m_reason;
    int m_fd = -1;
    bool m_failed = false;
    bool m_private = false; // made for the owner alone, as the target existed
    bool m_sealed = false;  // complete and closed, waiting for Commit to rename it
    std::unique_ptr<Buffer> m_buffer;
    std::unique_ptr<std::ostream> m_stream;
};

// The path with every symbolic link of its last component followed (a dangling link names the
// file it would create); the path itself when it is no link.
std::filesystem::path FollowLinks(const std::filesystem::path& path);
