#include "settings/limits.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "settings/ini_text.h"
#include "settings/units.h"

namespace zrt::settings {
namespace {

enum class Kind { Frequency, Period, Amplitude, AmplitudeRms, Offset };

struct LimitedItem {
  std::string_view item;
  Kind kind;
  char channel;  // the channel the item names; 0: its function's
};

// The items that set an output's frequency, amplitude or offset.
constexpr std::array kLimitedItems{
    LimitedItem{"AFREQ", Kind::Frequency, 'A'}, LimitedItem{"BFREQ", Kind::Frequency, 'B'},
    LimitedItem{"STARF", Kind::Frequency, 0},   LimitedItem{"STOPF", Kind::Frequency, 0},
    LimitedItem{"CARRF", Kind::Frequency, 0},   LimitedItem{"HOPF", Kind::Frequency, 0},
    LimitedItem{"APERD", Kind::Period, 'A'},    LimitedItem{"BPERD", Kind::Period, 'B'},
    LimitedItem{"VPP", Kind::Amplitude, 0},     LimitedItem{"STARA", Kind::Amplitude, 0},
    LimitedItem{"STOPA", Kind::Amplitude, 0},   LimitedItem{"AAMPL", Kind::Amplitude, 'A'},
    LimitedItem{"CARRA", Kind::Amplitude, 0},   LimitedItem{"HOPA", Kind::Amplitude, 0},
    LimitedItem{"VRMS", Kind::AmplitudeRms, 0}, LimitedItem{"AOFFS", Kind::Offset, 'A'},
};

const LimitedItem* Limited(std::string_view item) {
  for (const LimitedItem& limited : kLimitedItems) {
    if (limited.item == item) return &limited;
  }
  return nullptr;
}

// The channel a function drives; 0 for those that drive neither output.
char ChannelOf(std::string_view function) {
  if (function == "CHB" || function == "BBURST") return 'B';
  if (function == "TTL" || function == "COUNT" || function == "SYS") return 0;
  return 'A';
}

char ChannelOf(const LimitedItem& limited, std::string_view function) {
  return limited.channel ? limited.channel : ChannelOf(function);
}

bool IsAmplitude(Kind kind) { return kind == Kind::Amplitude || kind == Kind::AmplitudeRms; }

// The channel's amplitude (in Vpp) or offset as last set or read back by
// any of its items, under any function.
std::optional<double> LastOf(const InstrumentSettings& known, char channel, bool amplitude) {
  const Setting* latest = nullptr;
  for (const Setting& setting : known.All()) {
    const LimitedItem* limited = Limited(setting.item);
    if (!limited || !setting.Fresh() || ChannelOf(*limited, setting.function) != channel) {
      continue;
    }
    const bool counts = amplitude ? IsAmplitude(limited->kind) : limited->kind == Kind::Offset;
    if (counts && (!latest || setting.changed > latest->changed)) latest = &setting;
  }
  if (!latest) return std::nullopt;
  const double number = latest->Fresh()->number;
  return Limited(latest->item)->kind == Kind::AmplitudeRms ? number * kPeakToPeakPerRms : number;
}

std::optional<LimitBreach> Band(const ChannelLimits& limits, double offset, double amplitude) {
  const double high = offset + std::fabs(amplitude) / 2;
  const double low = offset - std::fabs(amplitude) / 2;
  if (limits.maxOffsetV && high > *limits.maxOffsetV) {
    return LimitBreach{{}, 0, Limit::MaxOffset, *limits.maxOffsetV, high, {}};
  }
  if (limits.minOffsetV && low < *limits.minOffsetV) {
    return LimitBreach{{}, 0, Limit::MinOffset, *limits.minOffsetV, low, {}};
  }
  return std::nullopt;
}

LimitBreach UnknownValue(std::string_view item) {
  return LimitBreach{{}, 0, Limit::Unknown, 0, 0, std::string("CHA:").append(item)};
}

std::optional<LimitBreach> CheckChannel(const ChannelLimits& limits, char channel, Kind kind,
                                        double number, const InstrumentSettings& known) {
  const bool banded = limits.minOffsetV || limits.maxOffsetV;
  switch (kind) {
    case Kind::Period:
      if (number == 0) return std::nullopt;
      number = 1 / std::fabs(number);
      [[fallthrough]];
    case Kind::Frequency:
      if (limits.maxFrequencyHz && std::fabs(number) > *limits.maxFrequencyHz) {
        return LimitBreach{{}, 0, Limit::MaxFrequency, *limits.maxFrequencyHz, std::fabs(number),
                           {}};
      }
      return std::nullopt;
    case Kind::AmplitudeRms:
      number *= kPeakToPeakPerRms;
      [[fallthrough]];
    case Kind::Amplitude: {
      if (limits.maxAmplitudeVpp && std::fabs(number) > *limits.maxAmplitudeVpp) {
        return LimitBreach{{}, 0, Limit::MaxAmplitude, *limits.maxAmplitudeVpp, std::fabs(number),
                           {}};
      }
      if (!banded) return std::nullopt;
      // Channel B has no offset of its own.
      const auto offset = channel == 'B' ? std::optional(0.0) : LastOf(known, channel, false);
      if (!offset) return UnknownValue("AOFFS");
      return Band(limits, *offset, number);
    }
    case Kind::Offset: {
      if (!banded) return std::nullopt;
      const auto amplitude = LastOf(known, channel, true);
      if (!amplitude) return UnknownValue("VPP");
      return Band(limits, number, *amplitude);
    }
  }
  return std::nullopt;
}

// Of the lines that cannot be read, only a question without a number
// cannot set anything, however the instrument reads it.
bool OnlyAsks(std::string_view line) {
  std::size_t at = 0;
  while (at < line.size() && line[at] >= '0' && line[at] <= '9') ++at;  // the address
  const std::string_view rest = line.substr(at);
  return rest.ends_with('?') &&
         std::ranges::none_of(rest, [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

std::optional<LimitBreach> Check(const Limits& limits, std::string_view line,
                                 const InstrumentSettings& known) {
  if (!limits.Any()) return std::nullopt;
  auto read = ReadWhole(line);
  if (auto* unread = std::get_if<Unread>(&read)) {
    if (OnlyAsks(line)) return std::nullopt;
    return LimitBreach{std::string(line), 0, Limit::Unreadable, 0, 0, std::move(unread->from)};
  }
  const LineReading& reading = std::get<LineReading>(read);
  const LimitedItem* limited = Limited(reading.item);
  if (!reading.value || !limited) return std::nullopt;
  const char named = ChannelOf(*limited, reading.function);
  // A function that drives neither output leaves the channel open: both count.
  for (const char channel : {'A', 'B'}) {
    if (named && named != channel) continue;
    auto breach = CheckChannel(channel == 'B' ? limits.b : limits.a, channel, limited->kind,
                               reading.value->number, known);
    if (!breach) continue;
    breach->line = std::string(line);
    breach->channel = channel;
    return breach;
  }
  return std::nullopt;
}

std::string Quantity(double value, std::string_view unit) {
  double shown = value;
  std::string prefix;
  if (unit == "Hz" && std::fabs(value) >= 1e6) {
    shown = value / 1e6, prefix = "M";
  } else if (unit == "Hz" && std::fabs(value) >= 1e3) {
    shown = value / 1e3, prefix = "k";
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", shown);
  return std::string(text) + " " + prefix + std::string(unit);
}

std::string Describe(const LimitBreach& breach, int language) {
  // %2 the channel, %3 the value, %4 the limit, %5 the part of the line.
  static constexpr std::array<std::array<const char*, 3>, 6> kTexts{{
      {"channel %2's frequency would be %3, above its limit of %4", "%2路频率将为 %3，超过上限 %4",
       "%2路頻率將為 %3，超過上限 %4"},
      {"channel %2's amplitude would be %3, above its limit of %4", "%2路幅度将为 %3，超过上限 %4",
       "%2路幅度將為 %3，超過上限 %4"},
      {"channel %2's output would go down to %3 (the offset less half the amplitude), below "
       "its lowest offset, %4",
       "%2路输出将低至 %3（偏移减半个幅度），低于偏移下限 %4",
       "%2路輸出將低至 %3（偏移減半個幅度），低於偏移下限 %4"},
      {"channel %2's output would go up to %3 (the offset plus half the amplitude), above its "
       "highest offset, %4",
       "%2路输出将高至 %3（偏移加半个幅度），高于偏移上限 %4",
       "%2路輸出將高至 %3（偏移加半個幅度），高於偏移上限 %4"},
      {"the line cannot be read from '%5' on, so the limits cannot be checked",
       "该行从“%5”起无法读取，无法检查限值", "該行從「%5」起無法讀取，無法檢查限值"},
      {"channel %2's output cannot be checked against its offset limits: %5 is not known, "
       "and the instrument did not tell it",
       "无法按偏移限值检查%2路输出：%5 未知，仪器也未告知",
       "無法按偏移限值檢查%2路輸出：%5 未知，儀器也未告知"},
  }};
  const std::string_view unit = breach.limit == Limit::MaxFrequency   ? "Hz"
                                : breach.limit == Limit::MaxAmplitude ? "Vpp"
                                                                      : "V";
  const std::array<std::string, 5> fill{breach.line, std::string(1, breach.channel),
                                        Quantity(breach.value, unit), Quantity(breach.bound, unit),
                                        breach.part};
  std::string text =
      kTexts[static_cast<std::size_t>(breach.limit)][static_cast<std::size_t>(language % 3)];
  for (std::size_t at = text.find('%'); at != std::string::npos; at = text.find('%', at)) {
    const std::size_t which = static_cast<std::size_t>(text[at + 1] - '1');
    text.replace(at, 2, fill[which]);
    at += fill[which].size();
  }
  return text;
}

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
  const auto read = ReadIni(text);
  if (const auto* why = std::get_if<std::string>(&read)) return *why;
  Limits limits;
  for (const IniEntry& entry : std::get<std::vector<IniEntry>>(read)) {
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
    double parsed = 0;
    const auto [at, error] = std::from_chars(value.data(), value.data() + value.size(), parsed);
    if (value.empty() || error != std::errc() || at != value.data() + value.size() ||
        !std::isfinite(parsed)) {
      why.assign(1, '\'').append(value).append("' is not a number");
      return refuse(why);
    }
    section->*(found->field) = parsed;
  }
  for (const auto& [name, channel] : {std::pair{"A", &limits.a}, std::pair{"B", &limits.b}}) {
    if (channel->minOffsetV && channel->maxOffsetV && *channel->minOffsetV > *channel->maxOffsetV) {
      std::string why = "[";
      return why.append(name).append("]: min_offset_v is above max_offset_v");
    }
  }
  return limits;
}

std::string WriteLimits(const Limits& limits) {
  std::string text;
  for (const auto& [name, channel] : {std::pair{"A", &limits.a}, std::pair{"B", &limits.b}}) {
    text += std::string("[") + name + "]\n";
    for (const LimitKey& key : kLimitKeys) {
      if (const auto& value = channel->*(key.field)) {
        // The shortest text that reads back as the same number.
        char number[32];
        const auto written = std::to_chars(number, number + sizeof number, *value);
        text += std::string(key.name) + " = " + std::string(number, written.ptr) + "\n";
      }
    }
  }
  return text;
}

}  // namespace zrt::settings
