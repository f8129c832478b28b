#include "fake_serial.h"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "link/port/comm_events.h"
#include "link/port/serial_port_posix.h"

namespace zrt::link::testing {

class FakeDevice : public SerialDevice {
 public:
  explicit FakeDevice(std::shared_ptr<FakeLine> line) : line_(std::move(line)) {
    std::lock_guard lock(line_->mutex_);
    line_->deviceOpen_ = true;
  }
  ~FakeDevice() override {
    {
      std::lock_guard lock(line_->mutex_);
      line_->deviceOpen_ = false;
    }
    line_->Changed();
  }

  SysError SetupQueues(std::size_t, std::size_t) override { return Check(FakeOp::SetupQueues); }

  void Purge(std::uint32_t flags) override {
    {
      std::lock_guard lock(line_->mutex_);
      line_->purges_.push_back(flags);
      if (flags & PURGE_RXCLEAR) line_->inbound_.clear();
    }
    line_->Changed();
  }

  SysError ApplyState(const CommState& state) override {
    std::lock_guard lock(line_->mutex_);
    ++line_->applyStateCalls_;
    int error = 0;
    if (line_->TakeFailure(FakeOp::ApplyState, error)) return SysError::FromErrno(error);
    line_->state_ = state;
    return {};
  }

  SysError SetEventMask(std::uint32_t mask) override {
    mask_ = mask;
    return Check(FakeOp::SetEventMask);
  }

  WaitResult Wait(Direction direction, Deadline deadline, const StopEvent& stop) override {
    const bool reading = direction == Direction::Read;
    if (reading) {
      std::lock_guard lock(line_->mutex_);
      ++line_->readWaits_;
    }
    for (;;) {
      if (stop.IsSet()) return {WaitResult::Stopped};
      {
        std::lock_guard lock(line_->mutex_);
        int error = 0;
        if (line_->TakeFailure(reading ? FakeOp::WaitRead : FakeOp::WaitWrite, error)) {
          return {WaitResult::Failed, 0, SysError::FromErrno(error)};
        }
        if (reading) {
          if (!line_->lineEvents_.empty()) {
            const auto [events, errors] = line_->lineEvents_.front();
            line_->lineEvents_.pop_front();
            line_->pendingErrors_ |= errors;
            return {WaitResult::LineEvent, events};
          }
          if (!line_->inbound_.isEmpty()) return {WaitResult::Ready};
        } else if (!line_->stalled_) {
          return {WaitResult::Ready};
        }
        if (line_->hungUp_) return {WaitResult::HungUp};
      }
      int timeout = -1;
      if (deadline) {
        const auto left = *deadline - std::chrono::steady_clock::now();
        if (left <= std::chrono::steady_clock::duration::zero()) return {WaitResult::Timeout};
        timeout = static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
      }
      const int wakeFd = reading ? line_->readWakeFd_ : line_->writeWakeFd_;
      pollfd fds[2] = {{static_cast<int>(stop.NativeHandle()), POLLIN, 0}, {wakeFd, POLLIN, 0}};
      poll(fds, 2, timeout);
      if (fds[1].revents) {
        std::uint64_t drained;
        [[maybe_unused]] ssize_t n = read(wakeFd, &drained, sizeof drained);
      }
    }
  }

  IoResult Read(std::span<std::uint8_t> buffer) override {
    std::size_t count = 0;
    {
      std::lock_guard lock(line_->mutex_);
      int error = 0;
      if (line_->TakeFailure(FakeOp::Read, error)) {
        return {IoResult::Failed, 0, SysError::FromErrno(error)};
      }
      if (line_->inbound_.isEmpty()) {
        return {line_->hungUp_ ? IoResult::HungUp : IoResult::WouldBlock};
      }
      count =
          std::min<std::size_t>(buffer.size(), static_cast<std::size_t>(line_->inbound_.size()));
      std::copy_n(line_->inbound_.constData(), count, reinterpret_cast<char*>(buffer.data()));
      line_->inbound_.remove(0, static_cast<qsizetype>(count));
      line_->consumed_ += count;
    }
    line_->Changed();
    return {IoResult::Done, count};
  }

  IoResult Write(std::span<const std::uint8_t> bytes) override {
    std::size_t count = bytes.size();
    {
      std::lock_guard lock(line_->mutex_);
      int error = 0;
      if (line_->TakeFailure(FakeOp::Write, error)) {
        return {IoResult::Failed, 0, SysError::FromErrno(error)};
      }
      if (line_->hungUp_) return {IoResult::HungUp};
      if (line_->stalled_) return {IoResult::WouldBlock};
      if (line_->writeLimit_ != 0) count = std::min(count, line_->writeLimit_);
      line_->written_.append(reinterpret_cast<const char*>(bytes.data()),
                             static_cast<qsizetype>(count));
    }
    line_->Changed();
    return {IoResult::Done, count};
  }

