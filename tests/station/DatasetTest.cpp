#include "station/Dataset.h"
#include "station/RingBuffer.h"

#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::vector<std::uint8_t> Example = {0x35, 0x14, 0x17, 0x01, 0x05, 0x15, 0x85, 0x26, 0x45, 0x87};

std::string Bytes(std::vector<std::uint8_t> bytes) {
    return std::string(bytes.begin(), bytes.end());
}

CDataset Decode(const std::vector<std::uint8_t>& bytes, int transmitters = 1) {
    std::istringstream in(Bytes(bytes));
    CDataset dataset;
    dataset.ReadFromStation(in, *RingBuffer::GetConfig(transmitters));
    return dataset;
}

std::vector<std::uint8_t> With(int index, std::uint8_t value) {
    auto bytes = Example;
    bytes[index] = value;
    return bytes;
}

const ColumnFormat Celsius{"%d.%m.%Y %H:%M", false};
const ColumnFormat Fahrenheit{"%d.%m.%Y %H:%M", true};

} // namespace

TEST(StationDataset, DecodesTheOneTransmitterExample) {
    const CDataset d = Decode(Example);
    EXPECT_EQ(d.GetDateTime(), CDateTime(2005, 1, 17, 14, 35, 0));
    EXPECT_FLOAT_EQ(d.GetTemperature(0), 21.5f);
    EXPECT_FLOAT_EQ(d.GetTemperature(1), -3.2f);
    EXPECT_EQ(d.GetHumidity(0), 45.0f);
    EXPECT_EQ(d.GetHumidity(1), 87.0f);
    for (int sensor = 2; sensor < 6; ++sensor) {
        EXPECT_EQ(d.GetTemperature(sensor), 81.1f);
        EXPECT_EQ(d.GetHumidity(sensor), 110.0f);
    }
    EXPECT_EQ(d.GetColumnText(dcDate, Celsius), "17.01.2005 14:35");
    EXPECT_EQ(d.GetColumnText(dcOutdoorTemperature1, Celsius), "-3.2");
    EXPECT_EQ(d.GetColumnText(dcOutdoorHumidity2, Celsius), "---");
}

struct VariantCase {
    const char* name;
    std::vector<std::uint8_t> bytes;
    int column;
    const char* text;
};

TEST(StationDataset, ReservedDigitsAndImpossibleDates) {
    const VariantCase cases[] = {
        {"0xA in outdoor temperature", With(7, 0xAA), dcOutdoorTemperature1, "---"},
        {"0xF in outdoor temperature", With(7, 0xF6), dcOutdoorTemperature1, "OFL"},
        {"0xA tested before 0xF", With(5, 0xAF), dcIndoorTemperature, "---"},
        {"0xA in humidity", With(8, 0x4A), dcIndoorHumidity, "---"},
        {"0xF in humidity", With(9, 0xF7), dcOutdoorHumidity1, "OFL"},
        {"tens digit above 9 prints as its number", With(8, 0xC5), dcIndoorHumidity, "125"},
        {"0xA in the month", With(3, 0x1A), dcDate, "Invalid DateTime"},
        {"month 13", With(3, 0x13), dcDate, "Invalid DateTime"},
        {"0xF tens digit of the month", With(3, 0xF1), dcDate, "Invalid DateTime"},
        {"day 32 is not carried", With(2, 0x32), dcDate, "Invalid DateTime"},
        {"hour 24 is not carried", With(1, 0x24), dcDate, "Invalid DateTime"},
        {"minute 60 is not carried", With(0, 0x60), dcDate, "Invalid DateTime"},
        {"February 30", With(3, 0x02), dcIndoorTemperature, "21.5"},
    };
    for (const VariantCase& c : cases) {
        const CDataset d = Decode(c.bytes);
        EXPECT_EQ(d.GetColumnText(c.column, Celsius), c.text) << c.name;
    }
    EXPECT_TRUE(Decode(With(3, 0x1A)).IsInvalid());
    EXPECT_TRUE(Decode(With(3, 0x13)).IsInvalid());
    EXPECT_FALSE(Decode(Example).IsInvalid());
}

TEST(StationDataset, ErasedSlotIsInvalidWithOverflowValues) {
    const CDataset d = Decode(std::vector<std::uint8_t>(10, 0xFF));
    EXPECT_TRUE(d.IsInvalid());
    EXPECT_EQ(d.GetTemperature(0), 136.0f);
    EXPECT_EQ(d.GetTemperature(1), 136.0f);
    EXPECT_EQ(d.GetHumidity(0), 121.0f);
    EXPECT_EQ(d.GetHumidity(1), 121.0f);
    EXPECT_EQ(d.GetTemperature(2), 81.1f);
}

TEST(StationDataset, DecodesEveryTransmitterOfTheFiveLayout) {
    // Temperatures +30 as tenths 100,111,...,155 and humidities 10,21,...,65, nibble by nibble.
    std::vector<std::uint8_t> bytes = {0x00, 0x12, 0x31, 0x12, 0x07};
    std::vector<int> nibbles(30, 0);
    const int tempAt[] = {0, 3, 10, 15, 20, 25}, humAt[] = {6, 8, 13, 18, 23, 28};
    for (int s = 0; s < 6; ++s) {
        const int t = 100 + 11 * s, h = 10 + 11 * s;
        nibbles[tempAt[s]] = t % 10, nibbles[tempAt[s] + 1] = t / 10 % 10, nibbles[tempAt[s] + 2] = t / 100;
        nibbles[humAt[s]] = h % 10, nibbles[humAt[s] + 1] = h / 10;
    }
    for (int i = 0; i < 30; i += 2)
        bytes.push_back(static_cast<std::uint8_t>(nibbles[i] | nibbles[i + 1] << 4));
    const CDataset d = Decode(bytes, 5);
    EXPECT_EQ(d.GetDateTime(), CDateTime(2007, 12, 31, 12, 0, 0));
    for (int s = 0; s < 6; ++s) {
        EXPECT_NEAR(d.GetTemperature(s), (100 + 11 * s) / 10.0 - 30.0, 1e-5) << s;
        EXPECT_EQ(d.GetHumidity(s), 10 + 11 * s) << s;
    }
}

