#include "ui/TypingRules.h"

bool AcceptTypedCharacter(const std::string& text, int caret, char character, bool allowMinus, int decimals) {
    const bool digit = character >= '0' && character <= '9';
    const bool control = static_cast<unsigned char>(character) < 32;
    const bool minus = character == '-';
    const bool point =
        character == '.' || character == ','; // a comma is the decimal point in German and French
    if (!(digit || control || (minus && allowMinus) || (point && decimals > 0)))
        return false;
    if (text.empty())
        return true;
    const std::size_t pointAt = text.find_first_of(".,");
    if (point && (pointAt != std::string::npos || caret == 0))
        return false;
    if (minus && (text.find('-') != std::string::npos || caret != 0))
        return false;
    if (pointAt != std::string::npos && character != '\b') {
        const int pointPosition = static_cast<int>(pointAt);
        const int digitsAfterPoint = static_cast<int>(text.size()) - pointPosition - 1;
        if (caret - pointPosition > decimals)
            return false;
        if (caret > pointPosition && caret < static_cast<int>(text.size()) && digitsAfterPoint >= decimals)
            return false;
    }
    return true;
}
