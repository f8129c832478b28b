#include "sim/instrument_model.h"

#include <cctype>
#include <optional>
#include <string>

#include "settings/line_reading.h"

namespace zrt::sim {
namespace {

// The name a value is kept under, and the value it sets (none for a
// question or a line without one); nothing for a line that is not read.
struct Named {
  std::string name;
  std::optional<std::string> value;
  bool query = false;
};

std::optional<Named> NameLine(std::string_view line) {
  const auto reading = settings::ReadLine(line);
  if (!reading) return std::nullopt;
  Named named{reading->function + reading->item, std::nullopt, reading->query};
  if (reading->value) named.value = reading->value->text;
  return named;
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
  if (line.empty()) return "OK\n";
  const auto read = NameLine(line);
  if (!read) return "ERROR\n";
  const Named& named = *read;
  if (named.query) {
    if (silent_.contains(named.name)) return {};
    const auto kept = kept_.find(named.name);
    if (kept != kept_.end()) return kept->second + "\n";
    const auto found = values_.find(named.name);
    return (found == values_.end() ? std::string("0") : found->second) + "\n";
  }
  if (named.value && refused_.contains(named.name)) return "ERROR\n";
  if (named.value) values_.insert_or_assign(named.name, *named.value);
  if (named.value && muted_.contains(named.name)) return {};
  return "OK\n";
}

void InstrumentModel::Keep(std::string_view line) {
  if (auto named = NameLine(line); named && named->value) {
    kept_.insert_or_assign(std::move(named->name), std::move(*named->value));
  }
}

void InstrumentModel::Silence(std::string_view line) {
  if (auto named = NameLine(line)) silent_.insert(std::move(named->name));
}

void InstrumentModel::Refuse(std::string_view line) {
  if (auto named = NameLine(line)) refused_.insert(std::move(named->name));
}

void InstrumentModel::Mute(std::string_view line) {
  if (auto named = NameLine(line)) muted_.insert(std::move(named->name));
}

}  // namespace zrt::sim
