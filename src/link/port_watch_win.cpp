// Windows keeps a USB-serial adapter's COM number across unplugging, and
// has no stable names of another kind: a port that went away is back once
// its COM name is present again, a network port once its server accepts.
#include <algorithm>
#include <cstring>

#include "link/port/serial_port_net.h"
#include "link/port/serial_ports.h"
#include "link/port_watch.h"

namespace zrt::link {

std::string StableNameOf(const std::string& name, const std::string&) { return name; }

std::string UsbInterfaceOf(const std::string&, const std::string&, const std::string&) {
  return {};
}

std::string UsbIdentityOf(const std::string&, const std::string&, const std::string&) { return {}; }

PortWatch::PortWatch(std::string byIdDir, QObject* parent)
    : QObject(parent), byIdDir_(std::move(byIdDir)) {
  timer_.setInterval(kPeriod);
  connect(&timer_, &QTimer::timeout, this, &PortWatch::Look);
}

PortWatch::~PortWatch() = default;

void PortWatch::Opened(const std::string& name) {
  Stop();
  stableName_ = name;
  network_ = NetworkAddressOf(name).has_value();
}

bool PortWatch::Lost() {
  if (stableName_.empty()) return false;
  timer_.start();
  return true;
}

void PortWatch::Stop() {
  timer_.stop();
  ++generation_;  // a probe still out answers for nothing
}

void PortWatch::Look() {
  if (network_) {
    ProbeServer();
    return;
  }
  const std::vector<std::string> present = PresentSerialPorts();
  const bool back = std::any_of(present.begin(), present.end(), [&](const std::string& port) {
    return _stricmp(port.c_str(), stableName_.c_str()) == 0;
  });
  if (back) emit Back(QString::fromStdString(stableName_));
}

}  // namespace zrt::link
