// A lost network port is back once its server accepts connections again,
// on every system alike.
#include "link/port/serial_port_net.h"
#include "link/port_watch.h"

namespace zrt::link {

void PortWatch::ProbeServer() {
  if (probing_) return;  // the last probe is still out
  probing_ = true;
  const NetworkAddress address = *NetworkAddressOf(stableName_);
  const int generation = generation_;
  // The probe is joined before this object goes, so its answer, posted to
  // this object, is delivered or dropped with it.
  probe_ = std::jthread([this, address, generation] {
    SysError error;
    const bool back = ConnectTo(address, std::chrono::seconds(1), error).IsOpen();
    QMetaObject::invokeMethod(
        this,
        [this, back, generation] {
          probing_ = false;
          if (back && generation == generation_ && Watching()) {
            emit Back(QString::fromStdString(stableName_));
          }
        },
        Qt::QueuedConnection);
  });
}

}  // namespace zrt::link
