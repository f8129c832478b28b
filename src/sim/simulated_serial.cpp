#include "sim/simulated_serial.h"

#include <stdexcept>

#include "sim/pty_instrument.h"
#include "sim/simulated_port.h"

namespace zrt::sim {

SimulatedSerial::SimulatedSerial() {
  try {
    pty_ = std::make_unique<PtyInstrument>(PtyInstrument::Options{});
  } catch (const std::runtime_error&) {
    ports_ = std::make_unique<SimulatedPortPlatform>(link::SystemSerialPlatform());
  }
}

SimulatedSerial::~SimulatedSerial() = default;

std::string SimulatedSerial::PortName() const {
  return pty_ ? pty_->TerminalPath() : kSimulatedPortName;
}

link::SerialPlatform& SimulatedSerial::Platform() {
  return ports_ ? static_cast<link::SerialPlatform&>(*ports_) : link::SystemSerialPlatform();
}

}  // namespace zrt::sim
