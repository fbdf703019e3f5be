#include "station/CellInput.h"
#include "station/Dataset.h"

#include <gtest/gtest.h>

namespace {

struct CellCase {
    const char* name;
    int column;
    const char* text;
    bool fahrenheit;
    bool accepted;
    const char* value; // what is stored when accepted
};

const CellCase cases[] = {
    {"decimal_point", dcIndoorTemperature, "19.5", false, true, "19.5"},
    {"decimal_comma_is_a_point", dcIndoorTemperature, "19,5", false, true, "19.5"},
    {"negative_comma", dcOutdoorTemperature2, "-12,3", false, true, "-12.3"},
    {"lowest", dcIndoorTemperature, "-30.0", false, true, "-30.0"},
    {"highest", dcIndoorTemperature, "69.9", false, true, "69.9"},
    {"below_the_range", dcIndoorTemperature, "-30.1", false, false, ""},
    {"above_the_range", dcIndoorTemperature, "70", false, false, ""},
    {"far_above", dcIndoorTemperature, "999999.9", false, false, ""},
    {"fahrenheit_highest", dcIndoorTemperature, "157.8", true, true, "157.8"},
    {"fahrenheit_above", dcIndoorTemperature, "158", true, false, ""},
    {"fahrenheit_lowest", dcIndoorTemperature, "-22", true, true, "-22"},
    {"celsius_limit_in_fahrenheit_is_fine", dcIndoorTemperature, "69.9", true, true, "69.9"},
    {"not_available", dcIndoorTemperature, "---", false, true, "---"},
    {"overflow", dcOutdoorHumidity1, "OFL", false, true, "OFL"},
    {"humidity", dcIndoorHumidity, "45", false, true, "45"},
    {"humidity_highest", dcIndoorHumidity, "99", false, true, "99"},
    {"humidity_above", dcIndoorHumidity, "150", false, false, ""},
    {"humidity_below", dcIndoorHumidity, "-1", false, false, ""},
    {"not_a_number", dcIndoorTemperature, "abc", false, false, ""},
    {"trailing_text", dcIndoorTemperature, "12abc", false, false, ""},
    {"two_separators", dcIndoorTemperature, "1,2.3", false, false, ""},
    {"empty", dcIndoorTemperature, "", false, false, ""},
    {"date_column", dcDate, "1", false, false, ""},
};

class CellInputTable : public ::testing::TestWithParam<CellCase> {};

} // namespace

TEST_P(CellInputTable, AcceptsWhatAStationCouldMeasure) {
    const CellCase& c = GetParam();
    const CellInput input = CheckCellInput(c.column, c.text, c.fahrenheit);
    EXPECT_EQ(input.accepted, c.accepted);
    if (c.accepted)
        EXPECT_EQ(input.value, c.value);
    else
        EXPECT_NE(input.problem, CellInput::Problem::None);
}

INSTANTIATE_TEST_SUITE_P(Cases, CellInputTable, ::testing::ValuesIn(cases),
                         [](const auto& info) { return std::string(info.param.name); });
