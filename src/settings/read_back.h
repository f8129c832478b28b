// The items read back from the instrument, channel A's then channel B's,
// each asked with a query line of its own ("88CHA:AFREQ?").
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace zrt::settings {

struct ItemName {
  std::string_view function;  // "CHA"
  std::string_view item;      // "AFREQ"
};

// Frequency, amplitude, offset, duty cycle, phase, waveform and output
// switch of each channel, as far as the key tables name them.
std::span<const ItemName> ReadBackItems();

// The line that asks for an item, behind the instrument's address text.
std::string QueryLine(std::string_view address, const ItemName& name);

}  // namespace zrt::settings
