// How zrt-send prints a line's reply on standard output.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include "cli/send_options.h"

namespace zrt::cli {

struct Exchange {
  QDateTime time;   // when the reply ended
  QString line;     // as given
  QByteArray sent;  // the frame on the wire
  QByteArray reply;
  bool answered = false;  // false: no reply came within the timeout
};

// The bytes to write for one exchange: one line of text (escaped, hex or a
// JSON object), or the reply's own bytes for ReplyFormat::Raw.
QByteArray Format(ReplyFormat format, const Exchange& exchange);

}  // namespace zrt::cli