TEST(StationDataset, StreamStopsAtTheEndMarkerAndAtTheEnd) {
    const RingBuffer& layout = *RingBuffer::GetConfig(1);
    auto stream = [](std::vector<std::uint8_t> bytes) { return std::istringstream(Bytes(bytes)); };

    auto twoThenMarker = Example;
    twoThenMarker.insert(twoThenMarker.end(), Example.begin(), Example.end());
    twoThenMarker.push_back(0xFE);
    auto in = stream(twoThenMarker);
    CDataset d;
    d.ReadFromStation(in, layout);
    EXPECT_TRUE(in.good());
    d.ReadFromStation(in, layout);
    EXPECT_TRUE(in.bad());

    auto atEnd = stream(Example);
    d.ReadFromStation(atEnd, layout);
    EXPECT_TRUE(atEnd.bad());
    EXPECT_FALSE(d.IsInvalid());

    auto shortRead = stream({0x35, 0x14, 0x17});
    CDataset fresh;
    fresh.ReadFromStation(shortRead, layout);
    EXPECT_TRUE(shortRead.fail());
    EXPECT_TRUE(fresh.IsInvalid());
    EXPECT_EQ(fresh.GetTemperature(0), 81.1f);
}

TEST(DatasetText, TemperaturesTruncateToOneDecimal) {
    struct Case {
        float celsius;
        bool fahrenheit;
        const char* text;
    } cases[] = {
        {21.96f, false, "21.9"}, {-3.2f, false, "-3.2"}, {-0.05f, false, "0.0"},  {0.0f, false, "0.0"},
        {21.5f, true, "70.7"},   {37.0f, true, "98.6"},  {-30.0f, true, "-22.0"}, {136.0f, true, "OFL"},
        {81.1f, true, "---"},    {69.9f, false, "69.9"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TemperatureText(c.celsius, c.fahrenheit), c.text)
            << c.celsius << (c.fahrenheit ? " F" : " C");
    EXPECT_EQ(HumidityText(45.0f), "45");
    EXPECT_EQ(HumidityText(121.0f), "OFL");
    EXPECT_EQ(HumidityText(110.0f), "---");
    EXPECT_EQ(ToFahrenheit(81.1f), 81.1f);
    EXPECT_EQ(ToCelsius(136.0f), 136.0f);
}

TEST(DatasetText, ValuesFromText) {
    struct Case {
        int column;
        const char* text;
        const ColumnFormat* format;
        bool accepted;
        float expected; // value of the column afterwards
    } cases[] = {
        {dcIndoorTemperature, "OFL", &Celsius, true, 136.0f},
        {dcIndoorTemperature, "---", &Celsius, true, 81.1f},
        {dcIndoorTemperature, "  -4.5 C", &Celsius, true, -4.5f},
        {dcIndoorTemperature, "+12", &Celsius, true, 12.0f},
        {dcIndoorTemperature, "212", &Fahrenheit, true, 100.0f},
        {dcIndoorTemperature, "ofl", &Celsius, false, 21.5f}, // case-sensitive: not a number, kept
        {dcIndoorTemperature, "", &Celsius, false, 21.5f},
        {dcIndoorTemperature, "nan", &Celsius, false, 21.5f},
        {dcOutdoorHumidity1, "OFL", &Celsius, true, 121.0f},
        {dcOutdoorHumidity1, "---", &Celsius, true, 110.0f},
        {dcOutdoorHumidity1, "55%", &Celsius, true, 55.0f},
        {dcOutdoorHumidity1, "abc", &Celsius, false, 87.0f},
    };
    for (const auto& c : cases) {
        CDataset d = Decode(Example);
        EXPECT_EQ(d.SetColumnFromText(c.column, c.text, *c.format), c.accepted) << c.text;
        const float value = CDataset::IsTemperatureColumn(c.column)
                                ? d.GetTemperature(CDataset::SensorOfColumn(c.column))
                                : d.GetHumidity(CDataset::SensorOfColumn(c.column));
        EXPECT_NEAR(value, c.expected, 1e-4) << c.text;
    }
    CDataset d = Decode(Example);
    EXPECT_FALSE(d.SetColumnFromText(14, "5", Celsius));
    EXPECT_FALSE(d.SetColumnFromText(dcDate, "5", Celsius));
    EXPECT_EQ(d.GetColumnText(0, Celsius), "");
    EXPECT_EQ(d.GetColumnText(14, Celsius), "");
}

TEST(DatasetOrder, ComparesByDateTimeOnly) {
    CDataset a = Decode(Example), b = Decode(Example);
    b.SetTemperature(0, 10.0f);
    EXPECT_TRUE(a == b);
    CDataset later = Decode(With(0, 0x36));
    EXPECT_TRUE(a < later);
    EXPECT_FALSE(later < a);
    CDataset invalid1, invalid2;
    EXPECT_FALSE(invalid1 == invalid2);
    EXPECT_EQ(sizeof(CDataset), 64u);
}
