// The instrument's USB bridge on libusb: the device is found by its IDs,
// opened with its own libusb context, its interface claimed (the kernel's
// driver detached), and written and read on its bulk endpoints. Plug events
// come from libusb's hot-plug callbacks where a udev daemon feeds them, and
// from a rescan once a second where none does (containers).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "link/ch375_library.h"

namespace zrt::link {

struct UsbId {
  std::uint16_t vendor;
  std::uint16_t product;
};
// The bridge's IDs; device index 0 is the first device with either.
inline constexpr UsbId kBridgeIds[] = {{0x4348, 0x5537}, {0x1a86, 0x5537}};
inline constexpr int kBridgeInterface = 0;
inline constexpr unsigned char kBulkOut = 0x02;
inline constexpr unsigned char kBulkIn = 0x82;

class LibusbCh375 : public Ch375Library {
 public:
  enum class PlugSource { Automatic, HotplugCallbacks, Rescan };
  // Automatic: hot-plug callbacks when a udev daemon runs, else rescans.
  explicit LibusbCh375(PlugSource source = PlugSource::Automatic);
  // Stops notifications and closes the device.
  ~LibusbCh375() override;

  std::int32_t CH375OpenDevice(std::int32_t index) override;
  void CH375CloseDevice(std::int32_t index) override;
  bool CH375SetTimeout(std::int32_t index, std::uint32_t writeMs, std::uint32_t readMs) override;
  bool CH375WriteData(std::int32_t index, const void* buffer, std::uint32_t* length) override;
  bool CH375SetDeviceNotify(std::int32_t index, const char* deviceName,
                            NotifyRoutine routine) override;
  bool CH375SetIntRoutine(std::int32_t index, void* routine) override;
  void SetCH372(QByteArray& reply, QByteArray& line) override;

  class Device;
  class Monitor;

 private:
  const PlugSource source_;
  // Held by a transfer for its whole length, and by opening and closing;
  // closing first cancels the transfer under way so that it ends at once.
  std::mutex deviceMutex_;
  std::unique_ptr<Device> device_;
  std::unique_ptr<Monitor> monitor_;
  std::atomic<std::uint32_t> writeTimeoutMs_{3000};
  std::atomic<std::uint32_t> readTimeoutMs_{3000};
};

}  // namespace zrt::link
