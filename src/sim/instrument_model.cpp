#include "sim/instrument_model.h"

#include <cctype>
#include <optional>

#include "settings/line_reading.h"

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

// The name a line's value is kept under, and the value it sets (none for a
// question or a line without one).
struct Named {
  std::string name;
  std::optional<std::string> value;
  bool query = false;
};

Named NameLine(std::string_view line) {
  if (const auto reading = settings::ReadLine(line)) {
    Named named{reading->function + reading->item, std::nullopt, reading->query};
    if (reading->value) named.value = reading->value->text;
    return named;
  }
  if (line.ends_with('?')) return {NameOf(line.substr(0, line.size() - 1)), std::nullopt, true};
  for (std::size_t at = 1; at < line.size(); ++at) {
    if (StartsValue(line[at])) return {NameOf(line.substr(0, at)), std::string(line.substr(at))};
  }
  return {NameOf(line), std::nullopt};
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
  const Named named = NameLine(LineOf(frame));
  if (named.query) {
    if (silent_.contains(named.name)) return {};
    const auto kept = kept_.find(named.name);
    if (kept != kept_.end()) return kept->second + "\n";
    const auto found = values_.find(named.name);
    return (found == values_.end() ? std::string("0") : found->second) + "\n";
  }
  if (named.value && !named.name.empty()) values_.insert_or_assign(named.name, *named.value);
  return "OK\n";
}

void InstrumentModel::Keep(std::string_view line) {
  Named named = NameLine(line);
  if (named.value) kept_.insert_or_assign(std::move(named.name), std::move(*named.value));
}

void InstrumentModel::Silence(std::string_view line) { silent_.insert(NameLine(line).name); }

}  // namespace zrt::sim
