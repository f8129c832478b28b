// Raised when a serial port cannot be opened. what() is the component's own
// message; Reason() is the system's, when there was one, and Error() the
// whole failure as the system reported it.
#pragma once

#include <stdexcept>
#include <string>

#include "link/port/serial_device.h"

namespace zrt::link {

class ECommsError : public std::runtime_error {
 public:
  explicit ECommsError(const std::string& message, std::string reason = {})
      : std::runtime_error(message), error_{0, std::move(reason)} {}
  ECommsError(const std::string& message, SysError error)
      : std::runtime_error(message), error_(std::move(error)) {}

  const std::string& Reason() const { return error_.reason; }
  const SysError& Error() const { return error_; }

 private:
  SysError error_;
};

}  // namespace zrt::link
