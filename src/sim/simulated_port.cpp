#include "sim/simulated_port.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <mutex>
#include <vector>

#include "link/port/comm_events.h"
#include "net/socket.h"
#include "sim/frame_reader.h"
#include "sim/instrument_model.h"

namespace zrt::sim {

struct SimulatedInstrument {
  explicit SimulatedInstrument(int address) : model(address) {}
  std::mutex mutex;  // guards the model
  InstrumentModel model;
  std::atomic<bool> open{false};
};

namespace {

using link::Deadline;
using link::IoResult;
using link::WaitResult;

bool IsSimulatedPortName(const std::string& name) {
  const std::string_view wanted = kSimulatedPortName;
  return std::equal(name.begin(), name.end(), wanted.begin(), wanted.end(), [](char a, char b) {
    return std::toupper(static_cast<unsigned char>(a)) == b;
  });
}

// The port's far end is the instrument: what is written is read by it at
// once, and its answers wait to be read.
class SimulatedPort : public link::SerialDevice {
 public:
  explicit SimulatedPort(std::shared_ptr<SimulatedInstrument> instrument)
      : instrument_(std::move(instrument)) {}
  ~SimulatedPort() override { instrument_->open = false; }

  link::SysError SetupQueues(std::size_t, std::size_t) override { return {}; }
  void Purge(std::uint32_t flags) override {
    if (!(flags & (link::PURGE_RXABORT | link::PURGE_RXCLEAR))) return;
    std::lock_guard lock(mutex_);
    answers_.clear();
    ready_.Lower();
  }
  link::SysError ApplyState(const link::CommState&) override { return {}; }
  link::SysError SetEventMask(std::uint32_t) override { return {}; }

  WaitResult Wait(Direction direction, Deadline deadline, const link::StopEvent& stop) override {
    if (direction == Direction::Write) return {WaitResult::Ready};
    const net::Waitable flags[] = {stop.NativeHandle(), ready_.Native()};
    const net::Woken woken = net::WaitForAny(flags, nullptr, false, deadline);
    if (woken.error) return {WaitResult::Failed, 0, {woken.error.code, woken.error.reason}};
    if (woken.flag == 0) return {WaitResult::Stopped};
    if (woken.flag == 1) return {WaitResult::Ready};
    return {WaitResult::Timeout};
  }

  IoResult Read(std::span<std::uint8_t> buffer) override {
    std::lock_guard lock(mutex_);
    if (answers_.empty()) return {IoResult::WouldBlock};
    const std::size_t count = std::min(buffer.size(), answers_.size());
    std::copy_n(answers_.begin(), count, buffer.begin());
    answers_.erase(answers_.begin(), answers_.begin() + static_cast<std::ptrdiff_t>(count));
    if (answers_.empty()) ready_.Lower();
    return {IoResult::Done, count};
  }

  IoResult Write(std::span<const std::uint8_t> bytes) override {
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    std::string answers;
    {
      std::lock_guard lock(instrument_->mutex);
      for (const FrameReader::Frame& frame : reader_.Take(text, FrameReader::Clock::now())) {
        answers += instrument_->model.Answer(frame.bytes);
      }
    }
    if (!answers.empty()) {
      std::lock_guard lock(mutex_);
      answers_.insert(answers_.end(), answers.begin(), answers.end());
      ready_.Raise();
    }
    return {IoResult::Done, bytes.size()};
  }

  std::uint32_t ClearErrors(link::SysError& error) override {
    error = {};
    return 0;
  }

 private:
  const std::shared_ptr<SimulatedInstrument> instrument_;
  FrameReader reader_;  // the writer's
  std::mutex mutex_;    // guards answers_
  std::vector<char> answers_;
  const net::Flag ready_;  // raised while answers wait
};

}  // namespace

SimulatedPortPlatform::SimulatedPortPlatform(link::SerialPlatform& local, int address)
    : local_(local), instrument_(std::make_shared<SimulatedInstrument>(address)) {}

link::SerialPlatform::OpenResult SimulatedPortPlatform::Open(const std::string& name) {
  if (!IsSimulatedPortName(name)) return local_.Open(name);
  if (instrument_->open.exchange(true)) {
    return {nullptr, OpenFailure::CannotOpen,
            link::SysError(EBUSY, "Device or resource busy", name)};
  }
  return {std::make_unique<SimulatedPort>(instrument_)};
}

}  // namespace zrt::sim
