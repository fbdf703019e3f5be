#include "settings/OptionValues.h"

ColumnFormat ColumnFormatOf(const COptionsImpl& options) {
    return ColumnFormat{options.GetDateTimeFormat(), options.UsesFahrenheit()};
}

TransmitterCountSink TransmitterCountOption(COptionsImpl& options) {
    return [&options](int count) {
        if (count == options.GetNrOfTransmitters())
            return false;
        options.SetNrOfTransmitters(count);
        return true;
    };
}
