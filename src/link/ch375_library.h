// The instrument's USB interface (a CH375/CH372 bulk bridge) through the
// seven calls the panel makes: open and close a device by index, set its
// timeouts, write a frame, fetch the reply, and be told of plug and unplug.
// libusb serves it on Linux; tests use a fake behind the same interface.
#pragma once

#include <QByteArray>
#include <cstdint>
#include <functional>

namespace zrt::link {

// What CH375OpenDevice returns when no device could be opened.
inline constexpr std::int32_t kInvalidDeviceHandle = -1;

// Plug event codes handed to the notification routine.
inline constexpr std::uint32_t kPlugRemoved = 0;
inline constexpr std::uint32_t kPlugArrived = 3;

class Ch375Library {
 public:
  // Called with a plug event code, on any thread; it must return at once.
  using NotifyRoutine = std::function<void(std::uint32_t code)>;

  virtual ~Ch375Library() = default;

  // Opens the index-th device present (0: the first); kInvalidDeviceHandle
  // when there is none or it cannot be had (another program holds it).
  virtual std::int32_t CH375OpenDevice(std::int32_t index) = 0;
  // Closes the device, ending a transfer under way; nothing when closed.
  virtual void CH375CloseDevice(std::int32_t index) = 0;
  // Sets how long a write and a reply fetch may take, in milliseconds.
  virtual bool CH375SetTimeout(std::int32_t index, std::uint32_t writeMs, std::uint32_t readMs) = 0;
  // Writes *length bytes in one transfer; true when every byte was written.
  virtual bool CH375WriteData(std::int32_t index, const void* buffer, std::uint32_t* length) = 0;
  // Starts plug notifications to `routine` (arrivals of devices already
  // present are reported too), or stops them when `routine` is empty; false
  // when they cannot be set up. `deviceName` is empty: any device of the kind.
  virtual bool CH375SetDeviceNotify(std::int32_t index, const char* deviceName,
                                    NotifyRoutine routine) = 0;
  // Interrupt routines are never installed; a null routine clears one.
  virtual bool CH375SetIntRoutine(std::int32_t index, void* routine) = 0;
  // Fetches the instrument's reply after `line` was written: what it sends
  // until it has been quiet for a while, bounded by the read timeout; empty
  // when it says nothing or no device is open. The reply is the caller's.
  virtual void SetCH372(QByteArray& reply, QByteArray& line) = 0;
};

// The library of the system the program was built for.
Ch375Library& SystemCh375Library();

}  // namespace zrt::link
