#include "sim/simulated_ch375.h"

namespace zrt::sim {

std::int32_t SimulatedCh375::CH375OpenDevice(std::int32_t index) {
  std::lock_guard lock(mutex_);
  if (index != 0 || !present_) return link::kInvalidDeviceHandle;
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
  frames_.emplace_back(frame.substr(0, frame.size() - 1));
  answer_ = model_.Answer(frames_.back());
  return true;
}

bool SimulatedCh375::CH375SetDeviceNotify(std::int32_t, const char*, NotifyRoutine routine) {
  bool present = false;
  {
    std::lock_guard lock(mutex_);
    routine_ = routine;
    present = present_;
  }
  // A device there from the start arrives, as a hot-plug monitor reports it.
  if (routine && present) routine(link::kPlugArrived);
  return true;
}

void SimulatedCh375::Notify(std::uint32_t code) {
  NotifyRoutine routine;
  {
    std::lock_guard lock(mutex_);
    routine = routine_;
  }
  if (routine) routine(code);
}

void SimulatedCh375::Unplug() {
  {
    std::lock_guard lock(mutex_);
    present_ = false;
    open_ = false;
    answer_.clear();
  }
  Notify(link::kPlugRemoved);
}

void SimulatedCh375::Plug() {
  {
    std::lock_guard lock(mutex_);
    present_ = true;
  }
  Notify(link::kPlugArrived);
}

std::vector<std::string> SimulatedCh375::Frames() const {
  std::lock_guard lock(mutex_);
  return frames_;
}

void SimulatedCh375::SetCH372(QByteArray& reply, QByteArray&) {
  std::lock_guard lock(mutex_);
  reply = QByteArray::fromStdString(std::exchange(answer_, {}));
}

void SimulatedCh375::Keep(std::string_view line) {
  std::lock_guard lock(mutex_);
  model_.Keep(line);
}

void SimulatedCh375::Silence(std::string_view line) {
  std::lock_guard lock(mutex_);
  model_.Silence(line);
}

}  // namespace zrt::sim
