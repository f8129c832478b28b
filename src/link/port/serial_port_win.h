// The Win32 serial platform (COM ports, USB-serial adapters behind their
// drivers), and what tests use of it directly.
#pragma once

#include <string>

#include "link/port/serial_device.h"

namespace zrt::link {

// A Win32 error (GetLastError) as a failure: the number other systems give
// the same failure, so that it reads the same to the operator, and the
// system's own text.
SysError Win32SysError(unsigned long code);

class Win32SerialPlatform : public SerialPlatform {
 public:
  // "COMn", or a device path ("\\.\..."), opened exclusively.
  OpenResult Open(const std::string& name) override;
  std::unique_ptr<StopEvent> CreateStopEvent(SysError& error) override;
  std::jthread StartThread(ThreadRole role, std::function<void()> body) override;
};

}  // namespace zrt::link
