#include "station/Dataset.h"

#include "station/RingBuffer.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

const SensorNibbles StationSensorNibbles[CDataset::SensorCount] = {
    {10, 16}, {13, 18}, {20, 23}, {25, 28}, {30, 33}, {35, 38},
};

namespace {

// A digit as the station's decimal printing renders it: 0xB..0xF become "11".."15".
void AppendDigit(std::string& text, int digit) {
    if (digit >= 10)
        text.push_back('1');
    text.push_back(static_cast<char>('0' + digit % 10));
}

double ParseDecimal(const std::string& text) {
    double value = 0.0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

int TwoDigitField(const std::uint8_t* bytes, int byteIndex) {
    std::string text;
    AppendDigit(text, bytes[byteIndex] >> 4);
    AppendDigit(text, bytes[byteIndex] & 0x0F);
    return static_cast<int>(ParseDecimal(text));
}

// The leading decimal number of a text, as strtod reads it but independent of the locale.
// Nothing when the text starts with no finite number.
bool LeadingNumber(const std::string& text, double& value) {
    const char* begin = text.data();
    const char* end = begin + text.size();
    while (begin != end && (*begin == ' ' || (*begin >= '\t' && *begin <= '\r')))
        ++begin;
    bool negative = false;
    if (begin != end && (*begin == '+' || *begin == '-')) {
        negative = *begin == '-';
        ++begin;
    }
    if (begin == end || *begin == '+' || *begin == '-')
        return false;
    double parsed = 0.0;
    const auto result = std::from_chars(begin, end, parsed);
    if (result.ec != std::errc() || !std::isfinite(parsed))
        return false;
    value = negative ? -parsed : parsed;
    return true;
}

void AppendFixed(std::string& out, float value, int decimals) {
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    out.append(buffer, result.ptr);
}

} // namespace

CDataset::CDataset() {
    m_dateTime.SetStatus(CDateTime::invalid);
    std::fill(m_values, m_values + SensorCount, TemperatureNotAvailable);
    std::fill(m_values + SensorCount, std::end(m_values), HumidityNotAvailable);
}

bool SameMeasurement(const CDataset& a, const CDataset& b) {
    return a.GetDateTime() == b.GetDateTime() &&
           std::memcmp(a.Values(), b.Values(), 2 * CDataset::SensorCount * sizeof(float)) == 0;
}

float DecodeTemperature(int tenths, int units, int tens) {
    if (tenths == 0xA || units == 0xA || tens == 0xA)
        return CDataset::TemperatureNotAvailable;
    if (tenths == 0xF || units == 0xF || tens == 0xF)
        return CDataset::TemperatureOverflow;
    std::string text;
    AppendDigit(text, tens);
    AppendDigit(text, units);
    text.push_back('.');
    AppendDigit(text, tenths);
    return static_cast<float>(ParseDecimal(text) - 30.0);
}

float DecodeHumidity(int units, int tens) {
    if (units == 0xA || tens == 0xA)
        return CDataset::HumidityNotAvailable;
    if (units == 0xF || tens == 0xF)
        return CDataset::HumidityOverflow;
    std::string text;
    AppendDigit(text, tens);
    AppendDigit(text, units);
    return static_cast<float>(ParseDecimal(text));
}

CDateTime DecodeDateTime(const std::uint8_t* bytes) {
    CDateTime result;
    for (int n = 0; n < 10; ++n) {
        if (Nibble(bytes, n) == 0xA) {
            result.SetStatus(CDateTime::invalid);
            return result;
        }
    }
    const int minute = TwoDigitField(bytes, 0), hour = TwoDigitField(bytes, 1), day = TwoDigitField(bytes, 2);
    const int month = TwoDigitField(bytes, 3), year = TwoDigitField(bytes, 4);
    result.SetDateTime(2000 + year, month, day, hour, minute, 0);
    return result;
}

void CDataset::DecodeStation(const std::uint8_t* bytes, const Hardware::RingBuffer& layout) {
    m_dateTime = DecodeDateTime(bytes);
    const int sensors = std::min(layout.NrOfTransmitters() + 1, SensorCount);
    for (int sensor = 0; sensor < sensors; ++sensor) {
        const SensorNibbles& at = StationSensorNibbles[sensor];
        m_values[sensor] = DecodeTemperature(Nibble(bytes, at.temperature), Nibble(bytes, at.temperature + 1),
                                             Nibble(bytes, at.temperature + 2));
        m_values[SensorCount + sensor] =
            DecodeHumidity(Nibble(bytes, at.humidity), Nibble(bytes, at.humidity + 1));
    }
}

void CDataset::ReadFromStation(std::istream& stream, const Hardware::RingBuffer& layout) {
    std::uint8_t bytes[32];
    const auto size = static_cast<std::streamsize>(layout.DatasetSize());
    stream.read(reinterpret_cast<char*>(bytes), size);
    if (stream.gcount() != size) {
        stream.setstate(std::ios::failbit);
        return;
    }
    DecodeStation(bytes, layout);
    const auto next = stream.peek();
    if (next == std::istream::traits_type::eof() || next == 0xFF || next == 0xFE)
        stream.setstate(std::ios::badbit);
}

float ToFahrenheit(float c) {
    if (c == CDataset::TemperatureNotAvailable || c == CDataset::TemperatureOverflow)
        return c;
    const float f = c * 9.0f / 5.0f + 32.0f;
    const float tenths = f * 10.0f;
    return f >= 0 ? std::floor(tenths) / 10.0f + 0.02f : std::ceil(tenths) / 10.0f - 0.02f;
}

float ToCelsius(float f) {
    if (f == CDataset::TemperatureNotAvailable || f == CDataset::TemperatureOverflow)
        return f;
    return (f - 32.0f) * 5.0f / 9.0f;
}

namespace {

void AppendTemperature(std::string& out, float v, bool fahrenheit) {
    if (v == CDataset::TemperatureOverflow) {
        out += "OFL";
        return;
    }
    if (v == CDataset::TemperatureNotAvailable) {
        out += "---";
        return;
    }
    if (fahrenheit)
        v = ToFahrenheit(v);
    const float tenths = v * 10.0f;
    float t = (v >= 0 ? std::floor(tenths) : std::ceil(tenths)) / 10.0f;
    if (t == 0.0f)
        t = 0.0f; // a value just below zero truncates to -0.0, which reads as "-0.0"
    AppendFixed(out, t, 1);
}

void AppendHumidity(std::string& out, float v) {
    if (v == CDataset::HumidityOverflow)
        out += "OFL";
    else if (v == CDataset::HumidityNotAvailable)
        out += "---";
    else
        AppendFixed(out, v, 0);
}

} // namespace

std::string TemperatureText(float celsius, bool fahrenheit) {
    std::string out;
    AppendTemperature(out, celsius, fahrenheit);
    return out;
}

std::string HumidityText(float humidity) {
    std::string out;
    AppendHumidity(out, humidity);
    return out;
}

void CDataset::AppendColumnText(std::string& out, int column, const ColumnFormat& format) const {
    if (column == dcDate)
        m_dateTime.FormatTo(out, format.dateTimePattern);
    else if (IsTemperatureColumn(column))
        AppendTemperature(out, m_values[SensorOfColumn(column)], format.fahrenheit);
    else if (IsHumidityColumn(column))
        AppendHumidity(out, m_values[SensorCount + SensorOfColumn(column)]);
}

std::string CDataset::GetColumnText(int column, const ColumnFormat& format) const {
    std::string out;
    AppendColumnText(out, column, format);
    return out;
}

bool CDataset::SetColumnFromText(int column, const std::string& text, const ColumnFormat& format) {
    if (IsTemperatureColumn(column)) {
        float& value = m_values[SensorOfColumn(column)];
        double number = 0.0;
        if (text == "---")
            value = TemperatureNotAvailable;
        else if (text == "OFL")
            value = TemperatureOverflow;
        else if (LeadingNumber(text, number))
            value = format.fahrenheit ? ToCelsius(static_cast<float>(number)) : static_cast<float>(number);
        else
            return false;
        return true;
    }
    if (IsHumidityColumn(column)) {
        float& value = m_values[SensorCount + SensorOfColumn(column)];
        double number = 0.0;
        if (text == "---")
            value = HumidityNotAvailable;
        else if (text == "OFL")
            value = HumidityOverflow;
        else if (LeadingNumber(text, number))
            value = static_cast<float>(number);
        else
            return false;
        return true;
    }
    return false;
}
