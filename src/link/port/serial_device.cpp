#include "link/port/serial_device.h"

#include <system_error>

namespace zrt::link {

SysError SysError::FromErrno(int code) { return {code, std::generic_category().message(code)}; }

}  // namespace zrt::link
