// The simulated instrument on a pseudo-terminal, and the frames it heard
// ("XCHA:AFREQ1000Hz": the address as its byte, X for 88).
#pragma once

#include <QString>
#include <QStringList>
#include <mutex>
#include <string>
#include <vector>

#include "sim/pty_instrument.h"

namespace zrt::window::testing {

struct Heard {
  explicit Heard(std::vector<std::string> keep = {}, std::vector<std::string> silent = {})
      : instrument({88,
                    {},
                    [this](const std::string& line) {
                      std::lock_guard lock(mutex);
                      if (line.starts_with("<- ")) frames << QString::fromStdString(line.substr(3));
                    },
                    std::move(keep),
                    std::move(silent)}) {}
  QStringList Frames() {
    std::lock_guard lock(mutex);
    return frames;
  }
  std::mutex mutex;
  QStringList frames;
  sim::PtyInstrument instrument;
};

}  // namespace zrt::window::testing
