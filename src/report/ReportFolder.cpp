#include "report/ReportFolder.h"

#include "base/FileReplacement.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// Only plain names count: a list edited by hand cannot make the report remove a file elsewhere.
bool IsPlainName(const std::string& name) {
    return !name.empty() && name.find('/') == std::string::npos && name != "." && name != ".." &&
           name != ReportFolder::ManifestName && name != ReportFolder::CheckpointName;
}

std::optional<std::string> Content(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void Replace(const fs::path& target, const std::string& content, bool sync = false) {
    FileReplacement replacement(target);
    if (!replacement.Write(content) || !replacement.Commit(sync))
        throw ReportError("cannot write " + target.string() + ": " + replacement.Reason());
}

// Whether the entry is a new file of one of the names left behind, unfinished, by a report that
// was cut short: "." + name + "." + six characters + ".tmp".
bool IsUnfinishedFileOf(const std::string& entry, const std::set<std::string>& names) {
    constexpr std::size_t Unique = 6;
    constexpr std::string_view Suffix = ".tmp";
    if (entry.size() < 1 + 1 + Unique + Suffix.size() + 1 || entry.front() != '.' || !entry.ends_with(Suffix))
        return false;
    const std::size_t nameEnd = entry.size() - Suffix.size() - Unique - 1;
    return entry[nameEnd] == '.' && names.contains(entry.substr(1, nameEnd - 1));
}

void SyncFolder(const fs::path& folder, bool wholeFileSystem) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0 || (wholeFileSystem ? ::syncfs(fd) : ::fsync(fd)) != 0) {
        const std::string reason = std::strerror(errno);
        if (fd >= 0)
            ::close(fd);
        throw ReportError("cannot write " + folder.string() + ": " + reason);
    }
    ::close(fd);
}

} // namespace

ReportFolder::ReportFolder(fs::path folder) : m_folder(std::move(folder)) {
    std::error_code error;
    fs::create_directories(m_folder, error);
    if (error || !fs::is_directory(m_folder))
        throw ReportError("cannot create the folder " + m_folder.string() + ": " +
                          (error ? error.message() : "it is not a folder"));
    std::ifstream manifest(m_folder / ManifestName);
    for (std::string name; std::getline(manifest, name);)
        if (IsPlainName(name))
            m_before.insert(name);
    for (const fs::directory_entry& entry : fs::directory_iterator(m_folder, error))
        if (IsUnfinishedFileOf(entry.path().filename().string(), m_before))
            fs::remove(entry.path(), error);
}

void ReportFolder::Write(const std::string& name, const std::string& content) {
    const fs::path target = m_folder / name;
    std::error_code error;
    const bool exists = fs::exists(fs::symlink_status(target, error));
    if (exists && !m_before.contains(name)) {
        m_leftAlone.push_back(name);
        return;
    }
    m_now.insert(name);
    // Written again in this report (a refresh given up, a history sorted): the last content counts.
    m_pending.erase(name);
    // The size first: most files a refresh writes have grown, and need not be read to tell.
    if (exists && fs::file_size(target, error) == content.size() && !error && Content(target) == content) {
        ++m_unchanged;
        return;
    }
    // Complete on disk now, in place only when the whole report is (Finish).
    auto replacement = std::make_unique<FileReplacement>(target);
    if (!replacement->Write(content) || !replacement->Seal(false))
        throw ReportError("cannot write " + target.string() + ": " + replacement->Reason());
    m_pending.emplace(name, std::move(replacement));
    ++m_written;
}

bool ReportFolder::Keep(const std::string& name) {
    std::error_code error;
    if (!m_before.contains(name) || !fs::is_regular_file(m_folder / name, error))
        return false;
    m_now.insert(name);
    ++m_unchanged;
    return true;
}

std::string ReportFolder::Checkpoint() const {
    return Content(m_folder / CheckpointName).value_or(std::string());
}

void ReportFolder::SaveCheckpoint(const std::string& bytes) {
    const fs::path file = m_folder / CheckpointName;
    if (!bytes.empty()) {
        Replace(file, bytes);
        return;
    }
    std::error_code error;
    if (!fs::remove(file, error) && error)
        throw ReportError("cannot remove " + file.string() + ": " + error.message());
}

void ReportFolder::Finish() {
    if (!m_pending.empty()) {
        // Every name is on the list before its file is in place, so a report cut short leaves no
        // file the next one takes for the owner's; the new files' content is on the disk before
        // any of them replaces a page, so a crash leaves the old page or the new one, never a
        // torn one; and the new names are on the disk before the checkpoint that counts on them.
        std::set<std::string> all = m_before;
        all.insert(m_now.begin(), m_now.end());
        SaveList(all, true);
        SyncFolder(m_folder, true);
        for (auto& [name, replacement] : m_pending)
            if (!replacement->Commit(false))
                throw ReportError("cannot write " + (m_folder / name).string() + ": " +
                                  replacement->Reason());
        m_pending.clear();
        SyncFolder(m_folder, false);
    }
    for (const std::string& name : m_before)
        if (!m_now.contains(name)) {
            std::error_code ignored; // already gone: nothing to do
            fs::remove(m_folder / name, ignored);
        }
    SaveList(m_now);
}

void ReportFolder::KeepListAfterFailure() {
    m_pending.clear(); // their new files are removed, the pages stay as they were
    std::set<std::string> all = m_before;
    all.insert(m_now.begin(), m_now.end());
    SaveList(all);
}

void ReportFolder::SaveList(const std::set<std::string>& names, bool sync) const {
    std::string list;
    for (const std::string& name : names)
        list += name + "\n";
    const fs::path manifest = m_folder / ManifestName;
    if (Content(manifest) != list)
        Replace(manifest, list, sync);
}
