// Preloaded into wine for the tests: pseudo-terminals have no modem lines,
// so wine's calls for them (DTR and RTS, the modem status, the line-error
// counters) fail, and with them EscapeCommFunction, GetCommModemStatus and
// WaitCommEvent. For a pseudo-terminal this answers those requests as a
// port with a cable would: DSR, CTS and carrier on, DTR and RTS as last set,
// no line errors. The carrier drops while the file that
// ZRT_SHIM_CARRIER_OFF names exists, so that a test can make line events.
// Every other descriptor and request goes to the system.
#include <dlfcn.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

namespace {

// The pseudo-terminals' major numbers (Unix 98 slaves).
bool IsPseudoTerminal(int fd) {
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) return false;
  const unsigned major = ::major(st.st_rdev);
  return major >= 136 && major <= 143;
}

using IoctlFunction = int (*)(int, unsigned long, void*);

IoctlFunction SystemIoctl() {
  static const auto function = reinterpret_cast<IoctlFunction>(dlsym(RTLD_NEXT, "ioctl"));
  return function;
}

// DTR and RTS as the program last set them; one pair serves every terminal,
// which is all a test needs.
std::atomic<int> outputLines{TIOCM_DTR | TIOCM_RTS};

bool CarrierOn() {
  const char* off = std::getenv("ZRT_SHIM_CARRIER_OFF");
  return !off || access(off, F_OK) != 0;
}

int Answer(unsigned long request, void* argument) {
  int* bits = static_cast<int*>(argument);
  switch (request) {
    case TIOCMGET:
      *bits = outputLines.load() | TIOCM_DSR | TIOCM_CTS | (CarrierOn() ? TIOCM_CAR : 0);
      return 0;
    case TIOCMSET:
      outputLines = *bits & (TIOCM_DTR | TIOCM_RTS);
      return 0;
    case TIOCMBIS:
      outputLines |= *bits & (TIOCM_DTR | TIOCM_RTS);
      return 0;
    case TIOCMBIC:
      outputLines &= ~(*bits & (TIOCM_DTR | TIOCM_RTS));
      return 0;
    case TIOCGICOUNT:
      std::memset(argument, 0, sizeof(serial_icounter_struct));
      return 0;
    default:
      return -1;
  }
}

bool IsModemRequest(unsigned long request) {
  return request == TIOCMGET || request == TIOCMSET || request == TIOCMBIS || request == TIOCMBIC ||
         request == TIOCGICOUNT;
}

}  // namespace

extern "C" int ioctl(int fd, unsigned long request, ...) {
  va_list arguments;
  va_start(arguments, request);
  void* argument = va_arg(arguments, void*);
  va_end(arguments);

  const int saved = errno;
  const int result = SystemIoctl()(fd, request, argument);
  if (result == 0 || !IsModemRequest(request) || !IsPseudoTerminal(fd)) return result;
  errno = saved;
  return Answer(request, argument);
}
