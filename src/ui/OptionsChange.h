#pragma once

// What the options command changed, as the options dialog reports it and the main window passes
// it on to its views.
struct OptionsChange {
    bool language = false;
    bool format = false; // date, time or temperature unit
    bool port = false;
    bool historyFile = false;

    bool Any() const { return language || format || port || historyFile; }
    bool operator==(const OptionsChange&) const = default;
};
