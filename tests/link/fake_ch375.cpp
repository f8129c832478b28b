#include "fake_ch375.h"

#include <thread>

namespace zrt::link::testing {

void FakeCh375::Record(std::string call) {
  std::lock_guard lock(mutex_);
  calls_.push_back(std::move(call));
}

void FakeCh375::Post(std::uint32_t code) {
  NotifyRoutine routine;
  {
    std::lock_guard lock(mutex_);
    routine = routine_;
  }
  if (routine) std::thread([&] { routine(code); }).join();
}

void FakeCh375::Hold() {
  std::lock_guard lock(mutex_);
  held_ = true;
}

void FakeCh375::Release() {
  {
    std::lock_guard lock(mutex_);
    held_ = false;
  }
  released_.notify_all();
}

std::vector<std::string> FakeCh375::Calls() const {
  std::lock_guard lock(mutex_);
  return calls_;
}

std::vector<QByteArray> FakeCh375::Writes() const {
  std::lock_guard lock(mutex_);
  return writes_;
}

bool FakeCh375::Notifying() const {
  std::lock_guard lock(mutex_);
  return routine_ != nullptr;
}

std::int32_t FakeCh375::CH375OpenDevice(std::int32_t index) {
  Record("Open " + std::to_string(index));
  std::lock_guard lock(mutex_);
  open_ = present && !openFails;
  return open_ ? 7 : kInvalidDeviceHandle;
}

void FakeCh375::CH375CloseDevice(std::int32_t index) {
  Record("Close " + std::to_string(index));
  {
    std::lock_guard lock(mutex_);
    open_ = false;
  }
  released_.notify_all();
}

bool FakeCh375::CH375SetTimeout(std::int32_t index, std::uint32_t writeMs, std::uint32_t readMs) {
  Record("Timeout " + std::to_string(index) + " " + std::to_string(writeMs) + " " +
         std::to_string(readMs));
  return true;
}

bool FakeCh375::CH375WriteData(std::int32_t index, const void* buffer, std::uint32_t* length) {
  Record("Write " + std::to_string(index) + " " + std::to_string(*length));
  std::unique_lock lock(mutex_);
  released_.wait(lock, [&] { return !held_ || !open_; });
  writes_.emplace_back(static_cast<const char*>(buffer), *length);
  return open_ && writeSucceeds;
}

bool FakeCh375::CH375SetDeviceNotify(std::int32_t index, const char* deviceName,
                                     NotifyRoutine routine) {
  Record("Notify " + std::to_string(index) + " \"" + deviceName + "\" " +
         (routine ? "routine" : "none"));
  std::lock_guard lock(mutex_);
  if (notifyFails && routine) return false;
  routine_ = std::move(routine);
  return true;
}

bool FakeCh375::CH375SetIntRoutine(std::int32_t index, void* routine) {
  Record("IntRoutine " + std::to_string(index) + (routine ? " routine" : " none"));
  return true;
}

void FakeCh375::SetCH372(QByteArray& reply, QByteArray& line) {
  Record("Reply " + line.toStdString());
  std::lock_guard lock(mutex_);
  reply = this->reply;
}

}  // namespace zrt::link::testing
