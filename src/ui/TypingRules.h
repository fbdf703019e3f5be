#pragma once

#include <string>

// Whether a typed character may go into an in-place cell edit: digits and control characters
// always, a minus only as the leading character when allowed, a decimal point (or comma) only when decimals
// are allowed and then at most `decimals` digits after it. `caret` is where the selection starts.
bool AcceptTypedCharacter(const std::string& text, int caret, char character, bool allowMinus, int decimals);
