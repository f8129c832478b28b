// What the instrument is set to, as far as the lines sent to it and its
// replies tell: per function and item, the value last set and whether the
// instrument acknowledged it, and the value last read back and when. Plain
// code: the window, the shared socket, zrt-send and the simulated
// instrument read lines the same way through it.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/line_reading.h"

namespace zrt::settings {

enum class Source {
  Unknown,         // never set nor read back
  Acknowledged,    // set by a line the instrument acknowledged
  Unacknowledged,  // set by a line it did not acknowledge
  ReadBack,        // read back from the instrument
};

struct Setting {
  std::string function;  // "CHA"
  std::string item;      // "AFREQ"
  int itemCode = 0;
  std::optional<Value> set;  // the value last sent
  bool acknowledged = false;
  bool answered = false;      // the reply to the line that set it has ended
  std::optional<Value> read;  // the value last read back
  std::chrono::system_clock::time_point readAt;
  bool readLast = false;    // the read back came after the value was set
  bool unanswered = false;  // the last query had no answer
  bool stale = false;       // known before the link changed: kept, but no longer counted
  std::chrono::system_clock::time_point staleSince;
  unsigned long changed = 0;  // when it last changed, in the model's count of changes

  Source From() const;
  // The value the instrument has, as last known.
  const Value* Current() const;
  // The same, while it still counts: nullptr once stale.
  const Value* Fresh() const { return stale ? nullptr : Current(); }
  // Read back after it was set, and not what was set.
  bool Disagrees() const;
  // The instrument answered the line that set it with anything but OK, or
  // not at all, and nothing was read back since.
  bool NotTaken() const { return set && answered && !acknowledged && !readLast; }
};

// The pseudo-item a waveform's command is kept under.
inline constexpr std::string_view kShapeItem = "SHAPE";

// Whether a reply acknowledges a setting ("OK", as the instrument answers).
bool Acknowledges(std::string_view reply);

class InstrumentSettings {
 public:
  // A line that went out and what came back to it (empty: nothing): a
  // setting is recorded as set, a query's answer as read back at `at`,
  // and a waveform's own command ("CHB:BTRIG") as the function's "SHAPE"
  // with that mnemonic for its value. Other lines change nothing. Returns
  // whether anything changed.
  bool RecordReply(std::string_view line, std::string_view reply,
                   std::chrono::system_clock::time_point at = std::chrono::system_clock::now());
  // A line on its way out, before any reply: a setting it makes is
  // recorded as set, not yet acknowledged (RecordReply follows with the reply).
  bool RecordSent(std::string_view line);
  // A value set, acknowledged or not.
  void Set(const LineReading& reading, bool acknowledged);

  // The item's setting, or nullptr when nothing is known of it.
  const Setting* Find(std::string_view function, std::string_view item) const;
  // Every item known, in the order they became known.
  const std::vector<Setting>& All() const { return settings_; }
  void Clear() { settings_.clear(); }
  // The link now reaches what may be another instrument, or one changed
  // meanwhile: every value is stale until set or read back again.
  void MarkStale(std::chrono::system_clock::time_point at = std::chrono::system_clock::now());

 private:
  Setting& Entry(const LineReading& reading);
  std::vector<Setting> settings_;
  unsigned long changes_ = 0;
};

}  // namespace zrt::settings
