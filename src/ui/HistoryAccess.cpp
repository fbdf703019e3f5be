#include "ui/HistoryAccess.h"

#include "history/HistoryFind.h"

std::optional<CDataset> HistoryAccess::DisplayedDataset(std::size_t row) const {
    std::optional<CDataset> dataset;
    ReadDisplayed([&](std::span<const CDataset> datasets) {
        if (row < datasets.size())
            dataset = datasets[row];
    });
    return dataset;
}

std::vector<std::optional<std::size_t>>
HistoryAccess::FindDisplayed(std::span<const CDataset> datasets) const {
    std::vector<std::optional<std::size_t>> rows;
    ReadDisplayed([&](std::span<const CDataset> displayed) { rows = FindInHistory(displayed, datasets); });
    return rows;
}

std::shared_ptr<const std::vector<CDataset>> HistoryAccess::DisplayedSnapshot() const {
    auto snapshot = std::make_shared<std::vector<CDataset>>();
    ReadDisplayed(
        [&](std::span<const CDataset> datasets) { snapshot->assign(datasets.begin(), datasets.end()); });
    return snapshot;
}
