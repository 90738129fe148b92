#pragma once
// The root of the system's own exception classes. Every exception carries one
// message, written for the user (it is what the viewer's error report shows).

#include <exception>
#include <string>

namespace wbx {

class Exception : public std::exception {
public:
    explicit Exception(std::string message) : message_(std::move(message)) {}
    const std::string& Message() const noexcept { return message_; }
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};

// A printf-style format string and its arguments did not agree.
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

}  // namespace wbx
