// Pure checks behind opening a port by name: whether a device number belongs
// to a serial terminal, and what to tell an operator who may not open one.
#pragma once

#include <string>
#include <string_view>

namespace zrt::link {

// Whether the character device `major`:`minor` belongs to a serial terminal
// (a UART, a USB-serial adapter or a pseudo-terminal's terminal side) by the
// kernel's tty driver table, given as the text of /proc/tty/drivers. Consoles,
// /dev/tty and pseudo-terminal masters are no serial terminals.
bool IsSerialTerminal(std::string_view driverTable, unsigned major, unsigned minor);

// The reason shown when `path` may not be opened: the system's text and, when
// the device belongs to a group, how to join it.
std::string PermissionDeniedReason(std::string_view path, std::string_view group);

}  // namespace zrt::link
