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

std::ifstream Open(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw ReportError("cannot read the history file " + file.string() + ": " + std::strerror(errno));
    return in;
}

} // namespace

void ReadHistoryInOrder(const std::filesystem::path& file,
                        const std::function<void(std::span<const CDataset>)>& block,
                        const std::function<void()>& restart) {
    std::vector<CDataset> buffer;
    buffer.reserve(BlockSize);
    CDataset previous;
    bool first = true;
    std::ifstream in = Open(file);
    const bool inOrder = VisitHistoryRecords(in, [&](const CDataset& dataset) {
        if (!first && HistoryOrder(dataset, previous))
            return false;
        first = false;
        previous = dataset;
        buffer.push_back(dataset);
        if (buffer.size() == BlockSize) {
            block(buffer);
            buffer.clear();
        }
        return true;
    });
    if (in.bad())
        throw ReportError("cannot read the history file " + file.string());
    if (inOrder) {
        if (!buffer.empty())
            block(buffer);
        return;
    }
    // Out of order: a dataset further on may belong before any block handed on so far.
    std::vector<CDataset> all;
    std::ifstream again = Open(file);
    ReadHistoryRecords(again, all);
    if (again.bad())
        throw ReportError("cannot read the history file " + file.string());
    std::stable_sort(all.begin(), all.end(), HistoryOrder);
    restart();
    for (std::size_t at = 0; at < all.size(); at += BlockSize)
        block(std::span<const CDataset>(all).subspan(at, std::min(BlockSize, all.size() - at)));
}
