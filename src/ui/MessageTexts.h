#pragma once

#include "ui/CellInput.h"

#include <QString>

// The desktop's messages in the user's language (from the language files, English when a file
// lacks one); "%1" and "%2" are filled in by the caller.
enum class MessageText {
    HistoryNotChanged = 100100, // file, reason
    ExportNotWritten = 100101,  // file, reason
    HistoryDamaged = 100102,    // file, what is damaged
    HistoryNotRead = 100103,    // file
    NoStation = 100104,         // port, reason
    LinkConnected = 100105,     // port
    LinkDown = 100106,          // port, reason
    LinkImporting = 100113,     // port
    HistoryReading = 100114,    // file
    NotANumber = 100107,
    TemperatureCelsius = 100108,
    TemperatureFahrenheit = 100109,
    Humidity = 100110,
    NotEditable = 100111,
    EditCancelled = 100112, // date-time of the dataset
    // The file types of the file dialogs.
    HistoryFiles = 100120,
    TextFiles = 100121,
    CsvFiles = 100122,
    SqliteDatabases = 100123,
};

// The text of key in the options' language, else the English given.
QString LanguageText(int key, const char* english);

QString Text(MessageText text);
// The text of a refused cell input.
QString Text(CellInput::Problem problem, bool fahrenheit);
