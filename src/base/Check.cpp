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
