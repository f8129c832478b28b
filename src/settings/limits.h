// Limits that keep a device under test safe: per channel, the highest
// frequency and amplitude, and the band the output must stay in (the offset
// plus and less half the amplitude). A line that would set a value beyond
// one is refused before any byte of it goes out, whoever sends it. The
// check fails closed: while any limit is set, a line that cannot be read
// whole is refused too (unless it only asks, with a "?" and no number),
// and so is a line whose band needs a value nobody knows.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "settings/instrument_settings.h"

namespace zrt::settings {

struct ChannelLimits {
  std::optional<double> maxFrequencyHz;
  std::optional<double> maxAmplitudeVpp;
  std::optional<double> minOffsetV;
  std::optional<double> maxOffsetV;
  bool operator==(const ChannelLimits&) const = default;
};

struct Limits {
  ChannelLimits a;
  ChannelLimits b;
  bool Any() const { return a != ChannelLimits{} || b != ChannelLimits{}; }
  bool operator==(const Limits&) const = default;
};

enum class Limit {
  MaxFrequency,
  MaxAmplitude,
  MinOffset,
  MaxOffset,
  Unreadable,  // `part`: where the line stopped being readable
  Unknown,     // `part`: the item whose value the band needs ("CHA:AOFFS")
};

struct LimitBreach {
  std::string line;
  char channel = 'A';
  Limit limit = Limit::MaxFrequency;
  double bound = 0;  // the limit, in Hz, Vpp or V
  double value = 0;  // what the line would give: a frequency, an amplitude,
                     // or the output's highest or lowest point
  std::string part;  // Unreadable and Unknown: what could not be read or is not known
};

// The breach a line would make, given what is known of the instrument's
// other settings. A channel is the one its item names (BFREQ is channel
// B's), else its function's; a line of a function that drives neither
// output is checked against both. The band takes the channel's amplitude
// last set by any of its amplitude items (Vpp or Vrms, under any function)
// and its offset last set; channel B's offset is 0, as it has none. A band
// that needs a value not known is Limit::Unknown, naming the item to ask.
std::optional<LimitBreach> Check(const Limits& limits, std::string_view line,
                                 const InstrumentSettings& known);

// What the line would do, naming the channel and the limit ("channel A's
// frequency would be 20 MHz, above its limit of 10 MHz"), in the language
// of that index (0 English, 1 simplified, 2 traditional Chinese).
std::string Describe(const LimitBreach& breach, int language = 0);

// A quantity as a person writes it: "10 MHz", "2.5 Vpp", "-1.2 V".
std::string Quantity(double value, std::string_view unit);

// Limits from the text of an INI file: a section per channel, [A] and [B],
// with max_frequency_hz, max_amplitude_vpp, min_offset_v and max_offset_v;
// a key not given is no limit. Lines starting with ; or # are comments.
// Anything else is refused with the line it is on and why, in English, and
// so is a section whose lowest offset is above its highest.
std::variant<Limits, std::string> ReadLimits(std::string_view text);

// The same limits written as that file.
std::string WriteLimits(const Limits& limits);

}  // namespace zrt::settings
