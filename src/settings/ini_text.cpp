#include "settings/ini_text.h"

namespace zrt::settings {
namespace {

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
    text.remove_suffix(1);
  }
  return text;
}

}  // namespace

std::variant<std::vector<IniEntry>, std::string> ReadIni(std::string_view text) {
  std::vector<IniEntry> entries;
  std::string section;
  int number = 0;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = Trim(text.substr(start, end - start));
    start = end + 1;
    ++number;
    const std::string where = "line " + std::to_string(number) + ": ";
    if (line.empty() || line.front() == ';' || line.front() == '#') continue;
    if (line.front() == '[') {
      if (line.back() != ']') return where + "a section is [NAME]";
      section = std::string(Trim(line.substr(1, line.size() - 2)));
      entries.push_back({section, {}, {}, number});
      continue;
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) return where + "expected KEY = VALUE";
    entries.push_back({section, std::string(Trim(line.substr(0, equals))),
                       std::string(Trim(line.substr(equals + 1))), number});
  }
  return entries;
}

}  // namespace zrt::settings