  std::uint32_t ClearErrors(SysError& error) override {
    std::lock_guard lock(line_->mutex_);
    int code = 0;
    error = line_->TakeFailure(FakeOp::ClearErrors, code) ? SysError::FromErrno(code) : SysError{};
    return std::exchange(line_->pendingErrors_, 0);
  }

 private:
  SysError Check(FakeOp op) {
    std::lock_guard lock(line_->mutex_);
    int error = 0;
    return line_->TakeFailure(op, error) ? SysError::FromErrno(error) : SysError{};
  }

  std::shared_ptr<FakeLine> line_;
  std::uint32_t mask_ = 0;
};

FakeLine::FakeLine()
    : readWakeFd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
      writeWakeFd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

FakeLine::~FakeLine() {
  close(readWakeFd_);
  close(writeWakeFd_);
}

void FakeLine::Changed() {
  const std::uint64_t one = 1;
  [[maybe_unused]] ssize_t r = write(readWakeFd_, &one, sizeof one);
  [[maybe_unused]] ssize_t w = write(writeWakeFd_, &one, sizeof one);
  changed_.notify_all();
}

bool FakeLine::TakeFailure(FakeOp op, int& error) {
  const auto it = failures_.find(op);
  if (it == failures_.end()) return false;
  error = it->second;
  failures_.erase(it);
  return true;
}

void FakeLine::Feed(const QByteArray& bytes) {
  {
    std::lock_guard lock(mutex_);
    inbound_.append(bytes.constData(), bytes.size());  // a deep copy: no sharing across threads
  }
  Changed();
}

void FakeLine::RaiseLineEvent(std::uint32_t events, std::uint32_t errors) {
  {
    std::lock_guard lock(mutex_);
    lineEvents_.emplace_back(events, errors);
  }
  Changed();
}

void FakeLine::HangUp() {
  {
    std::lock_guard lock(mutex_);
    hungUp_ = true;
  }
  Changed();
}

void FakeLine::SetWriteLimit(std::size_t bytesPerWrite) {
  std::lock_guard lock(mutex_);
  writeLimit_ = bytesPerWrite;
}

void FakeLine::StallWrites(bool stalled) {
  {
    std::lock_guard lock(mutex_);
    stalled_ = stalled;
  }
  Changed();
}

void FakeLine::FailNext(FakeOp op, int error) {
  {
    std::lock_guard lock(mutex_);
    failures_[op] = error;
  }
  Changed();
}

QByteArray FakeLine::Written() const {
  std::lock_guard lock(mutex_);
  return written_;
}

std::size_t FakeLine::Consumed() const {
  std::lock_guard lock(mutex_);
  return consumed_;
}

int FakeLine::ReadWaits() const {
  std::lock_guard lock(mutex_);
  return readWaits_;
}

int FakeLine::ApplyStateCalls() const {
  std::lock_guard lock(mutex_);
  return applyStateCalls_;
}

CommState FakeLine::LastState() const {
  std::lock_guard lock(mutex_);
  return state_;
}

std::vector<std::uint32_t> FakeLine::Purges() const {
  std::lock_guard lock(mutex_);
  return purges_;
}

bool FakeLine::DeviceOpen() const {
  std::lock_guard lock(mutex_);
  return deviceOpen_;
}

bool FakeLine::WaitUntil(const std::function<bool()>& condition, int seconds) const {
  // The condition takes the lock itself through the accessors.
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    // Changes notify changed_; the short bound covers a change that lands
    // between the check and the wait.
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, std::chrono::milliseconds(5));
  }
  return true;
}

SerialPlatform::OpenResult FakePlatform::Open(const std::string& name) {
  lastName = name;
  if (openFailure != OpenFailure::None) {
    return {nullptr, openFailure, SysError::FromErrno(openError)};
  }
  return {std::make_unique<FakeDevice>(line_)};
}

std::unique_ptr<StopEvent> FakePlatform::CreateStopEvent(SysError& error) {
  if (stopEventError != 0) {
    error = SysError::FromErrno(stopEventError);
    return nullptr;
  }
  return MakeEventFdStopEvent(error);
}

std::jthread FakePlatform::StartThread(ThreadRole role, std::function<void()> body) {
  if ((role == ThreadRole::Reader && failReaderThread) ||
      (role == ThreadRole::Writer && failWriterThread)) {
    throw std::system_error(EAGAIN, std::generic_category(), "cannot start thread");
  }
  return std::jthread([body = std::move(body), role] {
    pthread_setname_np(pthread_self(), role == ThreadRole::Reader ? "zrt-reader" : "zrt-writer");
    body();
  });
}

}  // namespace zrt::link::testing
