// One opening of a serial port as the component makes it: the port opened
// and set up, its stop event, and the reader and writer threads, which post
// what they see to a sink of the owner's. No Qt: the Qt-facing component
// wraps it, and it runs as it is wherever the platform layer does.
#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "link/port/comm_settings.h"
#include "link/port/comm_threads.h"
#include "link/port/notification.h"
#include "link/port/serial_device.h"

namespace zrt::link {

class CommPort {
 public:
  // Opens the port `properties` names with those settings and starts both
  // threads, which post to `sink` (which must outlive the opening). Throws
  // ECommsError with the component's message on failure, holding nothing.
  static std::unique_ptr<CommPort> Open(SerialPlatform& platform, const CommProperties& properties,
                                        NotificationSink& sink,
                                        std::chrono::microseconds minimumGap);
  // Only Open makes one.
  class Key {
    friend class CommPort;
    Key() = default;
  };
  explicit CommPort(Key) {}
  // Stops both threads and closes the port; queued output is discarded.
  ~CommPort();

  // Queues a block for the writer; false once the writer has ended.
  bool Post(ByteBlock block) { return writer_->Post(std::move(block)); }
  void SetMinimumGap(std::chrono::microseconds gap) { writer_->SetMinimumGap(gap); }
  // Applies the line settings; the port keeps its old ones when it refuses.
  SysError ApplyState(const CommProperties& properties);
  void ApplyTimeouts(const CommTimeouts& timeouts) { device_->ApplyTimeouts(timeouts); }
  std::vector<PortNote> TakeNotes() { return device_->TakeNotes(); }
  // Why the port refused the settings it was opened with (no error when it took them).
  const SysError& OpenSettingsError() const { return openSettingsError_; }

 private:
  void StopReader();
  void StopWriter();

  SysError openSettingsError_;
  // Declared so that the threads go first.
  std::unique_ptr<SerialDevice> device_;
  std::unique_ptr<StopEvent> stop_;
  std::unique_ptr<HangupLatch> hangup_;
  std::unique_ptr<TReadThread> reader_;
  std::unique_ptr<TWriteThread> writer_;
};

// The notifications of a port, kept in posting order for the owner's
// thread to take, with the bytes received in a container of the owner's
// choosing (std::string, QByteArray: one made from a pointer and a size,
// which keeps a 0 byte after its data). Each post also calls `wake` (the
// owner schedules a delivery); should that fail, the notification stays and
// goes out with the next delivery, and the poster hears of the failure.
template <typename Block>
class NotificationQueue : public NotificationSink {
 public:
  struct Item {
    Notification notification;
    Block block{};  // UM_RECEIVE_DATA: the bytes
  };

  explicit NotificationQueue(std::function<bool()> wake) : wake_(std::move(wake)) {}

  bool Post(Notification notification) override { return Push({notification}); }
  bool PostReceived(std::span<const std::uint8_t> bytes) override {
    return Push(
        {{UM_RECEIVE_DATA}, Block(reinterpret_cast<const char*>(bytes.data()), bytes.size())});
  }

  std::optional<Item> Take() {
    std::lock_guard lock(mutex_);
    if (items_.empty()) return std::nullopt;
    Item next = std::move(items_.front());
    items_.pop_front();
    return next;
  }

 private:
  bool Push(Item item) {
    {
      std::lock_guard lock(mutex_);
      items_.push_back(std::move(item));
    }
    return wake_();
  }

  std::function<bool()> wake_;
  std::mutex mutex_;
  std::deque<Item> items_;
};

}  // namespace zrt::link
