// A scriptable USB bridge library: a device that is plugged in or not,
// opens that fail, writes that fail, a canned reply, transfers held until
// the test lets them go, and every call recorded in order.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "link/ch375_library.h"

namespace zrt::link::testing {

class FakeCh375 : public Ch375Library {
 public:
  // ---- What the test sets.
  bool present = false;
  bool openFails = false;
  bool notifyFails = false;
  bool writeSucceeds = true;
  QByteArray reply;

  // Calls the registered routine, as the library does on a thread of its own.
  void Post(std::uint32_t code);
  // While held, a write waits until Release or the device is closed.
  void Hold();
  void Release();

  // ---- What the window did.
  std::vector<std::string> Calls() const;
  std::vector<QByteArray> Writes() const;
  bool Notifying() const;

  std::int32_t CH375OpenDevice(std::int32_t index) override;
  void CH375CloseDevice(std::int32_t index) override;
  bool CH375SetTimeout(std::int32_t index, std::uint32_t writeMs, std::uint32_t readMs) override;
  bool CH375WriteData(std::int32_t index, const void* buffer, std::uint32_t* length) override;
  bool CH375SetDeviceNotify(std::int32_t index, const char* deviceName,
                            NotifyRoutine routine) override;
  bool CH375SetIntRoutine(std::int32_t index, void* routine) override;
  void SetCH372(QByteArray& reply, QByteArray& line) override;

 private:
  void Record(std::string call);

  mutable std::mutex mutex_;
  std::condition_variable released_;
  bool held_ = false;
  bool open_ = false;
  NotifyRoutine routine_;
  std::vector<std::string> calls_;
  std::vector<QByteArray> writes_;
};

}  // namespace zrt::link::testing
