// The POSIX serial platform (Linux terminals: UARTs, USB-serial adapters and
// pseudo-terminals), and the pieces of it that tests use directly.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "link/port/serial_device.h"

namespace zrt::link {

// Where a port name leads: "COMn" is /dev/ttyS(n-1), the first serial ports
// by the usual convention; a name with a slash is a path used as is; any
// other name is looked up under /dev/.
std::string DevicePathFor(std::string_view name);

// The serial devices below `devRoot` (normally /dev): the stable names under
// serial/by-id first, then the USB adapters (ttyUSB*, ttyACM*), as paths.
std::vector<std::string> PresentSerialPortsUnder(const std::string& devRoot);

// A stop event on an eventfd, so that a poll() on a port wakes when it is set.
std::unique_ptr<StopEvent> MakeEventFdStopEvent(SysError& error);

class PosixSerialPlatform : public SerialPlatform {
 public:
  OpenResult Open(const std::string& name) override;
  std::unique_ptr<StopEvent> CreateStopEvent(SysError& error) override;
  std::jthread StartThread(ThreadRole role, std::function<void()> body) override;
};

}  // namespace zrt::link
