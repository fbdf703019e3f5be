#pragma once

#include "ui/CommandIds.h"

#include <cstdint>
#include <string>
#include <vector>

// The main window's menu bar in one language: its popups, each a list of commands.
struct MenuCommand {
    int id; // 0 for a separator
    std::string text;
    bool IsSeparator() const { return id == 0; }
};

struct MenuDefinition {
    std::string title;
    std::vector<MenuCommand> commands;
};

using LanguageMenu = std::vector<MenuDefinition>;

// The menu with that number in that language. Raises the checked-expression error
// "Menu for language <id> not found" when there is none.
const LanguageMenu& LoadLanguageMenu(int menuNumber, std::uint16_t languageId);

// The languages that have menus, in the order the options offer them.
const std::vector<std::uint16_t>& MenuLanguages();
