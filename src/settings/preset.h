// A preset: the known settings written as a sequence file of set lines,
// plain and editable, that zrt-send runs as it stands. After each line the
// instrument acknowledged when it was set comes "expect OK".
#pragma once

#include <string>
#include <string_view>

#include "settings/instrument_settings.h"

namespace zrt::settings {

// The file's text: a comment naming it, then each item with a value, in
// the order the values were set (so a waveform's command and number keep
// theirs), behind the instrument's address text.
std::string PresetText(const InstrumentSettings& known, std::string_view address,
                       std::string_view name);

}  // namespace zrt::settings
