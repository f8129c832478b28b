// A stand-in for the instrument's command interpreter, small enough to be
// read at a glance. It is not a model of the firmware: it only lets the
// panel be tried and tested without hardware.
//
// A frame is an optional address (the address byte, or on USB the address
// written out), the line, and a line feed. The line is read as words
// separated by colons:
//   a line ending in "?"          asks for the value last set for its words
//                                 ("CHA:AFREQ?"); the answer is that value,
//                                 or "0" when none was set, and a line feed;
//   a line whose last word starts a value is stored under the words before it
//   with a digit, "." or "-"      ("CHA:AFREQ:1000HZ" keeps "1000HZ" for
//                                 "CHA:AFREQ") and answered "OK" and a line feed;
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
