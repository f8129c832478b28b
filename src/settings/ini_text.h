// The INI text that limits files and the servers' configuration files are
// written in: [SECTION] lines, KEY = VALUE lines under them, blank lines
// and comments (a line beginning with ';' or '#').
#pragma once

#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace zrt::settings {

struct IniEntry {
  std::string section;  // as written between the brackets; empty before the first
  std::string key;      // empty for the [SECTION] line itself
  std::string value;
  int line;  // from 1
};

// The entries in order, or "line N: why" for a line that is none of these.
std::variant<std::vector<IniEntry>, std::string> ReadIni(std::string_view text);

}  // namespace zrt::settings
