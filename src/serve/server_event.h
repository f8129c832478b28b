// Something a server of the instrument did, for the log. The kinds are
// said in words by whoever logs them (Describe: in English).
#pragma once

#include <QString>
#include <optional>

#include "guard/breach.h"

namespace zrt::serve {

struct ServerEvent {
  enum class Kind {
    Listening,     // text: the address; count: 1 when other machines can reach it
    Connected,     // origin: the client
    Disconnected,  // count: its waiting lines, dropped
    NotReading,    // closed: it does not read its replies; count as above
    TooMany,       // origin: the client turned away; count: the limit
    Replaced,      // origin: the client idle longest, closed for a new one
    TooLong,       // origin: the client whose line was refused; count: the longest allowed
    NoByte,        // origin; text: the line; count: where a character without a byte stands
    ControlByte,   // origin; text: the line; count: where a control byte stands
    NotSent,       // origin; text: the line, not sent (the port is not open)
    BadSettings,   // origin; text: the line, not sent (no number for an address or rate)
    LinkLost,      // origin: whose line the link went under; count: lines dropped
    HeldTooLong,   // origin; text: its line, given up under the instrument's XOFF
    Stopped,       // text: what it stopped listening for, if not the only kind
    BeyondLimit,   // origin; text: the line; breach: the limit it would go beyond
    AcceptFailed,  // text: the system's reason; said once until a connection is taken
    ScpiCommand,   // origin; text: a SCPI program unit as the client wrote it
    ScpiError,     // origin; text: the error queued for it, as SYST:ERR? says it
    LinkOpened,    // VXI-11; origin: the link; text: its device
    LinkClosed,    // VXI-11; origin: the link; text: why; count: waiting messages dropped
    TooManyLinks,  // VXI-11; origin: the connection; count: the limit
    NoDevice,      // VXI-11; origin: the connection; text: the device asked for
    Cleared,       // VXI-11; origin: the link; count: waiting messages dropped
  };
  Kind kind;
  QString origin;  // "tcp 127.0.0.1:53122"
  QString text;
  int count = 0;
  std::optional<guard::LimitBreach> breach = {};
};

// The event in English, for zrt-serve's log.
QString Describe(const ServerEvent& event);

}  // namespace zrt::serve
