#include "guard/limits.h"

#include <array>
#include <cmath>

#include "settings/ini_text.h"
#include "settings/numbers.h"

namespace zrt::guard {

namespace {

struct LimitKey {
  std::string_view name;
  std::optional<double> ChannelLimits::*field;
};
constexpr std::array kLimitKeys{
    LimitKey{"max_frequency_hz", &ChannelLimits::maxFrequencyHz},
    LimitKey{"max_amplitude_vpp", &ChannelLimits::maxAmplitudeVpp},
    LimitKey{"min_offset_v", &ChannelLimits::minOffsetV},
    LimitKey{"max_offset_v", &ChannelLimits::maxOffsetV},
};

}  // namespace

std::variant<Limits, std::string> ReadLimits(std::string_view text) {
  const auto read = settings::ReadIni(text);
  if (const auto* why = std::get_if<std::string>(&read)) return *why;
  Limits limits;
  for (const settings::IniEntry& entry : std::get<std::vector<settings::IniEntry>>(read)) {
    const auto refuse = [&entry](const std::string& why) {
      return "line " + std::to_string(entry.line) + ": " + why;
    };
    ChannelLimits* section = nullptr;
    if (entry.section == "A" || entry.section == "a") section = &limits.a;
    if (entry.section == "B" || entry.section == "b") section = &limits.b;
    if (entry.key.empty()) {
      if (!section) return refuse("a section is [A] or [B]");
      continue;
    }
    if (!section) return refuse("a key stands under [A] or [B]");
    const std::string_view key = entry.key;
    const std::string_view value = entry.value;
    const LimitKey* found = nullptr;
    for (const LimitKey& limitKey : kLimitKeys) {
      if (limitKey.name == key) found = &limitKey;
    }
    // Built by appending: MinGW's GCC warns falsely of a literal added to a string.
    std::string why = "unknown key '";
    if (!found) {
      why.append(key).append("' (max_frequency_hz, max_amplitude_vpp, min_offset_v, max_offset_v)");
      return refuse(why);
    }
    const auto parsed = settings::ScanNumber(value);
    if (!parsed || parsed->length != value.size()) {
      why.assign(1, '\'').append(value).append("' is not a number");
      return refuse(why);
    }
    section->*(found->field) = parsed->value;
  }
  for (const auto& [name, channel] : {std::pair{"A", &limits.a}, std::pair{"B", &limits.b}}) {
    if (channel->minOffsetV && channel->maxOffsetV && *channel->minOffsetV > *channel->maxOffsetV) {
      std::string why = "[";
      return why.append(name).append("]: min_offset_v is above max_offset_v");
    }
  }
  // An empty file is more likely a mistake than a wish for no limits.
  if (!limits.Any()) {
    return "no limit is set (max_frequency_hz, max_amplitude_vpp, min_offset_v, max_offset_v "
           "under [A] or [B])";
  }
  return limits;
}

std::string WriteLimits(const Limits& limits) {
  std::string text;
  for (const auto& [name, channel] : {std::pair{"A", &limits.a}, std::pair{"B", &limits.b}}) {
    text += std::string("[") + name + "]\n";
    for (const LimitKey& key : kLimitKeys) {
      if (const auto& value = channel->*(key.field)) {
        text += std::string(key.name) + " = " + settings::WriteNumber(*value).value_or("0") + "\n";
      }
    }
  }
  return text;
}

}  // namespace zrt::guard
