// The link a command-line program talks to the instrument through, opened
// as zrt-send and zrt-serve open it: a serial or network port, the USB
// bridge, or the simulated instrument behind either (which then lives as
// long as the link).
#pragma once

#include <QString>
#include <chrono>
#include <memory>
#include <variant>

#include "cli/line_links.h"
#include "cli/link_options.h"
#include "cli/send_options.h"

namespace zrt::sim {
class SimulatedCh375;
class SimulatedSerial;
}  // namespace zrt::sim

namespace zrt::cli {

struct OpenedLink {
  OpenedLink();
  OpenedLink(OpenedLink&&) noexcept;
  ~OpenedLink();
  std::unique_ptr<sim::SimulatedSerial> serialInstrument;
  std::unique_ptr<sim::SimulatedCh375> usbInstrument;
  std::unique_ptr<AddressedLink> link;  // last: it goes before the instruments
  QString port;                         // the serial port's name, as opened
};

// The link opened; or the status to exit with (kCannotOpen, or kUsage for
// an address or a rate that is no number) and why, naming the port meant.
std::variant<OpenedLink, Exit> OpenLink(const LinkChoice& choice);

}  // namespace zrt::cli
