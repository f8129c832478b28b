// A sequence file: the command lines to send, one a line, with pauses,
// replies to wait for, repeated blocks and named values. Reading a file
// expands it whole (every repeat and every loop written out, every ${NAME}
// filled in) into the steps a run takes, so that a file with any fault is
// refused before its first line is sent.
//
//   # a comment                 blank lines are ignored
//   CHA:AFREQ:${F}HZ  # note    a command line, as typed into the window; a #
//                               after a blank begins a comment (\# is a #)
//   send wait                   a command line that begins with a keyword
//   wait 500ms | wait 2s        a pause
//   expect TEXT | expect /RE/   a reply containing TEXT, or matching RE
//   timeout 3s                  how long a reply or an expect is waited for (2 s)
//   repeat N ... end            a block N times
//   for NAME in A B C ... end   a block once for each value, NAME set to it
//   set NAME VALUE              a named value for ${NAME} in later lines
//
// A line whose first word is in lower case and within two edits of a
// keyword ("wiat") is refused as a typo rather than sent: write "send" in
// front of a line meant as it is. A line with a character the instrument
// has no byte for is refused too.
#pragma once

#include <QIODevice>
#include <QString>
#include <chrono>
#include <optional>
#include <variant>
#include <vector>

namespace zrt::sequence {

inline constexpr std::chrono::milliseconds kDefaultTimeout{2000};
inline constexpr int kMaxDepth = 16;        // blocks inside blocks
inline constexpr int kMaxSteps = 100000;    // steps once expanded
inline constexpr int kMaxRepeat = 1000000;  // times a block repeats
inline constexpr std::chrono::hours kLongestDuration{24};
inline constexpr int kLongestLine = 65536;            // characters, once names are filled in
inline constexpr qsizetype kMaxCharacters = 4 << 20;  // in all the statements written out
inline constexpr qint64 kMaxFileBytes = 8 << 20;      // a file larger is refused unread

struct Step {
  enum class Kind { Send, Wait, Expect };
  Kind kind = Kind::Send;
  QString text;          // Send: the line; Expect: the text or the pattern
  bool pattern = false;  // Expect: text is a regular expression
  // Wait: the pause; Expect: how long it waits; Send: how long the reply
  // may take to begin.
  std::chrono::milliseconds duration{0};
  int line = 0;  // in the file, from 1
};

// What was expected where the file went wrong.
enum class Problem {
  Duration,         // a duration such as 500ms or 2s
  Count,            // a whole number of times
  ExpectText,       // the text or /pattern/ to wait for
  Pattern,          // a pattern that compiles; detail: why it does not
  Name,             // a name
  Value,            // a value after the name
  In,               // "in" and the values
  Values,           // at least one value after "in"
  EndWithoutBlock,  // "end" closes nothing
  MissingEnd,       // detail: the block's keyword; blockLine: where it opened
  TooDeep,          // blocks nest deeper than kMaxDepth
  Unset,            // detail: the name used before it was set
  Brace,            // "}" to close "${"
  TooManySteps,     // the expanded sequence is longer than kMaxSteps
  NothingAfterEnd,  // words after "end"
  NotText,          // the file is not UTF-8 text
  TooLong,          // a line longer than kLongestLine once names are filled in
  TooBig,           // more than kMaxCharacters written out in all
  FileTooLarge,     // the file is larger than kMaxFileBytes
  Typo,             // detail: the keyword the first word is close to
  NoByte,           // detail: the character the instrument has no byte for
  SendWhat,         // the line after "send"
  ExpectFirst,      // an expect with no line before it to answer
  Count_,
};

struct ParseError {
  QString file;
  int line = 0;    // from 1
  int column = 0;  // from 1, in characters
  Problem problem = Problem::Duration;
  QString detail;
  int blockLine = 0;
};

// "FILE:LINE:COLUMN: " and what was expected, in the language of that
// index (0 English, 1 simplified, 2 traditional Chinese).
QString Describe(const ParseError& error, int language = 0);

using Parsed = std::variant<std::vector<Step>, ParseError>;

// A duration as a file writes it: "500ms", "2s", "1.5s"; at most a day.
std::optional<std::chrono::milliseconds> DurationOf(const QString& text);

// Expands the text of a sequence file named `file` (for the messages);
// `timeout` stands until the file's first "timeout".
Parsed Parse(const QString& text, const QString& file,
             std::chrono::milliseconds timeout = kDefaultTimeout);
// The same from the file's bytes, which must be UTF-8.
Parsed ParseBytes(const QByteArray& bytes, const QString& file,
                  std::chrono::milliseconds timeout = kDefaultTimeout);
// The same from an open file or stream, of which no more than
// kMaxFileBytes is read: a larger one is refused before it is read whole.
Parsed ParseDevice(QIODevice& device, const QString& file,
                   std::chrono::milliseconds timeout = kDefaultTimeout);

}  // namespace zrt::sequence
