// The two threads of an open port. The reader keeps the port read and frames
// what arrives into blocks; the writer writes queued blocks completely, in
// order. Neither touches the component: both only post notifications.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <thread>

#include "link/port/notification.h"
#include "link/port/serial_device.h"
#include "link/port/write_queue.h"

namespace zrt::link {

// What both threads of one opening share: the port, the stop event, where
// notifications go, and the once-only hang-up report.
struct PortContext {
  SerialDevice& device;
  const StopEvent& stop;
  NotificationSink& sink;
  HangupLatch& hangup;

  // Posts UM_REQUEST_HANGUP, once per opening and not once the stop is
  // requested; its own failure is ignored.
  void PostHangupRequest() const;
  // A thread ends on `error`: reported as a hang-up, unless the port was
  // closed underneath the thread (an invalid handle), which ends it quietly.
  void ReportEnd(const SysError& error) const;
};

inline constexpr std::size_t kReadBlockSize = 2048;
// Output that has not moved for this long is held back by the device.
inline constexpr std::chrono::milliseconds kHeldAfter{100};

// A block is delivered once the line has been quiet for ReadIntervalTimeout
// after at least one byte, once the read total timeout has passed with bytes
// in, or as soon as kReadBlockSize bytes are in. Line errors and modem-line
// changes are reported as they come; a device that is gone is reported once
// and ends the thread; a stop request ends it quietly, dropping a partial block.
class TReadThread {
 public:
  explicit TReadThread(const PortContext& context) : context_(context) {}
  ~TReadThread();  // waits for the thread to end; request the stop first

  void Start(SerialPlatform& platform);

 private:
  using Clock = std::chrono::steady_clock;

  void Execute();
  bool ArmCommEvent();
  bool ArmRead();
  bool CompleteRead();
  bool DeliverBytes();
  bool HandleCommEvent(std::uint32_t mask);
  Deadline BlockDeadline() const;

  PortContext context_;
  std::array<std::uint8_t, kReadBlockSize> buffer_{};
  std::size_t count_ = 0;
  Clock::time_point blockStart_;
  Clock::time_point lastByte_;
  std::jthread thread_;  // last: ends before the members it uses
};

// Sends UM_SEND_DATA_EMPTY when it first finds its queue empty and each time
// the queue runs empty after a write, once what it wrote has left the
// computer; never twice without a write between. The notification's value
// counts the blocks written since the port opened. While the device holds
// output back for longer than kHeldAfter (the instrument sent XOFF), it
// sends UM_OUTPUT_HELD with 1, and with 0 once output goes on.
class TWriteThread {
 public:
  explicit TWriteThread(const PortContext& context) : context_(context) {}
  ~TWriteThread();  // waits for the thread to end; request the stop first

  void Start(SerialPlatform& platform);

  // Queues a block for writing; false once the writer has ended.
  bool Post(ByteBlock block) { return queue_.Push(std::move(block)); }
  // Each block goes out no sooner than this after the one before has left
  // the computer (0: at once).
  void SetMinimumGap(std::chrono::microseconds gap) { minimumGap_.store(gap.count()); }
  // Wakes a writer that waits for blocks, after the stop event was set.
  void WakeForStop() { queue_.RequestStop(); }

 private:
  void Execute();
  bool WriteBlock(const ByteBlock& block);
  bool WaitUntilSent();
  // Waits as `wait` does; past kHeldAfter the device counts as holding output.
  WaitResult WaitNoting(const std::function<WaitResult(Deadline)>& wait);
  bool NoteHeld(bool held);
  // Whether writing goes on after a wait; a hang-up or failure is reported.
  bool GoesOn(const WaitResult& wait);

  PortContext context_;
  WriteQueue queue_;
  std::uint32_t written_ = 0;
  bool held_ = false;
  std::atomic<std::int64_t> minimumGap_{0};  // microseconds
  std::optional<std::chrono::steady_clock::time_point> lastLeft_;
  std::jthread thread_;  // last: ends before the members it uses
};

}  // namespace zrt::link
