// How the instrument view words a setting: its value, where it came from
// (set, acknowledged or not, read back and when, unknown), an item that
// did not answer, and a value read back that differs from the one set;
// and a channel's limits.
#pragma once

#include <QString>

#include "guard/limits.h"
#include "settings/instrument_settings.h"
#include "settings/read_back.h"
#include "window/form/caption_table.h"
#include "window/form/own_texts.h"

namespace zrt::window {

// The name of a channel row's quantity ("Frequency").
OwnText QuantityName(settings::ChannelQuantity quantity);

// "1000Hz (set)", "5000HZ (read back 11:40:02; differs from 1000Hz as set)",
// "unknown"; `setting` may be nullptr.
QString SettingText(const settings::Setting* setting, Language language);

// A channel's waveform: its number (`item`, "AWAVE"), or its own command
// ("CHA:SQUAR", kept as its "SHAPE") when that came later; nullptr: unknown.
const settings::Setting* ChannelWaveform(const settings::InstrumentSettings& known,
                                         std::string_view function, std::string_view item);

// "≤ 10 MHz, ≤ 5 Vpp, -3 V … 3 V", or "none".
QString LimitsText(const guard::ChannelLimits& limits, Language language);

}  // namespace zrt::window
