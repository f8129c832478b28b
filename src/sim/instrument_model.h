// A stand-in for the instrument's command interpreter, small enough to be
// read at a glance. It is not a model of the firmware: it only lets the
// panel be tried and tested without hardware.
//
// A frame is an optional address (the address byte, or on USB the address
// written out), the line, and a line feed. A line names a channel or
// function and an item, in letters (colons and blanks between them do not
// count, nor does letter case), and may carry a value:
//   a line ending in "?"          asks for the value last set for its name
//                                 ("CHA:AFREQ?"); the answer is that value,
//                                 or "0" when none was set, and a line feed;
//   a line with a value           stores the value, from its first digit,
//                                 ".", "+" or "-" to the end, under the name
//                                 before it, however the value is attached:
//                                 "CHA:AFREQ:1000HZ", "CHA:AFREQ 1000HZ" and
//                                 "CHA:AFREQ1000Hz" (as the keys compose it)
//                                 all set "CHA:AFREQ"; answered "OK" and a
//                                 line feed;
//   any other line                is answered "OK" and a line feed.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace zrt::sim {

class InstrumentModel {
 public:
  // The instrument's address, 88 unless set otherwise.
  explicit InstrumentModel(int address = 88);

  // The answer to one frame's bytes (the line feed taken off).
  std::string Answer(std::string_view frame);

  // The line of a frame: without its address, if it has one.
  std::string_view LineOf(std::string_view frame) const;

 private:
  char addressByte_;
  std::string addressText_;
  std::map<std::string, std::string, std::less<>> values_;
};

}  // namespace zrt::sim
