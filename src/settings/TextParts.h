#pragma once

#include <optional>
#include <string>
#include <vector>

// How one language text is taken apart for a dialog control.

struct TextAndTip {
    std::string text;               // the control's text or item list
    std::optional<std::string> tip; // the tool tip, when the text had a second part
};

// Splits at the first line break or, when there is none, at the first literal backslash-n.
TextAndTip SplitTextAndTip(const std::string& text);

// The items of a ";"-separated list; empty items are dropped.
std::vector<std::string> SplitItemList(const std::string& list);

// The two diagnostic lines for a control without a text entry; the second is ready to be pasted
// into a text file as a new entry.
std::string MissingTextEntry(int languageId, const std::string& className, int key,
                             const std::string& currentText);
