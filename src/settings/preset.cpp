#include "settings/preset.h"

#include <algorithm>
#include <vector>

namespace zrt::settings {

std::string PresetText(const InstrumentSettings& known, std::string_view address,
                       std::string_view name) {
  std::vector<const Setting*> settings;
  for (const Setting& setting : known.All()) {
    if (setting.Fresh()) settings.push_back(&setting);
  }
  std::sort(settings.begin(), settings.end(),
            [](const Setting* a, const Setting* b) { return a->changed < b->changed; });
  std::string text = "# zrt-panel preset: " + std::string(name) +
                     "\n# Each line sets an item; \"expect OK\" follows where the instrument "
                     "acknowledged it.\n";
  for (const Setting* setting : settings) {
    const Value& value = *setting->Fresh();
    std::string line = std::string(address) + setting->function + ":";
    // A waveform's command stands by itself; a value follows its item.
    line += setting->item == kShapeItem ? value.text : setting->item + ":" + value.text;
    text += line + "\n";
    const bool acknowledged = setting->From() == Source::Acknowledged;
    if (acknowledged) text += "expect OK\n";
  }
  return text;
}

}  // namespace zrt::settings
