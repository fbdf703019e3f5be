#include "history/HistoryImportSink.h"

#include "log/Logger.h"

HistoryImportSink::HistoryImportSink(CHistoryData& store, std::filesystem::path file)
    : m_store(store), m_file(std::move(file)) {}

void HistoryImportSink::RemoveKnown(std::vector<CDataset>& datasets) const {
    m_store.RemoveKnown(datasets);
}

bool HistoryImportSink::Store(const std::vector<CDataset>& datasets) {
    const HistoryOutcome outcome = m_store.Append(m_file, datasets);
    if (!outcome)
        CLogger::Instance().Log(10, "History file %s: %s", m_file.string().c_str(), outcome.reason.c_str());
    return static_cast<bool>(outcome);
}

std::string HistoryImportSink::StoreFailure() const {
    return m_store.LastAppendFailure();
}
