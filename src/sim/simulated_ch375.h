// The simulated instrument behind the USB bridge's calls: a device that is
// plugged in from the start, takes a frame in one write and has its answer
// ready for the reply fetch. It can be pulled and plugged in again.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "link/ch375_library.h"
#include "sim/instrument_model.h"

namespace zrt::sim {

class SimulatedCh375 : public link::Ch375Library {
 public:
  explicit SimulatedCh375(int address = 88) : model_(address) {}

  std::int32_t CH375OpenDevice(std::int32_t index) override;
  void CH375CloseDevice(std::int32_t index) override;
  bool CH375SetTimeout(std::int32_t, std::uint32_t, std::uint32_t) override { return true; }
  bool CH375WriteData(std::int32_t index, const void* buffer, std::uint32_t* length) override;
  bool CH375SetDeviceNotify(std::int32_t index, const char* deviceName,
                            NotifyRoutine routine) override;
  bool CH375SetIntRoutine(std::int32_t, void*) override { return true; }
  void SetCH372(QByteArray& reply, QByteArray& line) override;

  // The device leaves (transfers fail, opening fails) or comes back; the
  // notification routine hears of it.
  void Unplug();
  void Plug();
  // Every frame written, in order.
  std::vector<std::string> Frames() const;
  // InstrumentModel::Keep and Silence, for tests.
  void Keep(std::string_view line);
  void Silence(std::string_view line);

 private:
  void Notify(std::uint32_t code);

  mutable std::mutex mutex_;  // writes and fetches come from the window's transfer thread
  InstrumentModel model_;
  bool present_ = true;
  bool open_ = false;
  std::string answer_;
  std::vector<std::string> frames_;
  NotifyRoutine routine_;
};

}  // namespace zrt::sim
