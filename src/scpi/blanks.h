// The blanks SCPI allows around headers and parameters (IEEE 488.2's
// white space, and a CR before a line feed).
#pragma once

#include <string_view>

namespace zrt::scpi {

inline bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

inline std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace zrt::scpi
