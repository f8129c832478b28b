// What a command line says of the instrument's settings, read the ways the
// instrument takes it: as the keys compose it ("88CHA:AFREQ1000Hz", the
// address written out or as its byte) or as typed ("CHA:AFREQ:1000HZ",
// "CHA:AFREQ 1000HZ", "cha:afreq 1khz"). A line names a function and one of
// its items by their mnemonics (colons and blanks between them do not
// count), and either asks for the item's value ("?") or may give it a value:
// a number with an optional sign and point, and a unit of the item's unit
// group. Anything else is no setting and is read as nothing.
#pragma once

#include <optional>
#include <string>
#include <string_view>

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

// The line's reading, or nothing for a line that names no function and item
// or whose value is not one the item takes.
std::optional<LineReading> ReadLine(std::string_view line);

// A reply's value for an item: the number and unit alone ("1000HZ"), or a
// whole line that names the item; blanks, CR and LF around it do not count.
std::optional<Value> ReadValue(int itemCode, std::string_view reply);

}  // namespace zrt::settings
