#include "settings/limits.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "settings/units.h"

namespace zrt::settings {
namespace {

enum class Kind { Frequency, Period, Amplitude, AmplitudeRms, Offset };

struct LimitedItem {
  std::string_view item;
  Kind kind;
};

// The items that set an output's frequency, amplitude or offset.
constexpr std::array kLimitedItems{
    LimitedItem{"AFREQ", Kind::Frequency},   LimitedItem{"BFREQ", Kind::Frequency},
    LimitedItem{"STARF", Kind::Frequency},   LimitedItem{"STOPF", Kind::Frequency},
    LimitedItem{"CARRF", Kind::Frequency},   LimitedItem{"HOPF", Kind::Frequency},
    LimitedItem{"APERD", Kind::Period},      LimitedItem{"BPERD", Kind::Period},
    LimitedItem{"VPP", Kind::Amplitude},     LimitedItem{"STARA", Kind::Amplitude},
    LimitedItem{"STOPA", Kind::Amplitude},   LimitedItem{"AAMPL", Kind::Amplitude},
    LimitedItem{"CARRA", Kind::Amplitude},   LimitedItem{"HOPA", Kind::Amplitude},
    LimitedItem{"VRMS", Kind::AmplitudeRms}, LimitedItem{"AOFFS", Kind::Offset},
};

// The channel a function drives; 0 for those that drive neither output.
char ChannelOf(std::string_view function) {
  if (function == "CHB" || function == "BBURST") return 'B';
  if (function == "TTL" || function == "COUNT" || function == "SYS") return 0;
  return 'A';
}

const char* ChannelFunction(char channel) { return channel == 'B' ? "CHB" : "CHA"; }

std::optional<double> Known(const InstrumentSettings& known, char channel, std::string_view item) {
  const Setting* setting = known.Find(ChannelFunction(channel), item);
  const Value* value = setting ? setting->Current() : nullptr;
  return value ? std::optional(value->number) : std::nullopt;
}

double KnownAmplitude(const InstrumentSettings& known, char channel) {
  if (const auto vpp = Known(known, channel, "VPP")) return *vpp;
  if (const auto rms = Known(known, channel, "VRMS")) return *rms * kPeakToPeakPerRms;
  return 0;
}

std::optional<LimitBreach> Band(const ChannelLimits& limits, double offset, double amplitude) {
  const double high = offset + std::fabs(amplitude) / 2;
  const double low = offset - std::fabs(amplitude) / 2;
  if (limits.maxOffsetV && high > *limits.maxOffsetV) {
    return LimitBreach{{}, 0, Limit::MaxOffset, *limits.maxOffsetV, high};
  }
  if (limits.minOffsetV && low < *limits.minOffsetV) {
    return LimitBreach{{}, 0, Limit::MinOffset, *limits.minOffsetV, low};
  }
  return std::nullopt;
}

std::optional<LimitBreach> CheckChannel(const ChannelLimits& limits, char channel, Kind kind,
                                        double number, const InstrumentSettings& known) {
  switch (kind) {
    case Kind::Period:
      if (number == 0) return std::nullopt;
      number = 1 / std::fabs(number);
      [[fallthrough]];
    case Kind::Frequency:
      if (limits.maxFrequencyHz && std::fabs(number) > *limits.maxFrequencyHz) {
        return LimitBreach{{}, 0, Limit::MaxFrequency, *limits.maxFrequencyHz, std::fabs(number)};
      }
      return std::nullopt;
    case Kind::AmplitudeRms:
      number *= kPeakToPeakPerRms;
      [[fallthrough]];
    case Kind::Amplitude:
      if (limits.maxAmplitudeVpp && std::fabs(number) > *limits.maxAmplitudeVpp) {
        return LimitBreach{{}, 0, Limit::MaxAmplitude, *limits.maxAmplitudeVpp, std::fabs(number)};
      }
      return Band(limits, Known(known, channel, "AOFFS").value_or(0), number);
    case Kind::Offset:
      return Band(limits, number, KnownAmplitude(known, channel));
  }
  return std::nullopt;
}

}  // namespace

std::optional<LimitBreach> Check(const Limits& limits, std::string_view line,
                                 const InstrumentSettings& known) {
  if (!limits.Any()) return std::nullopt;
  const auto reading = ReadLine(line);
  if (!reading || !reading->value) return std::nullopt;
  const char channel = ChannelOf(reading->function);
  if (!channel) return std::nullopt;
  for (const LimitedItem& limited : kLimitedItems) {
    if (limited.item != reading->item) continue;
    auto breach = CheckChannel(channel == 'B' ? limits.b : limits.a, channel, limited.kind,
                               reading->value->number, known);
    if (!breach) return std::nullopt;
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
  // %2 the channel, %3 the value, %4 the limit.
  static constexpr std::array<std::array<const char*, 3>, 4> kTexts{{
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
  }};
  const std::string_view unit = breach.limit == Limit::MaxFrequency   ? "Hz"
                                : breach.limit == Limit::MaxAmplitude ? "Vpp"
                                                                      : "V";
  const std::array<std::string, 4> fill{breach.line, std::string(1, breach.channel),
                                        Quantity(breach.value, unit), Quantity(breach.bound, unit)};
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

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
    text.remove_suffix(1);
  }
  return text;
}

}  // namespace

std::variant<Limits, std::string> ReadLimits(std::string_view text) {
  Limits limits;
  ChannelLimits* section = nullptr;
  int number = 0;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = Trim(text.substr(start, end - start));
    start = end + 1;
    ++number;
    const auto refuse = [number](const std::string& why) {
      return "line " + std::to_string(number) + ": " + why;
    };
    if (line.empty() || line.front() == ';' || line.front() == '#') continue;
    if (line.front() == '[') {
      if (line == "[A]" || line == "[a]") {
        section = &limits.a;
      } else if (line == "[B]" || line == "[b]") {
        section = &limits.b;
      } else {
        return refuse("a section is [A] or [B]");
      }
      continue;
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) return refuse("expected KEY = VALUE");
    if (!section) return refuse("a key stands under [A] or [B]");
    const std::string_view key = Trim(line.substr(0, equals));
    const std::string_view value = Trim(line.substr(equals + 1));
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
