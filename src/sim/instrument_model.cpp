#include "sim/instrument_model.h"

#include <cctype>

namespace zrt::sim {

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
    const auto found = values_.find(line.substr(0, line.size() - 1));
    return (found == values_.end() ? std::string("0") : found->second) + "\n";
  }
  const std::size_t colon = line.rfind(':');
  if (colon != std::string_view::npos && colon + 1 < line.size()) {
    const char first = line[colon + 1];
    if (std::isdigit(static_cast<unsigned char>(first)) || first == '.' || first == '-') {
      values_.insert_or_assign(std::string(line.substr(0, colon)),
                               std::string(line.substr(colon + 1)));
    }
  }
  return "OK\n";
}

}  // namespace zrt::sim
