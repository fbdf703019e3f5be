#include "ui/MessageTexts.h"

#include "settings/LangXml.h"
#include "settings/Options.h"

namespace {

const char* English(MessageText text) {
    switch (text) {
    case MessageText::HistoryNotChanged:
        return "The history file \"%1\" was not changed: %2.";
    case MessageText::ExportNotWritten:
        return "The export file \"%1\" was not written: %2";
    case MessageText::HistoryDamaged:
        return "The history file \"%1\" is damaged: %2. Nothing was changed in it.";
    case MessageText::HistoryNotRead:
        return "The history file \"%1\" could not be read.";
    case MessageText::NoStation:
        return "No station answers on port %1: %2. Check the cable and the port in the options.";
    case MessageText::LinkConnected:
        return "Station connected on port %1";
    case MessageText::LinkDown:
        return "No station on port %1: %2";
    case MessageText::LinkImporting:
        return "Importing from the station on port %1";
    case MessageText::HistoryReading:
        return "Reading the history file %1 …";
    case MessageText::EditCancelled:
        return "The dataset of %1 is no longer in the history file: another program changed or deleted "
               "it. The edit was cancelled.";
    case MessageText::HistoryFiles:
        return "History Files";
    case MessageText::TextFiles:
        return "Text Files";
    case MessageText::CsvFiles:
        return "CSV Files";
    case MessageText::SqliteDatabases:
        return "SQLite Databases";
    case MessageText::NotANumber:
    case MessageText::TemperatureCelsius:
    case MessageText::TemperatureFahrenheit:
    case MessageText::Humidity:
    case MessageText::NotEditable:
        break;
    }
    return "";
}

} // namespace

QString LanguageText(int key, const char* english) {
    LoadMultiLangXml texts;
    texts.SetLanguage(Options().GetLanguageID());
    std::string found;
    if (texts.Lookup(key, found) && !found.empty())
        return QString::fromUtf8(found.data(), qsizetype(found.size()));
    return QString::fromUtf8(english);
}

QString Text(MessageText text) {
    return LanguageText(int(text), English(text));
}

QString Text(CellInput::Problem problem, bool fahrenheit) {
    MessageText key = MessageText::NotEditable;
    switch (problem) {
    case CellInput::Problem::None:
        return {};
    case CellInput::Problem::NotANumber:
        key = MessageText::NotANumber;
        break;
    case CellInput::Problem::Temperature:
        key = fahrenheit ? MessageText::TemperatureFahrenheit : MessageText::TemperatureCelsius;
        break;
    case CellInput::Problem::Humidity:
        key = MessageText::Humidity;
        break;
    case CellInput::Problem::NotEditable:
        break;
    }
    LoadMultiLangXml texts;
    texts.SetLanguage(Options().GetLanguageID());
    std::string found;
    if (texts.Lookup(int(key), found) && !found.empty())
        return QString::fromUtf8(found.data(), qsizetype(found.size()));
    const std::string english = ProblemText(problem, fahrenheit);
    return QString::fromUtf8(english.data(), qsizetype(english.size()));
}
