// A stand-in for the instrument's command interpreter, small enough to be
// read at a glance. It is not a model of the firmware: it only lets the
// panel be tried and tested without hardware.
//
// A frame is an optional address (the address byte, or on USB the address
// written out), the line, and a line feed. The line is read as the panel
// reads it (settings::ReadLine: an address, a function and an item by
// their mnemonics, then nothing, "?" or a value with a unit of the item's):
//   a line ending in "?"          asks for the value last set for its item
//                                 ("CHA:AFREQ?"); the answer is that value
//                                 as it was written, or "0" when none was
//                                 set, and a line feed;
//   a line with a value           stores the value under its function and
//                                 item, however the value is attached:
//                                 "CHA:AFREQ:1000HZ", "CHA:AFREQ 1000HZ" and
//                                 "CHA:AFREQ1000Hz" (as the keys compose it)
//                                 all set "CHA:AFREQ"; answered "OK" and a
//                                 line feed;
//   a line without either         ("ASWP:TRIGG") is answered "OK", and so
//                                 is an empty one;
//   a line that cannot be read    is answered "ERROR" and changes nothing.
//
// For tests, an item may keep a value of its own whatever is set (as an
// instrument keeps one out of its range), may be silent when asked, and
// may refuse a setting (answered "ERROR", not taken) or take one without a
// word.
#pragma once

#include <cstdint>
#include <map>
#include <set>
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

  // The item that `line` sets ("CHA:AFREQ:5000HZ") keeps that value from
  // now on, acknowledging other values without taking them.
  void Keep(std::string_view line);
  // The item that `line` names ("CHA:AFREQ") answers no question.
  void Silence(std::string_view line);
  // The item that `line` names answers every setting "ERROR" and keeps
  // what it had.
  void Refuse(std::string_view line);
  // The item that `line` names takes every setting and answers nothing.
  void Mute(std::string_view line);

 private:
  char addressByte_;
  std::string addressText_;
  std::map<std::string, std::string, std::less<>> values_;
  std::map<std::string, std::string, std::less<>> kept_;
  std::set<std::string, std::less<>> silent_;
  std::set<std::string, std::less<>> refused_;
  std::set<std::string, std::less<>> muted_;
};

}  // namespace zrt::sim
