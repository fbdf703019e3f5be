#pragma once

#include <stdexcept>
#include <string>

// A failed operating-system call. The text names what failed and ends with the system's
// own text for the error number; building one logs it at level 10.
class os_error : public std::runtime_error {
public:
    os_error();                                    // from errno
    explicit os_error(int code);                   // system text for code
    explicit os_error(const std::string& message); // message + system text for errno
    os_error(const std::string& message, int code);
    ~os_error() override;

    int code() const noexcept { return _code; }

    // The system text for an error number, logged at level 10.
    static std::string ErrorText(int code);

private:
    int _code;
};

// Raised inside a request when its abort was asked for.
class thread_aborted : public std::runtime_error {
public:
    thread_aborted() : std::runtime_error("Thread aborted") {}
    ~thread_aborted() override;
};
