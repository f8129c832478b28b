// The instrument's USB device as the panel keeps it: opened while it is
// plugged in, following plug events in the order they were posted, and
// written and read off the owner's thread so that its event loop never
// waits on the bus. Every library call but the transfer is made on the
// owner's thread; plug events that come during a transfer wait until it is
// over, and none is handled once the close sequence has run.
#pragma once

#include <QByteArray>
#include <QObject>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>

#include "link/ch375_library.h"

namespace zrt::link {

class UsbLink : public QObject {
  Q_OBJECT

 public:
  // The device number of every call; one device for the whole run.
  static constexpr std::int32_t DeviceIndex = 0;
  static constexpr std::uint32_t kTimeoutMs = 3000;

  explicit UsbLink(Ch375Library& library, QObject* parent = nullptr);
  // Runs the close sequence if it has not run.
  ~UsbLink() override;

  // Starts plug notifications and opens the device if it is there. False
  // when notifications cannot be had (the device is still opened if present).
  bool Start();
  // Stops plug notifications, clears the interrupt routine and closes the
  // device, ending a transfer under way without reporting it.
  void Close();
  // Closes the device once more; nothing else.
  void CloseDevice() { library_.CH375CloseDevice(DeviceIndex); }

  bool Started() const { return started_; }
  std::int32_t DeviceHandle() const { return deviceHandle_; }
  bool Busy() const { return worker_.joinable(); }

  // Writes the frame in one transfer and fetches the reply to `line`;
  // Transferred follows. One transfer at a time.
  void Transfer(const QByteArray& frame, const QByteArray& line);

 signals:
  // A device arrived but could not be opened.
  void OpenFailed();
  // The device was opened or closed.
  void DeviceChanged();
  // `line` as the reply fetch left it.
  void Transferred(bool written, const QByteArray& reply, const QByteArray& line);

 private slots:
  void DeliverPlugEvents();
  void TransferDone();

 private:
  // Any thread: queues the code for the owner's thread.
  void PlugEventRoutine(std::uint32_t code);
  void pnpproceKeyUp(std::uint16_t key);

  struct Result {
    bool written = false;
    QByteArray reply;
    QByteArray line;
  };

  Ch375Library& library_;
  std::int32_t deviceHandle_ = kInvalidDeviceHandle;
  bool started_ = false;
  bool closed_ = false;
  std::mutex mutex_;  // guards the two below, shared with other threads
  std::deque<std::uint32_t> plugEvents_;
  Result result_;
  std::jthread worker_;  // the transfer under way, until its result is taken
};

}  // namespace zrt::link
