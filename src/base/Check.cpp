#include "base/Check.h"

#include <exception>
#include <filesystem>

namespace check_detail {

std::string ExpressionText(const char* file, int line, const char* expression) {
    return std::filesystem::path(file).filename().string() + "(" + std::to_string(line) + "): Expression '" +
           expression + "' failed.";
}

Checker::~Checker() noexcept(false) {
    if (!_failed || std::uncaught_exceptions() > 0)
        return;
    std::string text = ExpressionText(_file, _line, _expression) + " ";
    if (_message)
        text += _message->str();
    if (_kind == Kind::Os)
        throw os_error(text, _errno);
    throw std::runtime_error(text);
}

} // namespace check_detail

std::string PlainReason(const std::string& text) {
    // "File.cpp(165): Expression 'fd >= 0' failed. " in front of the message, possibly after a prefix.
    static const std::string expressionMark = "): Expression '";
    static const std::string failedMark = "' failed.";
    std::string plain = text;
    for (;;) {
        const auto expression = plain.find(expressionMark);
        if (expression == std::string::npos)
            break;
        const auto failed = plain.find(failedMark, expression);
        const auto open = plain.rfind('(', expression);
        if (failed == std::string::npos || open == std::string::npos)
            break;
        const auto blank = plain.find_last_of(' ', open);
        const auto start = blank == std::string::npos ? 0 : blank + 1;
        auto end = failed + failedMark.size();
        while (end < plain.size() && plain[end] == ' ')
            ++end;
        plain.erase(start, end - start);
    }
    return plain;
}
