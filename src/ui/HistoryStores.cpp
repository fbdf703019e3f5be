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

bool HistoryStores::StoreDisplayed(std::size_t row, int column, const std::string& text) {
    CDataset dataset = DisplayedAt(row);
    dataset.SetColumnFromText(column, text, CurrentColumnFormat());
    return UpdateDisplayed(row, dataset);
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

bool HistoryStores::DeleteDisplayed(const std::vector<std::size_t>& rows) {
    return ::DeleteDisplayed(rows);
}

bool HistoryStores::ExportDisplayed(const std::string& path) {
    return ::ExportDisplayed(path, CurrentColumnFormat());
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
