#include "report/ReportFolder.h"

#include "base/FileReplacement.h"

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

void Replace(const fs::path& target, const std::string& content) {
    FileReplacement replacement(target);
    if (!replacement.Write(content) || !replacement.Commit(false))
        throw ReportError("cannot write " + target.string() + ": " + replacement.Reason());
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
    // The size first: most files a refresh writes have grown, and need not be read to tell.
    if (exists && fs::file_size(target, error) == content.size() && !error && Content(target) == content) {
        ++m_unchanged;
        return;
    }
    Replace(target, content);
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
    for (const std::string& name : m_before)
        if (!m_now.contains(name)) {
            std::error_code ignored; // already gone: nothing to do
            fs::remove(m_folder / name, ignored);
        }
    SaveList(m_now);
}

void ReportFolder::KeepListAfterFailure() {
    std::set<std::string> all = m_before;
    all.insert(m_now.begin(), m_now.end());
    SaveList(all);
}

void ReportFolder::SaveList(const std::set<std::string>& names) const {
    std::string list;
    for (const std::string& name : names)
        list += name + "\n";
    const fs::path manifest = m_folder / ManifestName;
    if (Content(manifest) != list)
        Replace(manifest, list);
}
