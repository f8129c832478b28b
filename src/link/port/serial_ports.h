// The serial ports present on this system, as names the component opens.
#pragma once

#include <string>
#include <vector>

namespace zrt::link {

// Serial devices present now, in the order an operator would look for them
// (adapters by their stable names first). Ports that are always there by
// convention (COM1 and on) are not repeated. Reads the system each call.
std::vector<std::string> PresentSerialPorts();

}  // namespace zrt::link
