#pragma once

#include "ui/HistoryAccess.h"

#include <memory>

// The windows' access to the process-wide recording and displayed histories.
class HistoryStores : public HistoryAccess {
public:
    HistoryStores();
    ~HistoryStores() override;

    std::size_t DisplayedCount() const override;
    std::string DisplayedText(std::size_t row, int column) const override;
    HistoryOutcome StoreDisplayed(const CDataset& shown, int column, const std::string& text) override;
    void ReadDisplayed(const std::function<void(std::span<const CDataset>)>& read) const override;
    std::string DisplayedTitle() const override;
    std::string RecordingTitle() const override;
    bool ReadRecording(const std::filesystem::path& file) override;
    bool OpenDisplayed(const std::string& path) override;
    bool AdoptDisplayed(LoadedHistory loaded) override;
    HistoryOutcome DeleteDisplayed(const std::vector<CDataset>& chosen) override;
    HistoryOutcome ExportDisplayed(const std::string& path) override;
    std::string DisplayedFileName() const override;
    std::string RecordingFileName() const override;
    HistoryDamage DisplayedDamage() const override;
    bool RefreshFromDisk() override;
    void Subscribe(std::function<void()> changed) override;

private:
    struct Connections;
    std::unique_ptr<Connections> m_connections;
};
