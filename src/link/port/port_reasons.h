// The reasons a port gives in words of its own rather than the system's
// (mostly a network server's doing), in the three languages of the window,
// so that a failure or a note reads in the operator's language wherever it
// is shown. The system's own reasons stay in its words.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace zrt::link {

enum class PortReason {
  System,               // the system's text, as it gave it
  NotAnAddress,         // %1: the name given
  ServerClosed,         // %1: HOST:PORT
  ServerClosedAtOnce,   // %1: HOST:PORT
  ServerStalled,        // %1: HOST:PORT, %2: seconds
  ConnectionFailed,     // %1: HOST:PORT
  SettingUnanswered,    // %1: the setting, %2: seconds
  SettingChanged,       // %1: the setting taken, %2: the setting asked for
  ModemLineUnanswered,  // %1: the modem line
  SpeaksRfc2217,        // %1: HOST:PORT
  NotRfc2217,           // %1: HOST:PORT
  HeldByProcess,        // %1: the device, %2: the process, %3: its lock file
  HeldByLockFile,       // %1: the device, %2: the lock file
  Count,
};

// A reason with what fills it in.
struct PortNote {
  PortReason why = PortReason::System;
  std::vector<std::string> args;
  bool operator==(const PortNote&) const = default;
};

// The text in the language of that index (0 English, 1 simplified and 2
// traditional Chinese), its %1, %2 filled in from `note.args` in one pass,
// so that an argument is never read as a place to fill. Empty for System.
std::string SayPortNote(const PortNote& note, std::size_t language = 0);

}  // namespace zrt::link
