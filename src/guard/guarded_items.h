// What each of the instrument's items does to an output, as far as the
// limits look at it. An item not in the table (an attenuation, channel B's
// harmonic, a recall, a reset) has an effect the guard cannot place.
#pragma once

#include <string_view>
#include <vector>

namespace zrt::guard {

enum class Effect {
  Frequency,     // Hz
  Period,        // s: the output's frequency is its inverse
  Amplitude,     // V peak to peak
  AmplitudeRms,  // V rms
  Offset,        // V
  Duty,          // %, from 0 to 100
  Phase,         // degrees, from -360 to 360
  Output,        // the output switch: on for any value but 0
  Waveform,      // a waveform by number: the shape is no longer known
  None,          // nothing the limits look at
};

struct GuardedItem {
  std::string_view function;  // empty: under any function
  std::string_view item;
  Effect effect;
  char channel;  // 'A' or 'B'; 0: the channel of the function it stands under
};

// The item's row under that function; nullptr when its effect cannot be placed.
const GuardedItem* FindItem(std::string_view function, std::string_view item);

// The channel a function drives ('A' or 'B'); 0 for those that drive
// neither output (TTL, COUNT, SYS): what they set counts for both.
char ChannelOf(std::string_view function);

// The channel an item sets under a function: its own, else the function's.
char ChannelOf(const GuardedItem& row, std::string_view function);

// An item as the key tables offer it, under the function that offers it.
struct OfferedItem {
  std::string_view function;
  std::string_view item;
  Effect effect;
};

// Whether the key tables offer the item under that function.
bool Offered(std::string_view function, std::string_view item);

// Every item of that channel with one of these effects, under every
// function that offers it: what may be on the channel's output.
std::vector<OfferedItem> ItemsOf(char channel, std::initializer_list<Effect> effects);

}  // namespace zrt::guard
