#include "history/HistoryDamage.h"

std::string DamageText(const HistoryDamage& damage) {
    std::string text;
    if (damage.implausibleRecords == 1)
        text = "1 record holds values no station records";
    else if (damage.implausibleRecords > 1)
        text = std::to_string(damage.implausibleRecords) + " records hold values no station records";
    if (damage.partialBytes != 0) {
        if (!text.empty())
            text += "; ";
        text += "the last " + std::to_string(damage.partialBytes) +
                " bytes are an incomplete record and were not read";
    }
    return text;
}

std::optional<std::string> NotAHistoryFile(const HistoryDamage& damage, std::size_t records) {
    if (records == 0) {
        if (damage.partialBytes != 0 && damage.partialIsNoRecord)
            return "its " + std::to_string(damage.partialBytes) + " bytes are no history record";
        return std::nullopt;
    }
    if (damage.implausibleRecords * 2 > records)
        return std::to_string(damage.implausibleRecords) + " of its " + std::to_string(records) +
               " records hold values no station records";
    return std::nullopt;
}
