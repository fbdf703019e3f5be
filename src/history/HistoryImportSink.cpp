#include "history/HistoryImportSink.h"

HistoryImportSink::HistoryImportSink(CHistoryData& store, std::filesystem::path file)
    : _store(store), _file(std::move(file)) {}

void HistoryImportSink::RemoveKnown(std::vector<CDataset>& datasets) const {
    _store.RemoveKnown(datasets);
}

bool HistoryImportSink::Store(const std::vector<CDataset>& datasets) {
    return _store.Append(_file, datasets);
}
