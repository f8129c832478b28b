// The serial ports present on this system, as names the component opens.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zrt::link {

// Serial devices present now, in the order an operator would look for them
// (adapters by their stable names first). Ports that are always there by
// convention (COM1 and on) are not repeated. Reads the system each call.
std::vector<std::string> PresentSerialPorts();

// Whether the name is a serial port on the network (rfc2217:// or tcp://),
// whose far end is a server rather than a device.
inline bool IsNetworkPortName(std::string_view name) {
  return name.starts_with("rfc2217://") || name.starts_with("tcp://");
}

}  // namespace zrt::link
