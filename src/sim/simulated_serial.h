// The simulated instrument on the serial link, wherever the program runs:
// behind a pseudo-terminal where the system has them, else behind the port
// name SIM in this process. The panel's, zrt-send's and zrt-serve's
// --simulate; it outlives the link that talks to it.
#pragma once

#include <memory>
#include <string>

#include "link/port/serial_device.h"

namespace zrt::sim {

class PtyInstrument;
class SimulatedPortPlatform;

class SimulatedSerial {
 public:
  SimulatedSerial();
  ~SimulatedSerial();
  SimulatedSerial(const SimulatedSerial&) = delete;
  SimulatedSerial& operator=(const SimulatedSerial&) = delete;

  // The port to open, and the platform that opens it (and every other port).
  std::string PortName() const;
  link::SerialPlatform& Platform();

 private:
  std::unique_ptr<PtyInstrument> pty_;
  std::unique_ptr<SimulatedPortPlatform> ports_;
};

}  // namespace zrt::sim
