#include "sim/instrument_model.h"

#include <cctype>

namespace zrt::sim {
namespace {

// The name a value is kept under: letters and digits in upper case, without
// the colons and blanks between its words.
std::string NameOf(std::string_view words) {
  std::string name;
  for (char c : words) {
    if (c != ':' && c != ' ')
      name += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return name;
}

bool StartsValue(char c) {
  return std::isdigit(static_cast<unsigned char>(c)) || c == '.' || c == '+' || c == '-';
}

}  // namespace

InstrumentModel::InstrumentModel(int address)
    : addressByte_(static_cast<char>(address & 0xFF)), addressText_(std::to_string(address)) {}

std::string_view InstrumentModel::LineOf(std::string_view frame) const {
  if (!frame.empty() && frame.front() == addressByte_) return frame.substr(1);
  // Over USB the address comes as it was typed.
  if (frame.starts_with(addressText_) && frame.size() > addressText_.size() &&
      std::isalpha(static_cast<unsigned char>(frame[addressText_.size()]))) {
    return frame.substr(addressText_.size());
  }
  return frame;
}

std::string InstrumentModel::Answer(std::string_view frame) {
  const std::string_view line = LineOf(frame);
  if (line.ends_with('?')) {
    const auto found = values_.find(NameOf(line.substr(0, line.size() - 1)));
    return (found == values_.end() ? std::string("0") : found->second) + "\n";
  }
  for (std::size_t at = 1; at < line.size(); ++at) {
    if (!StartsValue(line[at])) continue;
    if (std::string name = NameOf(line.substr(0, at)); !name.empty()) {
      values_.insert_or_assign(std::move(name), std::string(line.substr(at)));
    }
    break;
  }
  return "OK\n";
}

}  // namespace zrt::sim
