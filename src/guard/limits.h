// Limits that keep a device under test safe: per channel, the highest
// frequency and amplitude, and the band the output must stay in (the offset
// plus and less half the amplitude). What a line would do against them is
// the guard's to judge (guard/guard.h).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace zrt::guard {

struct ChannelLimits {
  std::optional<double> maxFrequencyHz;
  std::optional<double> maxAmplitudeVpp;
  std::optional<double> minOffsetV;
  std::optional<double> maxOffsetV;
  bool Banded() const { return minOffsetV || maxOffsetV; }
  bool operator==(const ChannelLimits&) const = default;
};

struct Limits {
  ChannelLimits a;
  ChannelLimits b;
  bool Any() const { return a != ChannelLimits{} || b != ChannelLimits{}; }
  const ChannelLimits& Of(char channel) const { return channel == 'B' ? b : a; }
  bool operator==(const Limits&) const = default;
};

// Limits from the text of an INI file: a section per channel, [A] and [B],
// with max_frequency_hz, max_amplitude_vpp, min_offset_v and max_offset_v.
// Lines starting with ; or # are comments. A file that is read is meant to
// limit something, so one that sets no limit at all is refused ("no limit
// is set"), as is anything else the reader does not know, with the line it
// is on and why, in English, and a section whose lowest offset is above its
// highest.
std::variant<Limits, std::string> ReadLimits(std::string_view text);

// The same limits written as that file.
std::string WriteLimits(const Limits& limits);

}  // namespace zrt::guard
