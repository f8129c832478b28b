// Windows has no pseudo-terminals to put the simulated instrument behind a
// serial port; it is there behind the USB bridge's calls instead.
#include <stdexcept>

#include "sim/pty_instrument.h"

namespace zrt::sim {

PtyInstrument::PtyInstrument(Options options) : options_(std::move(options)) {
  throw std::runtime_error(
      "the simulated instrument on a serial port needs pseudo-terminals, which this system "
      "lacks; it answers behind the USB link instead (--simulate --usb)");
}

PtyInstrument::~PtyInstrument() = default;

}  // namespace zrt::sim
