#include "ui/HistoryStores.h"

#include "history/HistoryData.h"
#include "settings/OptionValues.h"

#include <boost/signals2/connection.hpp>

struct HistoryStores::Connections {
    boost::signals2::scoped_connection recording;
    boost::signals2::scoped_connection displayed;
};

HistoryStores::HistoryStores() : m_connections(std::make_unique<Connections>()) {}

HistoryStores::~HistoryStores() = default;

std::size_t HistoryStores::DisplayedCount() const {
    return ::DisplayedCount();
}

std::string HistoryStores::DisplayedText(std::size_t row, int column) const {
    return DisplayedAt(row).GetColumnText(column, CurrentColumnFormat());
}

HistoryOutcome HistoryStores::StoreDisplayed(const CDataset& shown, int column, const std::string& text) {
    CDataset edited = shown;
    if (!edited.SetColumnFromText(column, text, CurrentColumnFormat()))
        return HistoryOutcome::Failure("\"" + text + "\" is no value");
    return UpdateDisplayed(shown, edited);
}

void HistoryStores::ReadDisplayed(const std::function<void(std::span<const CDataset>)>& read) const {
    const CHistoryData& store = IsRecordingFileDisplayed()
                                    ? RecordingHistory()
                                    : static_cast<const CHistoryData&>(DisplayedHistory());
    store.WithDatasets([&](const std::vector<CDataset>& datasets) { read(datasets); });
}

std::string HistoryStores::DisplayedTitle() const {
    return ::DisplayedTitle();
}

std::string HistoryStores::RecordingTitle() const {
    return ::RecordingTitle();
}

bool HistoryStores::ReadRecording(const std::filesystem::path& file) {
    return ::ReadRecording(file);
}

bool HistoryStores::OpenDisplayed(const std::string& path) {
    return ::OpenDisplayed(path);
}

bool HistoryStores::AdoptDisplayed(LoadedHistory loaded) {
    return ::AdoptDisplayed(std::move(loaded));
}

HistoryOutcome HistoryStores::DeleteDisplayed(const std::vector<CDataset>& chosen) {
    return ::DeleteDisplayed(chosen);
}

HistoryOutcome HistoryStores::ExportDisplayed(const std::string& path) {
    return ::ExportDisplayed(path, CurrentColumnFormat());
}

std::string HistoryStores::DisplayedFileName() const {
    return DisplayedHistory().FileName();
}

std::string HistoryStores::RecordingFileName() const {
    return DisplayedHistory().RecordingFile().string();
}

HistoryDamage HistoryStores::DisplayedDamage() const {
    return ::DisplayedDamage();
}

bool HistoryStores::RefreshFromDisk() {
    bool changed = false;
    const std::filesystem::path recording = DisplayedHistory().RecordingFile();
    if (RecordingHistory().ChangedOnDisk(recording)) {
        RecordingHistory().Read(recording);
        changed = true;
    }
    if (!IsRecordingFileDisplayed())
        changed = RefreshDisplayedFromDisk() || changed;
    return changed;
}

void HistoryStores::Subscribe(std::function<void()> changed) {
    m_connections->recording.disconnect();
    m_connections->displayed.disconnect();
    if (!changed)
        return;
    const auto slot = [changed](const CHistoryData&) { changed(); };
    m_connections->recording = RecordingHistory().Changed.connect(slot);
    m_connections->displayed = DisplayedHistory().Changed.connect(slot);
}
