// A scriptable serial platform for tests. The test holds the FakeLine: it
// feeds bytes, raises line events, hangs up, stalls or limits writes, fails
// any operation with a chosen error and reads back what the component did.
#pragma once

#include <QByteArray>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "link/port/serial_device.h"

namespace zrt::link::testing {

enum class FakeOp {
  SetupQueues,
  ApplyState,
  SetEventMask,
  WaitRead,
  WaitWrite,
  Read,
  Write,
  ClearErrors
};

class FakeLine {
 public:
  FakeLine();
  ~FakeLine();

  // ---- What the test does to the line.
  void Feed(const QByteArray& bytes);
  void RaiseLineEvent(std::uint32_t events, std::uint32_t errors = 0);
  void HangUp();
  void SetWriteLimit(std::size_t bytesPerWrite);  // 0: no limit
  void StallWrites(bool stalled);
  void FailNext(FakeOp op, int error);  // the next call of `op` fails with this errno

  // ---- What the component did.
  QByteArray Written() const;
  std::size_t Consumed() const;  // bytes the reader has taken
  int ReadWaits() const;         // waits the reader has started
  int ApplyStateCalls() const;
  CommState LastState() const;
  std::vector<std::uint32_t> Purges() const;
  bool DeviceOpen() const;
  // Blocks the calling thread until `condition` holds (checked whenever the
  // device changes); false after `seconds`.
  bool WaitUntil(const std::function<bool()>& condition, int seconds = 10) const;

 private:
  friend class FakeDevice;
  void Changed();  // wakes device waits and WaitUntil
  bool TakeFailure(FakeOp op, int& error);

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  // eventfds, readable when something changed: one for the reader's waits,
  // one for the writer's, so that one draining it cannot hide a change from the other.
  int readWakeFd_;
  int writeWakeFd_;
  QByteArray inbound_;
  std::size_t consumed_ = 0;
  int readWaits_ = 0;
  std::deque<std::pair<std::uint32_t, std::uint32_t>> lineEvents_;  // events, errors
  std::uint32_t pendingErrors_ = 0;
  bool hungUp_ = false;
  std::size_t writeLimit_ = 0;
  bool stalled_ = false;
  std::map<FakeOp, int> failures_;
  QByteArray written_;
  int applyStateCalls_ = 0;
  CommState state_;
  std::vector<std::uint32_t> purges_;
  bool deviceOpen_ = false;
};

class FakePlatform : public SerialPlatform {
 public:
  explicit FakePlatform(std::shared_ptr<FakeLine> line) : line_(std::move(line)) {}

  OpenFailure openFailure = OpenFailure::None;
  int openError = 0;
  int stopEventError = 0;  // CreateStopEvent fails with this errno when set
  bool failReaderThread = false;
  bool failWriterThread = false;
  std::string lastName;

  OpenResult Open(const std::string& name) override;
  std::unique_ptr<StopEvent> CreateStopEvent(SysError& error) override;
  std::jthread StartThread(ThreadRole role, std::function<void()> body) override;

 private:
  std::shared_ptr<FakeLine> line_;
};

}  // namespace zrt::link::testing
