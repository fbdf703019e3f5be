// History file reader: any bytes read as whole 56-byte records (a trailing fraction ignored), every
// record written back unchanged, the store sorts whatever it gets, and every record exports as text.
#include "FuzzSupport.h"

#include "history/HistoryData.h"
#include "history/HistoryFile.h"
#include "history/HistoryRecord.h"
#include "history/TextExport.h"
#include "log/Logger.h"

#include <cmath>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    CLogger::Instance().SetLevel(0);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);

    std::vector<CDataset> datasets;
    {
        std::istringstream in(bytes);
        ReadHistoryRecords(in, datasets);
    }
    FUZZ_CHECK(datasets.size() == size / HistoryRecordSize);

    // Nothing is altered on the way through: same records, same bytes.
    std::ostringstream out;
    FUZZ_CHECK(WriteHistoryRecords(out, datasets));
    const std::string written = out.str();
    FUZZ_CHECK(written.size() == datasets.size() * HistoryRecordSize);
    FUZZ_CHECK(std::memcmp(written.data(), data, written.size()) == 0);

    // The store sorts odd dates (invalid, NaN, out of range) without breaking its order.
    CHistoryData store;
    {
        std::istringstream in(bytes);
        store.ReadFrom(in);
    }
    FUZZ_CHECK(store.Size() == datasets.size());
    store.WithDatasets([](const std::vector<CDataset>& sorted) {
        for (std::size_t i = 1; i < sorted.size(); ++i)
            FUZZ_CHECK(!HistoryOrder(sorted[i], sorted[i - 1]));
        return 0;
    });

    // Every record can be shown and exported, in both units and with a 12-hour clock.
    // Each record is known to the store that read it; only a NaN date equals nothing.
    std::vector<CDataset> unknown = datasets;
    store.RemoveKnown(unknown);
    std::size_t nanDates = 0;
    for (const CDataset& dataset : datasets)
        nanDates += std::isnan(dataset.GetDateTime().Value()) ? 1 : 0;
    FUZZ_CHECK(unknown.size() == nanDates);

    ColumnFormat celsius;
    ColumnFormat fahrenheit{"%m.%d.%y %I:%M %p", true};
    std::string text;
    for (const CDataset& dataset : datasets) {
        AppendExportLine(text, dataset, celsius);
        AppendExportLine(text, dataset, fahrenheit);
        for (int column = 1; column <= DatasetColumnCount; ++column) {
            CDataset edited = dataset;
            const std::string cell = dataset.GetColumnText(column, celsius);
            edited.SetColumnFromText(column, cell, celsius);
        }
    }
    return 0;
}
