#pragma once

#include <exception>
#include <stdexcept>
#include <string>

// An error whose text (what()) is the reason for the user, with the place in the source that
// found it kept apart for the log: "File.cpp(165): Expression 'fd >= 0' failed.", or nothing.
class located_error : public std::runtime_error {
public:
    located_error(const std::string& reason, std::string where)
        : std::runtime_error(reason), m_where(std::move(where)) {}
    ~located_error() override;

    const std::string& Where() const noexcept { return m_where; }

private:
    std::string m_where;
};

// A failed operating-system call. The text names what failed and ends with the system's
// own text for the error number; building one logs it at level 10.
class os_error : public located_error {
public:
    os_error();                                    // from errno
    explicit os_error(int code);                   // system text for code
    explicit os_error(const std::string& message); // message + system text for errno
    os_error(const std::string& message, int code, std::string where = {});
    ~os_error() override;

    int code() const noexcept { return m_code; }

    // The system text for an error number, logged at level 10.
    static std::string ErrorText(int code);

private:
    int m_code;
};

// Raised inside a request when its abort was asked for.
class thread_aborted : public std::runtime_error {
public:
    thread_aborted() : std::runtime_error("Thread aborted") {}
    ~thread_aborted() override;
};

// The text for a log line: the source position, when the error has one, before the reason.
std::string LogText(const std::exception& error);
