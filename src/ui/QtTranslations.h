#pragma once

#include <cstdint>

// Qt's own dialogs (file, print, message buttons) in the program's language, from the
// translations Qt installs; English needs none. Replaces the translation of an earlier language.
// False when the language has no Qt translation on this system.
bool UseQtTranslations(std::uint16_t languageId);
