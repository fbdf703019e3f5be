#include "report/HistoryInOrder.h"

#include "history/HistoryFile.h"
#include "history/HistoryRecord.h"
#include "report/ReportFolder.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <vector>

namespace {

constexpr std::size_t BlockSize = 4096;

[[noreturn]] void CannotRead(const std::filesystem::path& file, int error) {
    throw ReportError("cannot read the history file " + file.string() +
                      (error != 0 ? std::string(": ") + std::strerror(error) : std::string()));
}

} // namespace

std::optional<HistoryScan> ReadHistoryInOrder(const std::filesystem::path& file,
                                              const std::function<void(std::span<const CDataset>)>& block,
                                              const std::function<void()>& restart) {
    std::optional<CDataset> previous;
    bool inOrder = true;
    errno = 0;
    const std::optional<HistoryScan> scan = ScanHistory(file, 0, [&](std::span<const CDataset> datasets) {
        if ((previous && HistoryOrder(datasets.front(), *previous)) || !IsInHistoryOrder(datasets))
            return inOrder = false;
        block(datasets);
        previous = datasets.back();
        return true;
    });
    if (!scan)
        CannotRead(file, errno);
    if (inOrder)
        return scan;
    // Out of order: a dataset further on may belong before any block handed on so far.
    std::vector<CDataset> all;
    std::ifstream again(file, std::ios::binary);
    if (!again)
        CannotRead(file, errno);
    ReadHistoryRecords(again, all);
    if (again.bad())
        CannotRead(file, 0);
    std::stable_sort(all.begin(), all.end(), HistoryOrder);
    restart();
    for (std::size_t at = 0; at < all.size(); at += BlockSize)
        block(std::span<const CDataset>(all).subspan(at, std::min(BlockSize, all.size() - at)));
    return std::nullopt;
}
