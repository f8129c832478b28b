// How zrt-send prints a line's reply on standard output.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <chrono>
#include <vector>

#include "cli/send_options.h"

namespace zrt::cli {

struct ExpectResult {
  QString pattern;  // as the file wrote it: the text, or /the pattern/
  bool met = false;
};

struct Exchange {
  QDateTime time;   // when the reply ended
  QString line;     // as given
  QByteArray sent;  // the frame on the wire
  QByteArray reply;
  bool answered = false;              // false: no reply came within the timeout
  std::vector<ExpectResult> expects;  // checked after the reply
};

// The bytes to write for one exchange: one line of text (the reply as a
// shell's $(...) wants it, hex, or a JSON object), or the reply's own bytes
// for ReplyFormat::Raw.
QByteArray Format(ReplyFormat format, const Exchange& exchange);

// The reply for a shell: its final line end (LF, or CR LF) dropped, other
// control bytes written as \n, \r, \t or \xNN, every other byte as the
// character of that value in UTF-8.
QByteArray ForShell(QByteArrayView reply);

// One item read back: "CHA:AFREQ 1000HZ" ("CHA:AFREQ (no reply)"), or a
// JSON object with its function, item, reply (its final line end dropped),
// whether it answered, and its number in the base unit and that unit (null
// when the reply is no value of the item's).
QByteArray FormatReadBack(ReplyFormat format, const QString& function, const QString& item,
                          const QByteArray& reply);

// A run's summary: one line of text, or a last JSON object.
QByteArray FormatSummary(ReplyFormat format, int lines, int replies, int met, int missed,
                         std::chrono::milliseconds took);

}  // namespace zrt::cli
