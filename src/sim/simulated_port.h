// The simulated instrument behind a serial port of its own name, in the
// same process: a platform that opens kSimulatedPortName as a port whose
// far end is the instrument, and hands every other name to the platform it
// wraps. Frames arrive through the serial component's threads, paced as
// on any port, and each is answered as the instrument answers it. Where
// there are no pseudo-terminals (Windows), this is how the panel's demo
// reaches the instrument over the serial link.
#pragma once

#include <memory>
#include <string>

#include "link/port/serial_device.h"

namespace zrt::sim {

inline constexpr const char* kSimulatedPortName = "SIM";

struct SimulatedInstrument;

class SimulatedPortPlatform : public link::SerialPlatform {
 public:
  explicit SimulatedPortPlatform(link::SerialPlatform& local, int address = 88);
  // The name, in any case, opens the instrument, once at a time as a real
  // port; it keeps its settings from one opening to the next.
  OpenResult Open(const std::string& name) override;
  std::unique_ptr<link::StopEvent> CreateStopEvent(link::SysError& error) override {
    return local_.CreateStopEvent(error);
  }
  std::jthread StartThread(link::ThreadRole role, std::function<void()> body) override {
    return local_.StartThread(role, std::move(body));
  }

 private:
  link::SerialPlatform& local_;
  std::shared_ptr<SimulatedInstrument> instrument_;  // shared with the open port
};

}  // namespace zrt::sim
