#pragma once

#include "station/DateTime.h"

#include <cstdint>
#include <istream>
#include <string>
#include <string_view>

namespace Hardware {
class RingBuffer;
}

// The numbering of a dataset's values shared by the table, the text export and cell editing.
enum DatasetColumn {
    dcDate = 1,
    dcIndoorTemperature = 2,
    dcIndoorHumidity = 3,
    dcOutdoorTemperature1 = 4,
    dcOutdoorHumidity1 = 5,
    dcOutdoorTemperature2 = 6,
    dcOutdoorHumidity2 = 7,
    dcOutdoorTemperature3 = 8,
    dcOutdoorHumidity3 = 9,
    dcOutdoorTemperature4 = 10,
    dcOutdoorHumidity4 = 11,
    dcOutdoorTemperature5 = 12,
    dcOutdoorHumidity5 = 13,
};

constexpr int DatasetColumnCount = 13;

// How values become text: the combined date-time pattern and the temperature unit.
struct ColumnFormat {
    std::string dateTimePattern = "%d.%m.%Y %H:%M";
    bool fahrenheit = false;
};

// One measurement: station date-time, six temperatures (°C) and six humidities (%), index 0
// indoor, 1..5 the outdoor transmitters. Compared and ordered by date-time only.
class CDataset {
public:
    static constexpr int SensorCount = 6;
    static constexpr float TemperatureNotAvailable = 81.1f;
    static constexpr float TemperatureOverflow = 136.0f;
    static constexpr float HumidityNotAvailable = 110.0f;
    static constexpr float HumidityOverflow = 121.0f;
    // A value a million times beyond any sensor's range is no measurement (a damaged record):
    // summaries and charts leave out what is not below this in magnitude.
    static constexpr float NoMeasurementFrom = 1e6f;

    CDataset();

    // Decodes the next dataset of consecutive station datasets. A short read leaves the dataset
    // unchanged and the stream failed; when no dataset follows (end of data or a lead byte
    // 0xFF/0xFE) the stream is put into its bad state so a parse loop stops after this one.
    void ReadFromStation(std::istream& stream, const Hardware::RingBuffer& layout);
    // Decodes one dataset from slot bytes (layout.DatasetSize() of them).
    void DecodeStation(const std::uint8_t* bytes, const Hardware::RingBuffer& layout);

    bool operator<(const CDataset& other) const { return m_dateTime < other.m_dateTime; }
    bool operator==(const CDataset& other) const { return m_dateTime == other.m_dateTime; }
    bool IsInvalid() const { return m_dateTime.GetStatus() == CDateTime::invalid; }

    const CDateTime& GetDateTime() const { return m_dateTime; }
    void SetDateTime(const CDateTime& dateTime) { m_dateTime = dateTime; }
    float GetTemperature(int sensor) const { return m_values[sensor]; }
    void SetTemperature(int sensor, float value) { m_values[sensor] = value; }
    float GetHumidity(int sensor) const { return m_values[SensorCount + sensor]; }
    void SetHumidity(int sensor, float value) { m_values[SensorCount + sensor] = value; }
    // The temperatures of sensors 0 to 5, then their humidities, side by side: what code that
    // takes several values at a time reads.
    const float* Values() const { return m_values; }

    // Texts under a given format.
    std::string GetColumnText(int column, const ColumnFormat& format) const;
    void AppendColumnText(std::string& out, int column, const ColumnFormat& format) const;
    // False, and nothing changed, for a column without a value or a text without a finite number.
    bool SetColumnFromText(int column, const std::string& text, const ColumnFormat& format);

    static bool IsTemperatureColumn(int column) { return column >= 2 && column <= 12 && column % 2 == 0; }
    static bool IsHumidityColumn(int column) { return column >= 3 && column <= 13 && column % 2 == 1; }
    // Sensor index of a temperature or humidity column.
    static int SensorOfColumn(int column) { return (column - 2) / 2; }

private:
    CDateTime m_dateTime;
    float m_values[2 * SensorCount];
};

// The same measurement: the same date-time and every value the same. Two datasets at one date-time
// with other values are two measurements (a clock set back records an hour twice).
bool SameMeasurement(const CDataset& a, const CDataset& b);

// Digit decoders: digits least significant first. 0xA in any digit means not available and is
// tested before 0xF (overflow); the date-time has no overflow, only 0xA makes it invalid.
float DecodeTemperature(int tenths, int units, int tens);
float DecodeHumidity(int units, int tens);
CDateTime DecodeDateTime(const std::uint8_t* bytes);
// The date-time takes this many bytes at the start of a slot.
constexpr unsigned DateTimeSize = 5;
// Nibble n of a byte sequence: low nibble of byte n/2 for even n, its high nibble for odd n.
inline int Nibble(const std::uint8_t* bytes, int n) {
    return n % 2 == 0 ? bytes[n / 2] & 0x0F : bytes[n / 2] >> 4;
}

// Nibble positions of each sensor's temperature (3 digits) and humidity (2 digits) in a slot.
struct SensorNibbles {
    int temperature, humidity;
};
extern const SensorNibbles StationSensorNibbles[CDataset::SensorCount];

float ToFahrenheit(float celsius);
float ToCelsius(float fahrenheit);
// Text of a temperature or humidity as the table shows it.
std::string TemperatureText(float celsius, bool fahrenheit);
std::string HumidityText(float humidity);
