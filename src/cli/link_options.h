// The options zrt-send and zrt-serve both take to name the link to the
// instrument: --port PATH, --usb, --simulate, --baud N and --address N,
// and the limits its lines are held within, --limits FILE.
#pragma once

#include <QString>
#include <QStringList>
#include <chrono>
#include <optional>

#include "settings/limits.h"

namespace zrt::cli {

inline constexpr std::chrono::milliseconds kDefaultHoldLimit{10000};

struct LinkChoice {
  QString port;  // a serial port's path, or a network port's name
  bool usb = false;
  bool simulate = false;  // the simulated instrument instead of a device
  QString baud = "19200";
  QString address = "88";
  // How long the instrument may hold output back (XOFF) before a frame is
  // given up.
  std::chrono::milliseconds holdLimit = kDefaultHoldLimit;
  settings::Limits limits;  // read from --limits FILE; none by default
};

// When arguments[i] is one of the link's options, takes it (and its value,
// moving i past it) into `choice` and says true; `problem` is set when its
// value is missing, or when the limits file is refused.
bool TakeLinkOption(const QStringList& arguments, int& i, LinkChoice& choice,
                    std::optional<QString>& problem);
// What is wrong with the link the options name, if anything.
std::optional<QString> LinkProblem(const LinkChoice& choice);

}  // namespace zrt::cli
