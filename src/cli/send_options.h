// zrt-send's command line.
#pragma once

#include <QString>
#include <QStringList>
#include <chrono>
#include <optional>

#include "cli/link_options.h"

namespace zrt::cli {

enum class ReplyFormat { Text, Raw, Hex, Json };

struct SendOptions {
  LinkChoice link;  // its hold limit ends the run when it is passed
  std::chrono::milliseconds timeout{2000};
  ReplyFormat format = ReplyFormat::Text;
  QString file;            // a sequence file
  bool stdinFile = false;  // "-": the sequence comes on standard input
  QStringList lines;       // command lines given as arguments
  bool readBack = false;   // ask for the settings instead
};

// What the arguments ask for: options to send with, or a text to print
// and the status to exit with.
std::variant<SendOptions, Exit> ParseSendOptions(const QStringList& arguments);

// Puts standard output in binary mode where the system has a text mode
// (Windows), so that the replies' bytes go out as they came.
void SetBinaryOutput();

}  // namespace zrt::cli
