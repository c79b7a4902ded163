// The platform's base exception: a message text and nothing else. Engine and
// dataset exceptions derive from it, so the application shows any of them the same way.
#ifndef PLATFORM_SERVICES_EXCEPTION_H_
#define PLATFORM_SERVICES_EXCEPTION_H_

#include <exception>
#include <string>

namespace platform {

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  const char* what() const noexcept override { return message_.c_str(); }
  const std::string& Message() const { return message_; }

 private:
  std::string message_;
};

// Raised by text-to-date and text-to-number conversions.
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

}  // namespace platform

#endif  // PLATFORM_SERVICES_EXCEPTION_H_
