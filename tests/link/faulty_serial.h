// A serial platform that makes another one's ports fail the ways real
// devices fail, chosen by a seed: storms of "try again" on reads and
// writes, short writes, an I/O error, a read that returns nothing (the
// device gone), a hang-up in the middle of the output, and a device that
// vanishes between opening and configuring.
#pragma once

#include <memory>
#include <random>
#include <string>

#include "link/port/serial_device.h"

namespace zrt::link::testing {

struct FaultPlan {
  explicit FaultPlan(unsigned seed);

  double readStorm = 0;   // chance that a read starts a storm of "try again"
  double writeStorm = 0;  // the same for a write
  bool shortWrites = false;
  int failingRead = -1;  // this read (counted from 0) fails: I/O error or end of file
  bool readEndsWithEof = false;
  int failingWrite = -1;  // this write hangs up
  bool vanishesOnConfigure = false;
  unsigned seed;

  std::string Describe() const;
};

class FaultySerialPlatform : public SerialPlatform {
 public:
  FaultySerialPlatform(SerialPlatform& inner, FaultPlan plan) : inner_(inner), plan_(plan) {}

  OpenResult Open(const std::string& name) override;
  std::unique_ptr<StopEvent> CreateStopEvent(SysError& error) override {
    return inner_.CreateStopEvent(error);
  }
  std::jthread StartThread(ThreadRole role, std::function<void()> body) override {
    return inner_.StartThread(role, std::move(body));
  }

 private:
  SerialPlatform& inner_;
  FaultPlan plan_;
};

}  // namespace zrt::link::testing
