// The items each channel shows and is read back by, channel A's then
// channel B's, each asked with a query line of its own ("88CHA:AFREQ?").
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace zrt::settings {

struct ItemName {
  std::string_view function;  // "CHA"
  std::string_view item;      // "AFREQ"
};

enum class ChannelQuantity {
  Frequency,
  Amplitude,
  Offset,
  Duty,
  Phase,
  Waveform,
  Output,
  Harmonic
};

// One row of the two channels: the item that sets the quantity on each
// (empty where the channel has none).
struct ChannelRow {
  ChannelQuantity quantity;
  std::string_view a;
  std::string_view b;
};

// Frequency, amplitude, offset, duty cycle, phase, waveform and output
// switch, as far as the key tables name them for each channel.
std::span<const ChannelRow> ChannelRows();

// Every item of ChannelRows, channel A's then channel B's.
std::span<const ItemName> ReadBackItems();

// The line that asks for an item, behind the instrument's address text.
std::string QueryLine(std::string_view address, const ItemName& name);

}  // namespace zrt::settings
