#include "ui/LanguageMenu.h"

#include "base/Check.h"

#include <map>

namespace {

LanguageMenu MakeMenu(const char* file, const char* open, const char* print, const char* exit,
                      const char* data, const char* import, const char* exportText, const char* deleteText,
                      const char* options, const char* about, const char* chart, const char* statistics) {
    return {
        {file,
         {{Command::FileOpen, open},
          {0, ""},
          {Command::FilePrint, print},
          {0, ""},
          {Command::FileExit, exit}}},
        {data,
         {{Command::DataImport, import},
          {Command::DataExport, exportText},
          {Command::DataDelete, deleteText},
          {0, ""},
          {Command::DataChart, chart},
          {Command::DataStatistics, statistics}}},
        {"E&xtras", {{Command::ExtrasOptions, options}}},
        {"?", {{Command::About, about}}},
    };
}

const std::map<std::uint16_t, LanguageMenu>& Menus() {
    static const std::map<std::uint16_t, LanguageMenu> menus = {
        {1033, MakeMenu("&File", "&Open...\tCtrl+O", "&Print...\tCtrl+P", "E&xit", "&Data", "&Import...",
                        "&Export...", "&Delete...", "&Options...", "&About Nivaro...", "&Chart\tCtrl+G",
                        "&Statistics\tCtrl+T")},
        {1031, MakeMenu("&Datei", "&Öffnen...\tStrg+O", "&Drucken...\tStrg+P", "&Beenden", "D&aten",
                        "&Importieren...", "&Exportieren...", "&Löschen...", "&Optionen...",
                        "&Über Nivaro...", "&Diagramm\tStrg+G", "&Statistik\tStrg+T")},
        {1036, MakeMenu("&Fichier", "&Ouvrir...\tCtrl+O", "&Imprimer...\tCtrl+P", "&Quitter", "&Données",
                        "&Importer...", "&Exporter...", "&Supprimer...", "&Options...",
                        "&A propos de Nivaro...", "&Graphique\tCtrl+G", "S&tatistiques\tCtrl+T")},
    };
    return menus;
}

} // namespace

const LanguageMenu& LoadLanguageMenu(int menuNumber, std::uint16_t languageId) {
    const auto& menus = Menus();
    const auto found = menuNumber == MainMenu ? menus.find(languageId) : menus.end();
    Check(found != menus.end()) << "Menu for language " << languageId << " not found";
    return found->second;
}

const std::vector<std::uint16_t>& MenuLanguages() {
    static const std::vector<std::uint16_t> languages = {1033, 1031, 1036};
    return languages;
}
