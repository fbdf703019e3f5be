#pragma once

#include "base/FileReplacement.h"

#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

// A report that cannot be written, with the reason.
class ReportError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The folder a report is written into. Each file is written beside its place (FileReplacement)
// and renamed into it once the whole report is written and on the disk (Finish), so a web server
// serves the old page or the new one, never half of one, and a crash leaves no torn page; a file
// whose content is unchanged is not touched. The folder's list of the files the report wrote
// (ManifestName) tells them from the owner's own files: a file that is not on it is never
// replaced or removed, and a file on it that the report no longer writes is removed.
class ReportFolder {
public:
    static constexpr const char* ManifestName = ".nivaro-report";
    // Where the report keeps how far it came through the history, for the next refresh.
    static constexpr const char* CheckpointName = ".nivaro-report-checkpoint";

    // Creates the folder when it is missing; ReportError when that fails.
    explicit ReportFolder(std::filesystem::path folder);

    // Writes one file of the report (a plain name), in place from Finish on; ReportError when it
    // cannot be written.
    void Write(const std::string& name, const std::string& content);
    // Keeps a file of the last report as it is, without writing it again (it counts as
    // unchanged); false when it is not there or not the report's.
    bool Keep(const std::string& name);
    // Puts the files written in place, removes the files of the last report not written or kept
    // this time and saves the list.
    void Finish();
    // After a failure: saves the list of the files of the last report and those written since,
    // so the next report still knows them all.
    void KeepListAfterFailure();

    // The checkpoint's bytes, empty when there is none; replaced, or removed when empty.
    std::string Checkpoint() const;
    void SaveCheckpoint(const std::string& bytes);

    std::size_t Written() const { return m_written; }
    std::size_t Unchanged() const { return m_unchanged; }
    // The files left alone because the report did not write them before.
    const std::vector<std::string>& LeftAlone() const { return m_leftAlone; }

private:
    void SaveList(const std::set<std::string>& names, bool sync = false) const;

    std::filesystem::path m_folder;
    std::set<std::string> m_before, m_now;
    // The files written, complete on disk under a name of their own until Finish puts them in place.
    std::map<std::string, std::unique_ptr<FileReplacement>> m_pending;
    std::size_t m_written = 0, m_unchanged = 0;
    std::vector<std::string> m_leftAlone;
};
