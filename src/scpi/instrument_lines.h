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

}  // namespace zrt::scpi
