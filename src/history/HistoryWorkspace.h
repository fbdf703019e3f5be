#pragma once

#include "base/CriticalSection.h"
#include "history/HistoryData.h"

#include <cstddef>
#include <filesystem>
#include <span>
#include <string>

// The histories one program works with: the recording store (what the station's imports go to),
// the displayed store (a file the user opened that is not the recording file) and which of the two
// is shown. The program builds one in main and hands it to whoever needs it.
//
// Which store is shown is decided in one place, when the recording file is read or a file is
// opened: the recording file opened under any spelling of its path is shown from the recording
// store, and the displayed store is then empty, so no file is ever held twice.
//
// Changed fires once for every change of either store (a switch of the shown store always reads
// the newly shown one), on the thread that made the change and with that store locked: a slot
// only passes it on and never waits for another thread.
class HistoryWorkspace {
public:
    using Path = std::filesystem::path;
    using ChangedSignal = boost::signals2::signal<void()>;

    HistoryWorkspace();
    HistoryWorkspace(const HistoryWorkspace&) = delete;
    HistoryWorkspace& operator=(const HistoryWorkspace&) = delete;

    // The store the station's imports append to (with RecordingFile()).
    CHistoryData& Recording() { return m_recording; }
    const CHistoryData& Recording() const { return m_recording; }
    // The store of the file shown: the recording store while the recording file is shown.
    CHistoryData& Shown();
    const CHistoryData& Shown() const;
    bool ShowsRecordingFile() const;

    Path RecordingFile() const;
    // The file shown as the user named it; the recording file until one is opened.
    Path DisplayedFile() const;

    // Makes file the recording file (at start, and when the user chooses another) and reads it.
    bool ReadRecording(const Path& file);
    // Reads path and shows it.
    bool OpenDisplayed(const Path& path);
    // OpenDisplayed in two steps: the file read elsewhere (LoadHistoryFile), then taken in here.
    bool AdoptDisplayed(LoadedHistory loaded);
    // Reads again the files another process changed; true when one was.
    bool RefreshFromDisk();

    // The shown dataset, as shown, edited: into the shown file, then memory.
    HistoryOutcome UpdateDisplayed(const CDataset& shown, const CDataset& edited);
    HistoryOutcome DeleteDisplayed(std::span<const CDataset> chosen);
    // The export of the shown history in the format its extension asks for (".csv",
    // ".sqlite"/".db", else text); the recording and the displayed file are refused as targets.
    HistoryOutcome ExportDisplayed(const Path& path, const ColumnFormat& format) const;

    // "history.nvh (1234)".
    std::string DisplayedTitle() const;
    std::string RecordingTitle() const;

    ChangedSignal Changed;

private:
    // Sets which store is shown from the two paths; the displayed store is emptied when the
    // recording store shows its file. Called with m_lock held.
    void DecideShown();

    mutable CriticalSection m_lock; // the paths and the decision; taken before a store's lock
    CHistoryData m_recording;
    CHistoryData m_displayed;
    Path m_recordingFile;
    Path m_displayedFile;
    bool m_fileOpened = false;
    bool m_showsRecordingFile = true;
    boost::signals2::scoped_connection m_recordingChanged;
    boost::signals2::scoped_connection m_displayedChanged;
};
