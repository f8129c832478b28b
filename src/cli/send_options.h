// zrt-send's command line.
#pragma once

#include <QString>
#include <QStringList>
#include <chrono>
#include <optional>

namespace zrt::cli {

enum class ReplyFormat { Escaped, Raw, Hex, Json };

struct SendOptions {
  QString port;  // a serial port's path
  bool usb = false;
  bool simulate = false;  // the simulated instrument instead of a device
  QString baud = "19200";
  QString address = "88";
  std::chrono::milliseconds timeout{2000};
  ReplyFormat format = ReplyFormat::Escaped;
  QString file;            // a sequence file
  bool stdinFile = false;  // "-": the sequence comes on standard input
  QStringList lines;       // command lines given as arguments
};

// What the arguments ask for: options to send with, or a text to print
// and the status to exit with (help: 0; a usage error: 2).
struct Exit {
  int status;
  QString text;
};
std::variant<SendOptions, Exit> ParseSendOptions(const QStringList& arguments);

extern const char* const kSendHelp;

}  // namespace zrt::cli
