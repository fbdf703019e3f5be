#include "history/HistoryImportSink.h"

#include "log/Logger.h"

HistoryImportSink::HistoryImportSink(CHistoryData& store, std::filesystem::path file)
    : _store(store), _file(std::move(file)) {}

void HistoryImportSink::RemoveKnown(std::vector<CDataset>& datasets) const {
    _store.RemoveKnown(datasets);
}

bool HistoryImportSink::Store(const std::vector<CDataset>& datasets) {
    const HistoryOutcome outcome = _store.Append(_file, datasets);
    if (!outcome)
        CLogger::Instance().Log(10, "History file %s: %s", _file.string().c_str(), outcome.reason.c_str());
    return static_cast<bool>(outcome);
}

std::string HistoryImportSink::StoreFailure() const {
    return _store.LastAppendFailure();
}
