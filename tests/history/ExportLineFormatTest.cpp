#include "history/ExportLineFormat.h"
#include "history/TextExport.h"

#include <gtest/gtest.h>
#include <limits>
#include <vector>

namespace {

// The date and time choices of the options, and patterns that stress the pattern parsing.
const char* const DatePatterns[] = {"%d.%m.%Y", "%d.%m.%y", "%m.%d.%Y", "%m.%d.%y", "%Y-%m-%d", "%y-%m-%d"};
const char* const TimePatterns[] = {"%H:%M", "%I:%M %p"};
const char* const OddPatterns[] = {"", "%S%%%q|%", "plain text", "%I%p %H:%M:%S %Y"};

std::vector<float> Temperatures() {
    std::vector<float> values;
    for (int tenths = -400; tenths <= 800; ++tenths)
        for (const float offset : {0.0f, 0.01f, 0.049f, 0.05f, 0.099f})
            values.push_back(static_cast<float>(tenths) / 10.0f + offset);
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    for (const float special : {-0.0f,
                                -0.01f,
                                -0.05f,
                                -0.09f,
                                -0.1f,
                                -17.77f,
                                -17.78f,
                                -17.79f,
                                -17.8f,
                                69.95f,
                                CDataset::TemperatureNotAvailable,
                                CDataset::TemperatureOverflow,
                                999999.9f,
                                -999999.9f,
                                1e7f,
                                1e30f,
                                -1e30f,
                                3.4e38f,
                                nan,
                                inf,
                                -inf})
        values.push_back(special);
    return values;
}

std::vector<float> Humidities() {
    std::vector<float> values;
    for (int percent = 0; percent <= 130; ++percent)
        values.push_back(static_cast<float>(percent));
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (const float special : {-0.0f, -1.0f, 0.5f, 1.5f, 45.5f, 99.9f, 1e7f, 1e30f, -1e30f, nan})
        values.push_back(special);
    return values;
}

std::vector<CDateTime> DateTimes() {
    std::vector<CDateTime> values;
    const double start = CDateTime(2005, 12, 31, 23, 50, 0).Value();
    for (int step = 0; step < 40; ++step) // minutes, around the turn of the year and noon
        values.emplace_back(start + step * 17.0 / 1440.0);
    values.emplace_back(CDateTime(1999, 1, 1, 0, 0, 0).Value() - 0.4 / 86400.0); // rounds to midnight
    values.emplace_back(CDateTime(2005, 1, 17, 12, 0, 59));
    values.emplace_back(CDateTime(2099, 12, 31, 23, 59, 59));
    values.emplace_back(CDateTime::MaxDate); // rounds into the year 10000: no valid fields
    values.emplace_back(CDateTime::MinDate);
    CDateTime invalid;
    invalid.SetStatus(CDateTime::invalid);
    values.push_back(invalid);
    CDateTime empty;
    empty.SetStatus(CDateTime::null);
    values.push_back(empty);
    return values;
}

// Datasets that together carry every value above, each in several sensors.
std::vector<CDataset> Datasets() {
    const std::vector<float> temperatures = Temperatures(), humidities = Humidities();
    const std::vector<CDateTime> dateTimes = DateTimes();
    std::vector<CDataset> datasets;
    for (std::size_t i = 0; i < temperatures.size(); ++i) {
        CDataset dataset;
        dataset.SetDateTime(dateTimes[i % dateTimes.size()]);
        for (int sensor = 0; sensor < CDataset::SensorCount; ++sensor) {
            dataset.SetTemperature(sensor, temperatures[(i + sensor * 7) % temperatures.size()]);
            dataset.SetHumidity(sensor, humidities[(i + sensor * 5) % humidities.size()]);
        }
        datasets.push_back(dataset);
    }
    return datasets;
}

std::vector<ColumnFormat> Formats() {
    std::vector<ColumnFormat> formats;
    for (const bool fahrenheit : {false, true}) {
        for (const char* date : DatePatterns)
            for (const char* time : TimePatterns)
                formats.push_back({std::string(date) + " " + time, fahrenheit});
        for (const char* odd : OddPatterns)
            formats.push_back({odd, fahrenheit});
    }
    return formats;
}

std::string Text(const std::vector<char>& buffer, const char* end) {
    return std::string(buffer.data(), static_cast<std::size_t>(end - buffer.data()));
}

} // namespace

// The block writer's lines must be byte for byte the column texts of the table.
TEST(ExportLineFormat, MatchesTheColumnTextsForEveryFormat) {
    const std::vector<CDataset> datasets = Datasets();
    for (const ColumnFormat& format : Formats()) {
        ExportLineFormatter formatter(format);
        std::vector<char> buffer(formatter.MaxLineSize());
        int mismatches = 0;
        for (const CDataset& dataset : datasets) {
            std::string expected;
            AppendExportLine(expected, dataset, format);
            char* end = formatter.Write(buffer.data(), dataset);
            const std::string line = Text(buffer, end);
            ASSERT_LE(line.size(), formatter.MaxLineSize()) << expected;
            if (line != expected && ++mismatches <= 5)
                ADD_FAILURE() << "pattern \"" << format.dateTimePattern << "\", Fahrenheit "
                              << format.fahrenheit << "\n  expected " << expected << "\n  written  " << line;
        }
        EXPECT_EQ(mismatches, 0) << format.dateTimePattern << (format.fahrenheit ? " °F" : " °C");
    }
}

TEST(ExportLineFormat, SpellsTheCasesThatAreEasyToGetWrong) {
    CDataset dataset;
    dataset.SetDateTime(CDateTime(2005, 1, 17, 0, 5, 0));
    const float values[] = {-0.04f, -0.1f, CDataset::TemperatureNotAvailable, CDataset::TemperatureOverflow,
                            -17.8f, 100.0f};
    for (int sensor = 0; sensor < CDataset::SensorCount; ++sensor)
        dataset.SetTemperature(sensor, values[sensor]);
    dataset.SetHumidity(0, CDataset::HumidityOverflow);
    dataset.SetHumidity(1, 0.0f);
    ExportLineFormatter celsius(ColumnFormat{"%d.%m.%Y %I:%M %p", false});
    ExportLineFormatter fahrenheit(ColumnFormat{"%d.%m.%Y %I:%M %p", true});
    std::vector<char> buffer(celsius.MaxLineSize());
    EXPECT_EQ(Text(buffer, celsius.Write(buffer.data(), dataset)),
              "\"17.01.2005 12:05 AM\";\"0.0\";\"OFL\";\"-0.1\";\"0\";\"---\";\"---\";\"OFL\";\"---\";"
              "\"-17.8\";\"---\";\"100.0\";\"---\"\r\n");
    EXPECT_EQ(Text(buffer, fahrenheit.Write(buffer.data(), dataset)),
              "\"17.01.2005 12:05 AM\";\"31.9\";\"OFL\";\"31.8\";\"0\";\"---\";\"---\";\"OFL\";\"---\";"
              "\"0.0\";\"---\";\"212.0\";\"---\"\r\n");
}
