#pragma once

#include "base/Errors.h"

#include <cerrno>
#include <memory>
#include <sstream>
#include <string>

// Check(condition) << "message parts";   raises located_error when condition is false.
// OsCheck(condition) << "message parts"; raises os_error (with errno's text) when it is false.
// The message is the error's reason; "file(line): Expression 'expr' failed." is its position.
// Both are only composed on failure.
namespace check_detail {

class Checker {
public:
    enum class Kind { Plain, Os };

    Checker(bool ok, Kind kind, const char* file, int line, const char* expression)
        : _failed(!ok), _kind(kind), _file(file), _line(line), _expression(expression),
          _errno(ok ? 0 : errno) {}

    Checker(const Checker&) = delete;
    Checker& operator=(const Checker&) = delete;

    template <typename T> Checker& operator<<(const T& part) {
        if (_failed) {
            if (!_message)
                _message = std::make_unique<std::ostringstream>();
            *_message << part;
        }
        return *this;
    }

    ~Checker() noexcept(false);

private:
    bool _failed;
    Kind _kind;
    const char* _file;
    int _line;
    const char* _expression;
    int _errno;
    std::unique_ptr<std::ostringstream> _message;
};

// "file(line): Expression 'expr' failed."
std::string ExpressionText(const char* file, int line, const char* expression);

} // namespace check_detail

#define Check(condition)                                                                                     \
    ::check_detail::Checker(static_cast<bool>(condition), ::check_detail::Checker::Kind::Plain, __FILE__,    \
                            __LINE__, #condition)

#define OsCheck(condition)                                                                                   \
    ::check_detail::Checker(static_cast<bool>(condition), ::check_detail::Checker::Kind::Os, __FILE__,       \
                            __LINE__, #condition)
