#include "simulated_ch375.h"

namespace zrt::sim {

std::int32_t SimulatedCh375::CH375OpenDevice(std::int32_t index) {
  std::lock_guard lock(mutex_);
  if (index != 0) return link::kInvalidDeviceHandle;
  open_ = true;
  return 0;
}

void SimulatedCh375::CH375CloseDevice(std::int32_t) {
  std::lock_guard lock(mutex_);
  open_ = false;
  answer_.clear();
}

bool SimulatedCh375::CH375WriteData(std::int32_t, const void* buffer, std::uint32_t* length) {
  std::lock_guard lock(mutex_);
  const std::string_view frame(static_cast<const char*>(buffer), *length);
  if (!open_ || !frame.ends_with('\n')) return false;
  answer_ = model_.Answer(frame.substr(0, frame.size() - 1));
  return true;
}

bool SimulatedCh375::CH375SetDeviceNotify(std::int32_t, const char*, NotifyRoutine routine) {
  // Present from the start: an arrival, as a hot-plug monitor reports it.
  if (routine) routine(link::kPlugArrived);
  return true;
}

void SimulatedCh375::SetCH372(QByteArray& reply, QByteArray&) {
  std::lock_guard lock(mutex_);
  reply = QByteArray::fromStdString(std::exchange(answer_, {}));
}

}  // namespace zrt::sim
