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
        : m_failed(!ok), m_kind(kind), m_file(file), m_line(line), m_expression(expression),
          m_errno(ok ? 0 : errno) {}

    Checker(const Checker&) = delete;
    Checker& operator=(const Checker&) = delete;

    template <typename T> Checker& operator<<(const T& part) {
        if (m_failed) {
            if (!m_message)
                m_message = std::make_unique<std::ostringstream>();
            *m_message << part;
        }
        return *this;
    }

    ~Checker() noexcept(false);

private:
    bool m_failed;
    Kind m_kind;
    const char* m_file;
    int m_line;
    const char* m_expression;
    int m_errno;
    std::unique_ptr<std::ostringstream> m_message;
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
