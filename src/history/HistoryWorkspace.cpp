#include "history/HistoryWorkspace.h"

#include "history/ExportFormat.h"

#include <utility>

namespace fs = std::filesystem;

HistoryWorkspace::HistoryWorkspace() {
    // Either store's change is the workspace's change; the slot runs with that store locked and
    // takes no lock of its own.
    const auto forward = [this](const CHistoryData&) { Changed(); };
    m_recordingChanged = m_recording.Changed.connect(forward);
    m_displayedChanged = m_displayed.Changed.connect(forward);
}

CHistoryData& HistoryWorkspace::Shown() {
    CriticalSectionLock lock(m_lock);
    return m_showsRecordingFile ? m_recording : m_displayed;
}

const CHistoryData& HistoryWorkspace::Shown() const {
    CriticalSectionLock lock(m_lock);
    return m_showsRecordingFile ? m_recording : m_displayed;
}

bool HistoryWorkspace::ShowsRecordingFile() const {
    CriticalSectionLock lock(m_lock);
    return m_showsRecordingFile;
}

HistoryWorkspace::Path HistoryWorkspace::RecordingFile() const {
    CriticalSectionLock lock(m_lock);
    return m_recordingFile;
}

HistoryWorkspace::Path HistoryWorkspace::DisplayedFile() const {
    CriticalSectionLock lock(m_lock);
    return m_displayedFile;
}

void HistoryWorkspace::DecideShown() {
    m_showsRecordingFile = IsSameHistoryFile(m_displayedFile, m_recordingFile);
    if (m_showsRecordingFile)
        m_displayed.Clear();
}

bool HistoryWorkspace::ReadRecording(const Path& file) {
    CriticalSectionLock lock(m_lock);
    const bool showedRecording = m_showsRecordingFile;
    m_recordingFile = file;
    // Until a file is opened, the file shown follows the recording file.
    if (!m_fileOpened)
        m_displayedFile = file;
    DecideShown();
    const bool read = m_recording.Read(file);
    // The file shown was the old recording file: it is shown from a store of its own now.
    if (showedRecording && !m_showsRecordingFile)
        m_displayed.Read(m_displayedFile);
    return read;
}

bool HistoryWorkspace::OpenDisplayed(const Path& path) {
    return AdoptDisplayed(LoadHistoryFile(path));
}

bool HistoryWorkspace::AdoptDisplayed(LoadedHistory loaded) {
    CriticalSectionLock lock(m_lock);
    m_displayedFile = loaded.path;
    m_fileOpened = true;
    DecideShown();
    return Shown().Adopt(std::move(loaded));
}

bool HistoryWorkspace::RefreshFromDisk() {
    CriticalSectionLock lock(m_lock);
    bool changed = false;
    if (m_recording.ChangedOnDisk(m_recordingFile)) {
        m_recording.Read(m_recordingFile);
        changed = true;
    }
    if (!m_showsRecordingFile && m_displayed.ChangedOnDisk(m_displayedFile)) {
        m_displayed.Read(m_displayedFile);
        changed = true;
    }
    return changed;
}

HistoryOutcome HistoryWorkspace::UpdateDisplayed(const CDataset& shown, const CDataset& edited) {
    CriticalSectionLock lock(m_lock);
    return Shown().Update(m_displayedFile, shown, edited);
}

HistoryOutcome HistoryWorkspace::DeleteDisplayed(std::span<const CDataset> chosen) {
    CriticalSectionLock lock(m_lock);
    return Shown().Delete(m_displayedFile, chosen);
}

HistoryOutcome HistoryWorkspace::ExportDisplayed(const Path& path, const ColumnFormat& format) const {
    CriticalSectionLock lock(m_lock);
    const Path historyFiles[] = {m_displayedFile, m_recordingFile};
    return Shown().Export(path, format, historyFiles, ExportFormatForFile(path));
}

std::string HistoryWorkspace::DisplayedTitle() const {
    CriticalSectionLock lock(m_lock);
    if (m_showsRecordingFile)
        return RecordingTitle();
    return HistoryTitle(m_displayedFile, m_displayed.Size());
}

std::string HistoryWorkspace::RecordingTitle() const {
    CriticalSectionLock lock(m_lock);
    return HistoryTitle(m_recordingFile, m_recording.Size());
}
