// Windows has no pseudo-terminals to put the simulated instrument behind a
// serial port; it answers behind the port name SIM instead (simulated_port.h).
#include <stdexcept>

#include "sim/pty_instrument.h"

namespace zrt::sim {

PtyInstrument::PtyInstrument(Options options) : options_(std::move(options)) {
  throw std::runtime_error(
      "the simulated instrument on a pseudo-terminal needs pseudo-terminals, which this system "
      "lacks; it answers behind the port name SIM instead");
}

PtyInstrument::~PtyInstrument() = default;

}  // namespace zrt::sim
