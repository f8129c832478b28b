// What zrt-send's and zrt-serve's command lines share: the options that
// name the link to the instrument (--port PATH, --usb, --simulate, --baud N,
// --address N), the limits its lines are held within (--limits FILE),
// --help and --version, each with one help text, and the reading of the
// arguments one at a time.
#pragma once

#include <QString>
#include <QStringList>
#include <chrono>
#include <optional>

#include "guard/limits.h"

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
  guard::Limits limits;  // read from --limits FILE; none by default
};

// The exit statuses of zrt-send and zrt-serve, as their help texts and man
// pages give them: one table, so that a status means the same from both.
enum ExitStatus {
  kSent = 0,        // zrt-send: every line sent and answered
  kStopped = 0,     // zrt-serve: ended by SIGINT or SIGTERM
  kUnanswered = 1,  // a reply missing, or an expect missed
  kUsage = 2,
  kCannotOpen = 3,
  kGone = 4,         // the device went away
  kHeldTooLong = 5,  // the instrument held output back past the hold limit
  kCannotListen = 6,
};

// What the arguments ask for when it is not to run: a text to print and
// the status to exit with (help and version: 0; a usage error: 2).
struct Exit {
  int status;
  QString text;
};

// A program's arguments, read one at a time after the program's name.
class OptionReader {
 public:
  // `program` names it in usage errors; `help` and `version` are what
  // --help and --version print.
  OptionReader(const QStringList& arguments, QString program, QString help, QString version);

  // Moves to the next argument; false when there is none.
  bool Next();
  const QString& Argument() const { return arguments_[i_]; }
  // The value that follows the option, taken, or nothing when none does.
  std::optional<QString> Value();
  // When the argument is one of the shared options, takes it (with its
  // value) into `link` and says true; `exit` is then set when the program
  // is to exit instead: --help, --version, or a value missing or refused.
  bool TakeShared(LinkChoice& link, std::optional<Exit>& exit);
  // A usage error: the problem, and where to look.
  Exit Usage(const QString& problem) const;

 private:
  const QStringList& arguments_;
  QString program_;
  QString help_;
  QString version_;
  int i_ = 0;
};

// What is wrong with the link the options name, if anything.
std::optional<QString> LinkProblem(const LinkChoice& choice);

}  // namespace zrt::cli
