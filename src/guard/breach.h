// Why the guard refuses a line, and how that is said.
#pragma once

#include <string>

namespace zrt::guard {

enum class Limit {
  MaxFrequency,
  MaxAmplitude,
  MinOffset,
  MaxOffset,
  Unreadable,       // `part`: where the line stopped being readable
  Unknown,          // `part`: the item the judgement needs and the instrument did not tell
  BelowDomain,      // `part`: the item; `bound`: the least it can be (a negative frequency)
  AboveDomain,      // `part`: the item; `bound`: the most it can be (a duty cycle of 150 %)
  RmsWithoutShape,  // an amplitude in Vrms on a channel whose waveform is not known, or noise
  OutputsOff,       // it would switch an output on again after all outputs were switched off
};

struct LimitBreach {
  std::string line;
  char channel = 'A';
  Limit limit = Limit::MaxFrequency;
  double bound = 0;  // the limit, in Hz, Vpp or V; the domain's edge in `unit`
  double value = 0;  // what the line would give: a frequency, an amplitude,
                     // the output's highest or lowest point, or the item's value
  std::string part;  // what could not be read, is not known, or is out of its domain
  std::string unit;  // BelowDomain and AboveDomain: the item's base unit
};

// What the line would do, naming the channel and the limit ("channel A's
// frequency would be 20 MHz, above its limit of 10 MHz"), in the language
// of that index (0 English, 1 simplified, 2 traditional Chinese). No text
// carries a comma, so that SCPI clients that split an error's text on
// commas keep it whole.
std::string Describe(const LimitBreach& breach, int language = 0);

}  // namespace zrt::guard
