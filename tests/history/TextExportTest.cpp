#include "history/TextExport.h"
#include "HistoryTestSupport.h"
#include "TempDir.h"
#include "history/HistoryData.h"

#include <gtest/gtest.h>

namespace {

const std::string Header =
    "\"Date\";\"Indoor Temperature\";\"Indoor Humidity\";\"Outdoor Temperature 1\";\"Outdoor Humidity 1\";"
    "\"Outdoor Temperature 2\";\"Outdoor Humidity 2\";\"Outdoor Temperature 3\";\"Outdoor Humidity 3\";"
    "\"Outdoor Temperature 4\";\"Outdoor Humidity 4\";\"Outdoor Temperature 5\";\"Outdoor Humidity 5\"\r\n";

std::string Line(const std::string& first, const std::string& rest) {
    return "\"" + first + "\";" + rest + "\r\n";
}

const std::string NoOutdoor =
    "\"---\";\"---\";\"---\";\"---\";\"---\";\"---\";\"---\";\"---\";\"---\";\"---\"";

} // namespace

TEST(TextExport, LinesFollowTheColumnTexts) {
    CDataset oneTransmitter = MakeDataset(2005, 1, 17, 14, 5);
    oneTransmitter.SetTemperature(1, -3.2f);
    oneTransmitter.SetHumidity(1, 121.0f);
    struct Case {
        const char* name;
        CDataset dataset;
        ColumnFormat format;
        std::string line;
    } cases[] = {
        {"defaults", MakeDataset(2005, 1, 17, 14, 5), ColumnFormat{},
         Line("17.01.2005 14:05", "\"21.5\";\"45\";" + NoOutdoor)},
        {"Fahrenheit", MakeDataset(2005, 1, 17, 14, 5, 37.0f), ColumnFormat{"%d.%m.%Y %H:%M", true},
         Line("17.01.2005 14:05", "\"98.6\";\"45\";" + NoOutdoor)},
        {"ISO date, 12-hour time", MakeDataset(2005, 1, 17, 14, 5), ColumnFormat{"%Y-%m-%d %I:%M %p", false},
         Line("2005-01-17 02:05 PM", "\"21.5\";\"45\";" + NoOutdoor)},
        {"one transmitter", oneTransmitter, ColumnFormat{},
         Line("17.01.2005 14:05", "\"21.5\";\"45\";\"-3.2\";\"OFL\";" + NoOutdoor.substr(12))},
    };
    for (const Case& c : cases) {
        std::string line;
        AppendExportLine(line, c.dataset, c.format);
        EXPECT_EQ(line, c.line) << c.name;
    }
}

TEST(TextExport, WritesHeaderAndLinesReplacingTheFile) {
    TempDir dir;
    const auto file = dir / "export.csv";
    WriteWholeFile(file, std::string(5000, 'x'));
    CHistoryData store;
    EXPECT_TRUE(store.Export(file, ColumnFormat{}));
    EXPECT_EQ(ReadWholeFile(file), Header);

    store.Append(dir / "history.nvh", {MakeDataset(2005, 1, 17, 14, 10), MakeDataset(2005, 1, 17, 14, 5)});
    EXPECT_TRUE(store.Export(file, ColumnFormat{}));
    EXPECT_EQ(ReadWholeFile(file), Header + Line("17.01.2005 14:05", "\"21.5\";\"45\";" + NoOutdoor) +
                                       Line("17.01.2005 14:10", "\"21.5\";\"45\";" + NoOutdoor));
    EXPECT_FALSE(store.Export(dir / "missing" / "export.csv", ColumnFormat{}));
}
