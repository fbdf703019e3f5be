#include "base/Check.h"

#include <exception>
#include <filesystem>

namespace check_detail {

std::string ExpressionText(const char* file, int line, const char* expression) {
    return std::filesystem::path(file).filename().string() + "(" + std::to_string(line) + "): Expression '" +
           expression + "' failed.";
}

Checker::~Checker() noexcept(false) {
    if (!m_failed || std::uncaught_exceptions() > 0)
        return;
    std::string where = ExpressionText(m_file, m_line, m_expression);
    const std::string reason = m_message ? m_message->str() : std::string();
    if (m_kind == Kind::Os)
        throw os_error(reason, m_errno, std::move(where));
    // A check without a message has no other reason to give than the failed condition.
    throw located_error(reason.empty() ? where : reason, where);
}

} // namespace check_detail
