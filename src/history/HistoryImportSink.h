#pragma once

#include "history/HistoryData.h"
#include "station/ImportSink.h"

#include <filesystem>

// An import into a history file: datasets the store holds are known, new ones are appended to the
// file and synced to disk (CHistoryData::Append) before they join the store.
class HistoryImportSink : public ImportSink {
public:
    // The store must hold the file's datasets (the desktop's recording store, or one read by the
    // caller); an import compares against it.
    HistoryImportSink(CHistoryData& store, std::filesystem::path file);

    void RemoveKnown(std::vector<CDataset>& datasets) const override;
    bool Store(const std::vector<CDataset>& datasets) override;
    std::string Name() const override { return m_file.string(); }
    std::string StoreFailure() const override;

private:
    CHistoryData& m_store;
    std::filesystem::path m_file;
};
