// Headers as SCPI's command tables write them, matched against what a
// client wrote: "[SOURce#:]FREQuency[:CW|:FIXed]" takes "FREQ",
// "sour2:frequency:cw" and "SOURCE1:FREQ:FIX". A mnemonic's upper-case
// letters are its short form; [ ] holds an optional node, | its
// alternatives; # takes a channel number (none is 1).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zrt::scpi {

struct HeaderMatch {
  int channel = 1;  // the suffix a '#' node carried
};

// How `nodes` match `pattern`, or nothing when they do not.
std::optional<HeaderMatch> MatchHeader(std::string_view pattern,
                                       const std::vector<std::string>& nodes);

}  // namespace zrt::scpi
