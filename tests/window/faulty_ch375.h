// A USB bridge library that makes another one fail the ways a real bridge
// fails, chosen by a seed: a write that times out, a device that goes away
// in the middle of a write, a reply cut short.
#pragma once

#include <mutex>
#include <random>

#include "link/ch375_library.h"

namespace zrt::window::testing {

class FaultyCh375 : public link::Ch375Library {
 public:
  // `unplug` takes the device away as the bus would (and tells the routine).
  FaultyCh375(link::Ch375Library& inner, unsigned seed, std::function<void()> unplug)
      : inner_(inner), random_(seed), unplug_(std::move(unplug)) {}

  int timedOut = 0, gone = 0, cut = 0;  // what was done, read once the transfers are over

  std::int32_t CH375OpenDevice(std::int32_t i) override { return inner_.CH375OpenDevice(i); }
  void CH375CloseDevice(std::int32_t i) override { inner_.CH375CloseDevice(i); }
  bool CH375SetTimeout(std::int32_t i, std::uint32_t w, std::uint32_t r) override {
    return inner_.CH375SetTimeout(i, w, r);
  }
  bool CH375WriteData(std::int32_t i, const void* buffer, std::uint32_t* length) override {
    switch (Roll()) {
      case 0:
        ++timedOut;
        return false;
      case 1:
        ++gone;
        unplug_();
        return false;
      default:
        return inner_.CH375WriteData(i, buffer, length);
    }
  }
  bool CH375SetDeviceNotify(std::int32_t i, const char* name, NotifyRoutine routine) override {
    return inner_.CH375SetDeviceNotify(i, name, std::move(routine));
  }
  bool CH375SetIntRoutine(std::int32_t i, void* routine) override {
    return inner_.CH375SetIntRoutine(i, routine);
  }
  void SetCH372(QByteArray& reply, QByteArray& line) override {
    inner_.SetCH372(reply, line);
    if (Roll() == 2 && !reply.isEmpty()) {
      ++cut;
      reply.truncate(static_cast<qsizetype>(random_() % static_cast<unsigned>(reply.size())));
    }
  }

 private:
  // 0: time out, 1: go away, 2: cut the reply; anything else: work.
  unsigned Roll() { return random_() % 8; }

  link::Ch375Library& inner_;
  std::mt19937 random_;  // used by one transfer at a time
  std::function<void()> unplug_;
};

}  // namespace zrt::window::testing
