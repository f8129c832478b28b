// Raised when a serial port cannot be opened. what() is the component's own
// message; Reason() is the system's, when there was one.
#pragma once

#include <stdexcept>
#include <string>

namespace zrt::link {

class ECommsError : public std::runtime_error {
 public:
  explicit ECommsError(const std::string& message, std::string reason = {})
      : std::runtime_error(message), reason_(std::move(reason)) {}

  const std::string& Reason() const { return reason_; }

 private:
  std::string reason_;
};

}  // namespace zrt::link
