// The runtime's base error class and the errors raised by its services.
// Messages are UTF-8. No toolkit header here.
#pragma once

#include <stdexcept>
#include <string>

class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
  std::string Message() const { return what(); }
};

// Raised by the string-to-integer conversion.
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

// Raised by the component runtime; carries the HRESULT that failed.
class EOleSysError : public Exception {
 public:
  EOleSysError(const std::string& message, long code) : Exception(message), code_(code) {}
  long ErrorCode() const { return code_; }

 private:
  long code_;
};
