#include "link/port/comm_threads.h"

#include <cerrno>
#include <limits>
#include <utility>

namespace zrt::link {
void PortContext::PostHangupRequest() const {
  // Once the stop is requested the owner is closing the port, and whatever
  // fails now (an operation the close cancels) is no hang-up.
  if (!stop.IsSet() && hangup.Trip()) sink.Post({UM_REQUEST_HANGUP});
}

void PortContext::ReportEnd(const SysError& error) const {
  if (error.code != EBADF) PostHangupRequest();
}

// ---- Reader ---------------------------------------------------------------

TReadThread::~TReadThread() = default;

void TReadThread::Start(SerialPlatform& platform) {
  thread_ = platform.StartThread(ThreadRole::Reader, [this] { Execute(); });
}

void TReadThread::Execute() {
  if (context_.device.SetEventMask(kReaderEventMask)) {
    context_.PostHangupRequest();
  } else if (ArmCommEvent() && ArmRead()) {
    for (bool running = true; running;) {
      const WaitResult wait =
          context_.device.Wait(SerialDevice::Direction::Read, BlockDeadline(), context_.stop);
      switch (wait.kind) {
        case WaitResult::Stopped:
          running = false;
          break;
        case WaitResult::LineEvent:
          running = HandleCommEvent(wait.events) && ArmCommEvent();
          break;
        case WaitResult::Ready:
          running = CompleteRead();
          break;
        case WaitResult::Timeout:
          // A block with bytes in is complete; an empty one simply starts over.
          running = (count_ == 0 || DeliverBytes()) && ArmRead();
          break;
        case WaitResult::HungUp:
          if (count_ > 0) DeliverBytes();
          context_.PostHangupRequest();
          running = false;
          break;
        case WaitResult::Failed:
          context_.ReportEnd(wait.error);
          running = false;
          break;
      }
    }
  }
  context_.device.Purge(PURGE_RXABORT | PURGE_RXCLEAR);
}

bool TReadThread::ArmCommEvent() {
  // Line events come with every wait of the device; there is nothing to
  // re-arm but the check for a stop.
  return !context_.stop.IsSet();
}

bool TReadThread::ArmRead() {
  if (context_.stop.IsSet()) return false;
  count_ = 0;
  blockStart_ = Clock::now();
  return true;
}

bool TReadThread::CompleteRead() {
  const IoResult read = context_.device.Read(std::span(buffer_).subspan(count_));
  switch (read.status) {
    case IoResult::Done:
      count_ += read.count;
      lastByte_ = Clock::now();
      if (count_ == buffer_.size() ||
          context_.device.Timeouts().readIntervalTimeout == kReadAtOnce) {
        return DeliverBytes() && ArmRead();
      }
      return true;
    case IoResult::WouldBlock:
      return true;
    case IoResult::HungUp:
      if (count_ > 0) DeliverBytes();
      context_.PostHangupRequest();
      return false;
    case IoResult::Failed:
      context_.ReportEnd(read.error);
      return false;
  }
  return false;
}

bool TReadThread::DeliverBytes() {
  if (count_ == 0) return false;
  const std::size_t count = std::exchange(count_, 0);
  if (!context_.sink.PostReceived(std::span(buffer_).first(count))) {
    context_.PostHangupRequest();
    return false;
  }
  return true;
}

bool TReadThread::HandleCommEvent(std::uint32_t mask) {
  bool result = false;
  if (mask & EV_ERR) {
    SysError error;
    const std::uint32_t flags = context_.device.ClearErrors(error);
    if (error) {
      context_.ReportEnd(error);
      return false;
    }
    if (!context_.sink.Post({UM_RECEIVE_ERROR, flags})) {
      context_.PostHangupRequest();
      return false;
    }
    result = true;
  }
  std::uint32_t modem = 0;
  if (mask & EV_RLSD) modem |= kModemCarrier;
  if (mask & EV_RING) modem |= kModemRing;
  if (modem != 0) {
    if (!context_.sink.Post({UM_MODEM_STATE_CHANGE, modem})) {
      context_.PostHangupRequest();
      return false;
    }
    result = true;
  }
  if (!result) context_.PostHangupRequest();
  return result;
}

Deadline TReadThread::BlockDeadline() const {
  const CommTimeouts timeouts = context_.device.Timeouts();
  Deadline deadline;
  if (count_ > 0 && timeouts.readIntervalTimeout != 0 &&
      timeouts.readIntervalTimeout != kReadAtOnce) {
    deadline = lastByte_ + std::chrono::milliseconds(timeouts.readIntervalTimeout);
  }
  const std::uint64_t total = std::uint64_t{timeouts.readTotalTimeoutMultiplier} * kReadBlockSize +
                              timeouts.readTotalTimeoutConstant;
  if (total != 0) {
    const Clock::time_point end = blockStart_ + std::chrono::milliseconds(total);
    if (!deadline || end < *deadline) deadline = end;
  }
  return deadline;
}

// ---- Writer ---------------------------------------------------------------

TWriteThread::~TWriteThread() = default;

void TWriteThread::Start(SerialPlatform& platform) {
  thread_ = platform.StartThread(ThreadRole::Writer, [this] { Execute(); });
}

void TWriteThread::Execute() {
  bool reportEmpty = true;
  for (;;) {
    std::optional<ByteBlock> block = queue_.TryPop();
    if (!block) {
      if (reportEmpty && !context_.sink.Post({UM_SEND_DATA_EMPTY, written_})) {
        context_.PostHangupRequest();
        break;
      }
      reportEmpty = false;
      if (!queue_.WaitForBlock() || context_.stop.IsSet()) break;
      continue;
    }
    if (context_.stop.IsSet()) break;  // taken after the stop request: dropped
    if (const auto gap = std::chrono::microseconds(minimumGap_.load());
        gap.count() > 0 && lastLeft_ && !context_.stop.SleepUntil(*lastLeft_ + gap)) {
      break;
    }
    if (!WriteBlock(*block)) break;
    ++written_;
    // Empty is said only once the bytes are out, so that whoever paces
    // them paces the line, not the hand-over; with a gap to keep, each
    // block is seen out before the next.
    if ((minimumGap_.load() > 0 || queue_.Empty()) && !WaitUntilSent()) break;
    reportEmpty = true;
  }
  queue_.Close();
  context_.device.Purge(PURGE_TXABORT | PURGE_TXCLEAR);
}

bool TWriteThread::NoteHeld(bool held) {
  if (held_ == held) return true;
  held_ = held;
  if (context_.sink.Post({UM_OUTPUT_HELD, held ? 1u : 0u})) return true;
  context_.PostHangupRequest();
  return false;
}

WaitResult TWriteThread::WaitNoting(const std::function<WaitResult(Deadline)>& wait) {
  if (!held_) {
    const WaitResult first = wait(std::chrono::steady_clock::now() + kHeldAfter);
    if (first.kind != WaitResult::Timeout) return first;
    if (!NoteHeld(true)) return {WaitResult::Stopped};
  }
  return wait(std::nullopt);
}

bool TWriteThread::GoesOn(const WaitResult& wait) {
  switch (wait.kind) {
    case WaitResult::Stopped:
      return false;
    case WaitResult::HungUp:
      context_.PostHangupRequest();
      return false;
    case WaitResult::Failed:
      context_.ReportEnd(wait.error);
      return false;
    default:
      return true;
  }
}

bool TWriteThread::WaitUntilSent() {
  const WaitResult sent = WaitNoting(
      [this](Deadline deadline) { return context_.device.WaitUntilSent(deadline, context_.stop); });
  if (!GoesOn(sent)) return false;
  lastLeft_ = std::chrono::steady_clock::now();
  return NoteHeld(false);
}

bool TWriteThread::WriteBlock(const ByteBlock& block) {
  auto rest = std::span(reinterpret_cast<const std::uint8_t*>(block.data()), block.size());
  while (!rest.empty()) {
    const IoResult write = context_.device.Write(rest);
    switch (write.status) {
      case IoResult::Done:
        rest = rest.subspan(write.count);  // a partial write goes on with the rest
        if (!NoteHeld(false)) return false;
        break;
      case IoResult::WouldBlock: {
        const WaitResult wait = WaitNoting([this](Deadline deadline) {
          return context_.device.Wait(SerialDevice::Direction::Write, deadline, context_.stop);
        });
        if (!GoesOn(wait)) return false;
        break;
      }
      case IoResult::HungUp:
        context_.PostHangupRequest();
        return false;
      case IoResult::Failed:
        context_.ReportEnd(write.error);
        return false;
    }
  }
  return true;
}

}  // namespace zrt::link
