// A SCPI program message (IEEE 488.2, SCPI-99) cut into its program units:
// "SOUR2:FREQ 1000;VOLT 2" is two, the second's header completed by the
// path rule ("SOUR2:VOLT"). Only cutting and the path rule happen here;
// what a header means is the command table's.
#pragma once

#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace zrt::scpi {

// An error of SCPI's error queue: its number and its text.
struct Error {
  int code;
  std::string text;
  bool operator==(const Error&) const = default;
};

// One command or query of a message.
struct ProgramUnit {
  // The header's nodes as written ("SOUR2", "FREQ"), or one node for a
  // common command ("*IDN").
  std::vector<std::string> nodes;
  bool common = false;
  bool query = false;
  std::string parameters;  // as written after the header, blanks trimmed
  bool operator==(const ProgramUnit&) const = default;
};

// The units of `message` in order, an error in the place of a unit that
// cannot be cut (and the units after it dropped, as a parser that stops at
// a syntax error does). A message ends at its end or a line feed.
std::vector<std::variant<ProgramUnit, Error>> CutMessage(std::string_view message);

}  // namespace zrt::scpi
