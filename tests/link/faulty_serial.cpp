#include "faulty_serial.h"

#include <atomic>
#include <cerrno>

namespace zrt::link::testing {
namespace {

// Each role has its own generator, so the reader and the writer share nothing.
class FaultyDevice : public SerialDevice {
 public:
  FaultyDevice(std::unique_ptr<SerialDevice> inner, const FaultPlan& plan)
      : inner_(std::move(inner)),
        plan_(plan),
        readRandom_(plan.seed),
        writeRandom_(plan.seed + 1) {}

  SysError SetupQueues(std::size_t in, std::size_t out) override {
    return inner_->SetupQueues(in, out);
  }
  void Purge(std::uint32_t flags) override { inner_->Purge(flags); }
  SysError ApplyState(const CommState& state) override {
    if (plan_.vanishesOnConfigure) {
      vanished_.store(true);
      return SysError::FromErrno(EIO);
    }
    return inner_->ApplyState(state);
  }
  SysError SetEventMask(std::uint32_t mask) override { return inner_->SetEventMask(mask); }
  WaitResult Wait(Direction direction, Deadline deadline, const StopEvent& stop) override {
    const WaitResult result = inner_->Wait(direction, deadline, stop);
    if (vanished_.load() && result.kind != WaitResult::Stopped) return {WaitResult::HungUp};
    return result;
  }

  IoResult Read(std::span<std::uint8_t> buffer) override {
    if (vanished_.load()) return {IoResult::HungUp};
    if (reads_++ == plan_.failingRead) {
      return plan_.readEndsWithEof ? IoResult{IoResult::HungUp}
                                   : IoResult{IoResult::Failed, 0, SysError::FromErrno(EIO)};
    }
    if (Storm(readStormLeft_, plan_.readStorm, readRandom_)) return {IoResult::WouldBlock};
    return inner_->Read(buffer);
  }

  IoResult Write(std::span<const std::uint8_t> bytes) override {
    if (vanished_.load()) return {IoResult::HungUp};
    if (writes_++ == plan_.failingWrite) return {IoResult::HungUp};
    if (Storm(writeStormLeft_, plan_.writeStorm, writeRandom_)) return {IoResult::WouldBlock};
    if (plan_.shortWrites && bytes.size() > 1) {
      bytes = bytes.first(1 + writeRandom_() % (bytes.size() - 1));
    }
    return inner_->Write(bytes);
  }

  std::uint32_t ClearErrors(SysError& error) override { return inner_->ClearErrors(error); }
  WaitResult WaitUntilSent(Deadline deadline, const StopEvent& stop) override {
    return inner_->WaitUntilSent(deadline, stop);
  }

 private:
  // True while a storm lasts; a new one starts with the plan's chance.
  static bool Storm(int& left, double chance, std::mt19937& random) {
    if (left > 0) {
      --left;
      return true;
    }
    if (std::uniform_real_distribution<>(0, 1)(random) < chance) {
      left = static_cast<int>(random() % 20);
      return true;
    }
    return false;
  }

  std::unique_ptr<SerialDevice> inner_;
  const FaultPlan plan_;
  std::atomic<bool> vanished_{false};
  // Reader only:
  std::mt19937 readRandom_;
  int reads_ = 0;
  int readStormLeft_ = 0;
  // Writer only:
  std::mt19937 writeRandom_;
  int writes_ = 0;
  int writeStormLeft_ = 0;
};

}  // namespace

FaultPlan::FaultPlan(unsigned s) : seed(s) {
  std::mt19937 random(s);
  auto chance = [&](int percent) { return static_cast<int>(random() % 100) < percent; };
  readStorm = chance(50) ? 0.3 : 0;
  writeStorm = chance(50) ? 0.3 : 0;
  shortWrites = chance(50);
  if (chance(30)) failingRead = static_cast<int>(random() % 20);
  readEndsWithEof = chance(50);
  if (chance(30)) failingWrite = static_cast<int>(random() % 40);
  vanishesOnConfigure = chance(10);
}

std::string FaultPlan::Describe() const {
  return "seed " + std::to_string(seed) + ": read storms " + std::to_string(readStorm) +
         ", write storms " + std::to_string(writeStorm) + ", short writes " +
         std::to_string(shortWrites) + ", failing read " + std::to_string(failingRead) +
         (readEndsWithEof ? " (end of file)" : " (I/O error)") + ", failing write " +
         std::to_string(failingWrite) + ", vanishes " + std::to_string(vanishesOnConfigure);
}

SerialPlatform::OpenResult FaultySerialPlatform::Open(const std::string& name) {
  OpenResult opened = inner_.Open(name);
  if (opened.device)
    opened.device = std::make_unique<FaultyDevice>(std::move(opened.device), plan_);
  return opened;
}

}  // namespace zrt::link::testing
