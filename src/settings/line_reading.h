// What a command line says of the instrument's settings, read the ways the
// instrument takes it: as the keys compose it ("88CHA:AFREQ1000Hz", the
// address written out or as its byte) or as typed ("CHA:AFREQ:1000HZ",
// "CHA:AFREQ 1000HZ", "cha:afreq 1khz"). A line is read whole or not at
// all: an optional address, a function and one of its items by their
// mnemonics (colons and blanks between them do not count), and then
// nothing, a "?" asking for the item's value, or a value: a number with an
// optional sign and point, of at most kMostDigits digits, and a unit of
// the item's unit group. Blanks around the line and a line end after it do
// not count; anything else left over, inside or after it, leaves the line
// unread. The limits and the simulated instrument both read lines here, so
// a line the limits cannot read is one the instrument refuses.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "settings/numbers.h"  // kMostDigits: more is no number a limit could be checked against

namespace zrt::settings {

// A value as written, and what it comes to in its group's base unit.
struct Value {
  std::string text;   // "1000Hz": the number and the unit as they stood
  std::string unit;   // the unit key's own spelling, "Hz"; empty: none written
  double number = 0;  // in the base unit: 1000 for "1kHz"
};

struct LineReading {
  std::string function;        // mnemonic, upper case: "CHA"
  std::string item;            // "AFREQ"
  int itemCode = 0;            // the item key's code (of those sharing the mnemonic,
                               // the one the function offers)
  bool query = false;          // the line asks for the value
  std::optional<Value> value;  // a setting; none for a query or a command
};

// Where a line stopped being readable: the rest of it from there, as it
// stood ("e7Hz" of "CHA:AFREQ:2e7Hz"; the whole line when nothing of it
// could be read).
struct Unread {
  std::string from;
};

// The line's reading, or where it could not be read.
std::variant<LineReading, Unread> ReadWhole(std::string_view line);

// The line's reading, or nothing for a line that cannot be read whole.
std::optional<LineReading> ReadLine(std::string_view line);

// A reply's value for an item: the number and unit alone ("1000HZ"), or a
// whole line that names the item; blanks, CR and LF around it do not count.
std::optional<Value> ReadValue(int itemCode, std::string_view reply);

}  // namespace zrt::settings
