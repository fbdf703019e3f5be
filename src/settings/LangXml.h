#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace tinyxml2 {
class XMLDocument;
}

// The text table of one language: "texts_<id>.xml", entries looked up by numeric key.
// The file is searched in the start-up directory first, then in the data directory beside the
// installed program ("<prefix>/share/nivaro" for "<prefix>/bin/nivaro"), then in the configured
// install prefix's, then in the source tree's data directory (a build run from the source tree).
class LoadMultiLangXml {
public:
    // Starts with the user's default language; nothing is loaded until SetLanguage.
    LoadMultiLangXml();
    // Searches only the given directories, in order (tests, tools).
    explicit LoadMultiLangXml(std::vector<std::filesystem::path> searchDirectories);
    ~LoadMultiLangXml();
    LoadMultiLangXml(const LoadMultiLangXml&) = delete;
    LoadMultiLangXml& operator=(const LoadMultiLangXml&) = delete;

    // Stores the language and loads its file; a file that is missing or not well-formed leaves
    // the table empty. Language 0 (only possible from a hand-edited options file) means 1033.
    void SetLanguage(std::uint16_t languageId);
    std::uint16_t GetLanguage() const { return m_languageId; }

    // The text of the first entry with this key whose value has text, backslash-n sequences
    // turned into line breaks. False, and text untouched, when there is none.
    bool Lookup(int key, std::string& text) const;
    // The text, or "" when there is none.
    std::string Text(int key) const;

    // The file that SetLanguage loaded, empty when none was found.
    const std::filesystem::path& LoadedFile() const { return m_loadedFile; }

    // "texts_<id>.xml"
    static std::string FileName(std::uint16_t languageId);
    // Start-up directory, data directory beside the program, configured installed data directory,
    // source data directory.
    static std::vector<std::filesystem::path> DefaultSearchDirectories();

private:
    std::uint16_t m_languageId;
    std::vector<std::filesystem::path> m_searchDirectories;
    std::unique_ptr<tinyxml2::XMLDocument> m_document;
    std::filesystem::path m_loadedFile;
};

// The language the user's locale asks for (LC_ALL, LC_MESSAGES, LANG): 1031 for German, 1036 for
// French, 1033 otherwise.
std::uint16_t UserDefaultLanguage();
