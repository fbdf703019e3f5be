#include "publish/DatasetJson.h"
#include "publish/JsonText.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace {

CDataset Dataset(const CDateTime& time, std::initializer_list<float> temperatures,
                 std::initializer_list<float> humidities) {
    CDataset d;
    d.SetDateTime(time);
    int i = 0;
    for (float t : temperatures)
        d.SetTemperature(i++, t);
    i = 0;
    for (float h : humidities)
        d.SetHumidity(i++, h);
    return d;
}

constexpr float NA = CDataset::TemperatureNotAvailable;
constexpr float Over = CDataset::TemperatureOverflow;
constexpr float HNA = CDataset::HumidityNotAvailable;
constexpr float HOver = CDataset::HumidityOverflow;

} // namespace

TEST(DatasetJson, ValuesInSiUnitsWithTheOffsetAndNullForWhatIsMissing) {
    struct Case {
        const char* name;
        CDataset dataset;
        int transmitters;
        int offset;
        const char* json;
    };
    const Case cases[] = {
        {"indoor only, UTC", Dataset(CDateTime(2026, 12, 8, 14, 35, 0), {21.5f}, {45}), 0, 0,
         R"({"time":"2026-12-08T14:35:00+00:00","indoor_temperature":21.5,"indoor_humidity":45})"},
        {"two transmitters, frost, summer time",
         Dataset(CDateTime(2026, 7, 1, 0, 5, 0), {20.0f, -5.3f, -0.1f}, {50, 99, 1}), 2, 7200,
         R"({"time":"2026-07-01T00:05:00+02:00","indoor_temperature":20.0,"indoor_humidity":50,)"
         R"("outdoor1_temperature":-5.3,"outdoor1_humidity":99,"outdoor2_temperature":-0.1,"outdoor2_humidity":1})"},
        {"not available and overflow are null",
         Dataset(CDateTime(2005, 1, 17, 14, 35, 0), {NA, Over}, {HOver, HNA}), 1, -12600,
         R"({"time":"2005-01-17T14:35:00-03:30","indoor_temperature":null,"indoor_humidity":null,)"
         R"("outdoor1_temperature":null,"outdoor1_humidity":null})"},
        {"five transmitters",
         Dataset(CDateTime(2026, 1, 2, 3, 4, 0), {1, 2, 3, 4, 5, 6}, {10, 20, 30, 40, 50, 60}), 5, 3600,
         R"({"time":"2026-01-02T03:04:00+01:00","indoor_temperature":1.0,"indoor_humidity":10,)"
         R"("outdoor1_temperature":2.0,"outdoor1_humidity":20,"outdoor2_temperature":3.0,"outdoor2_humidity":30,)"
         R"("outdoor3_temperature":4.0,"outdoor3_humidity":40,"outdoor4_temperature":5.0,"outdoor4_humidity":50,)"
         R"("outdoor5_temperature":6.0,"outdoor5_humidity":60})"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(DatasetJson(c.dataset, c.transmitters, c.offset), c.json);
    }
}

TEST(DatasetJson, AnInvalidTimeIsNull) {
    CDateTime invalid;
    invalid.SetStatus(CDateTime::invalid);
    EXPECT_EQ(DatasetJson(Dataset(invalid, {20}, {40}), 0, 0),
              R"({"time":null,"indoor_temperature":20.0,"indoor_humidity":40})");
}

TEST(LocalUtcOffset, FollowsTheTimeZoneAtThatMoment) {
    const char* old = std::getenv("TZ");
    const std::string saved = old ? old : "";
    struct Case {
        const char* zone;
        CDateTime time;
        int offset;
    };
    const Case cases[] = {
        {"Europe/Berlin", CDateTime(2026, 1, 15, 12, 0, 0), 3600},
        {"Europe/Berlin", CDateTime(2026, 7, 15, 12, 0, 0), 7200},
        {"America/St_Johns", CDateTime(2026, 1, 15, 12, 0, 0), -12600},
        {"UTC", CDateTime(2026, 7, 15, 12, 0, 0), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.zone);
        ::setenv("TZ", c.zone, 1);
        ::tzset();
        EXPECT_EQ(LocalUtcOffsetSeconds(c.time), c.offset);
    }
    if (old)
        ::setenv("TZ", saved.c_str(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();
}

TEST(JsonText, EscapesWhatJsonRequires) {
    EXPECT_EQ(JsonString("a\"b\\c\nd\x01"), R"("a\"b\\c\nd\u0001")");
    EXPECT_EQ(JsonString("°C"), "\"°C\"");
}
