// The instrument's own lines for what a SCPI command sets or asks,
// composed from the key tables exactly as the key panels compose them:
// the address, the channel's function key ("CHA"), ":", the item key
// ("AFREQ"), the number as the digit keys write it and the item's base
// unit key ("Hz"). Only items the channel's function offers are used.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "scpi/commands.h"

namespace zrt::scpi {

// How an amplitude is given: peak to peak (VOLTage:UNIT VPP) or rms.
enum class AmplitudeUnit { Vpp, Vrms };

// The item key the channel has for the command, or nothing when its
// function offers none (offset on channel B, for instance). For a shape,
// the item that takes a waveform's number.
std::optional<int> ItemKeyFor(Command command, int channel,
                              AmplitudeUnit amplitude = AmplitudeUnit::Vpp);

// "88CHA:AFREQ1234.5Hz": `value` in the base unit of the item's group,
// written in plain digits (no exponent, as the digit keys have none).
// Nothing when the number cannot be written so in as many digits as a
// line is read with.
std::optional<std::string> SetLine(std::string_view address, int channel, int itemKey,
                                   double value);
// "88CHA:AFREQ?"
std::string QueryLine(std::string_view address, int channel, int itemKey);
// "88CHA:SQUAR": an item that takes no value, by its mnemonic.
std::string ItemLine(std::string_view address, int channel, std::string_view mnemonic);

// The same for another function than the channel's own ("FSWP", "ABURST",
// "COUNT"), by its mnemonic; the item key where the function offers it.
std::optional<int> ItemKeyIn(std::string_view function, std::string_view mnemonic);
std::optional<std::string> SetLineIn(std::string_view address, std::string_view function,
                                     int itemKey, double value);
std::string QueryLineIn(std::string_view address, std::string_view function, int itemKey);
std::string ItemLineIn(std::string_view address, std::string_view function,
                       std::string_view mnemonic);

// Where a command that is none of a channel's own settings is set: the
// function and item of its lines for a channel, as one table. `sweep` is
// the sweep in use ("FSWP" or "ASWP"), whose step interval SWEep:TIME is.
// `reciprocal`: the item holds the time between hops that a rate gives.
struct Placed {
  std::string_view function;
  int itemKey;
  bool reciprocal = false;
};
std::optional<Placed> PlaceOf(Command command, int channel, std::string_view sweep);

// The function a state command turns on for a channel, and the item its
// line names: a line of the item alone ("FSWP:AUTO"), or a question of it
// (`asks`: "FM:MODUF?") where the function has no item that only starts it.
struct Mode {
  std::string_view function;
  std::string_view item;
  bool asks;
};
std::optional<Mode> ModeOf(Command command, int channel, std::string_view sweep);
// The channel's own function again: a question of its frequency, as
// pressing its function key and asking would ("88CHA:AFREQ?").
std::string ChannelAgain(std::string_view address, int channel);

}  // namespace zrt::scpi
