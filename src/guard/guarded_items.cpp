#include "guard/guarded_items.h"

#include <algorithm>
#include <array>

#include "compose/availability.h"
#include "compose/key_vocabulary.h"

namespace zrt::guard {
namespace {

using enum Effect;

constexpr std::array kItems{
    // What an output's frequency is.
    GuardedItem{"", "AFREQ", Frequency, 'A'},
    GuardedItem{"", "BFREQ", Frequency, 'B'},
    GuardedItem{"", "STARF", Frequency, 0},
    GuardedItem{"", "STOPF", Frequency, 0},
    GuardedItem{"", "CARRF", Frequency, 0},
    GuardedItem{"", "HOPF", Frequency, 0},
    GuardedItem{"", "APERD", Period, 'A'},
    GuardedItem{"", "BPERD", Period, 'B'},
    // What its amplitude is: steady, swept, carried and hopped to.
    GuardedItem{"", "VPP", Amplitude, 0},
    GuardedItem{"", "STARA", Amplitude, 0},
    GuardedItem{"", "STOPA", Amplitude, 0},
    GuardedItem{"", "AAMPL", Amplitude, 'A'},
    GuardedItem{"", "CARRA", Amplitude, 0},
    GuardedItem{"", "HOPA", Amplitude, 0},
    GuardedItem{"", "VRMS", AmplitudeRms, 0},
    GuardedItem{"", "AOFFS", Offset, 'A'},
    // Values with a domain of their own.
    GuardedItem{"", "ADUTY", Duty, 'A'},
    GuardedItem{"", "BDUTY", Duty, 'B'},
    GuardedItem{"", "TTLAD", Duty, 0},
    GuardedItem{"", "TTLBD", Duty, 0},
    GuardedItem{"", "DEPTH", Duty, 0},
    GuardedItem{"", "PHASE", Phase, 0},
    GuardedItem{"", "HOPP", Phase, 0},
    GuardedItem{"", "SWITCH", Output, 0},
    GuardedItem{"", "AWAVE", Waveform, 'A'},
    GuardedItem{"", "BWAVE", Waveform, 'B'},
    GuardedItem{"", "ARB", Waveform, 0},
    // Steps, times, counts, the counter, the TTL outputs and the system's
    // own settings: nothing on either output's level or frequency.
    GuardedItem{"", "STEPF", None, 0},
    GuardedItem{"", "STEPA", None, 0},
    GuardedItem{"", "MODEL", None, 0},
    GuardedItem{"", "INTVL", None, 0},
    GuardedItem{"", "ONCES", None, 0},
    GuardedItem{"", "TRIGG", None, 0},
    GuardedItem{"", "AUTO", None, 0},
    GuardedItem{"", "MODUF", None, 0},
    GuardedItem{"", "DEVIA", None, 0},
    GuardedItem{"", "MWAVE", None, 0},
    GuardedItem{"", "EXT", None, 0},
    GuardedItem{"", "NCYCL", None, 0},
    GuardedItem{"", "BURSF", None, 0},
    GuardedItem{"", "MEASF", None, 0},
    GuardedItem{"", "STROBE", None, 0},
    GuardedItem{"", "LPF", None, 0},
    GuardedItem{"", "STORE", None, 0},
    GuardedItem{"", "ADDR", None, 0},
    GuardedItem{"", "LANG", None, 0},
    GuardedItem{"", "BEEP", None, 0},
    GuardedItem{"", "VER", None, 0},
    GuardedItem{"", "LOCAL", None, 0},
    GuardedItem{"", "RS232", None, 0},
    GuardedItem{"", "USB", None, 0},
    GuardedItem{"", "INTER", None, 0},
    GuardedItem{"", "TTLAF", None, 0},
    GuardedItem{"", "TTLBF", None, 0},
    GuardedItem{"", "TTLTR", None, 0},
    GuardedItem{"", "EXTTR", None, 0},
};

}  // namespace

const GuardedItem* FindItem(std::string_view function, std::string_view item) {
  const auto found = std::ranges::find_if(kItems, [&](const GuardedItem& row) {
    return row.item == item && (row.function.empty() || row.function == function);
  });
  return found != kItems.end() ? &*found : nullptr;
}

char ChannelOf(std::string_view function) {
  if (function == "CHB" || function == "BBURST") return 'B';
  if (function == "TTL" || function == "COUNT" || function == "SYS") return 0;
  return 'A';
}

char ChannelOf(const GuardedItem& row, std::string_view function) {
  return row.channel ? row.channel : ChannelOf(function);
}

bool Offered(std::string_view function, std::string_view item) {
  for (int code = 0; code < 16; ++code) {
    if (compose::KeyText(code) != function) continue;
    return std::ranges::any_of(compose::ItemsForFunction(code),
                               [item](int itemCode) { return compose::KeyText(itemCode) == item; });
  }
  return false;
}

std::vector<OfferedItem> ItemsOf(char channel, std::initializer_list<Effect> effects) {
  std::vector<OfferedItem> items;
  for (int code = 0; code < 16; ++code) {
    const std::string_view function = compose::KeyText(code);
    for (const int itemCode : compose::ItemsForFunction(code)) {
      const std::string_view item = compose::KeyText(itemCode);
      const GuardedItem* row = FindItem(function, item);
      if (!row || ChannelOf(*row, function) != channel ||
          std::ranges::find(effects, row->effect) == effects.end()) {
        continue;
      }
      items.push_back({function, item, row->effect});
    }
  }
  return items;
}

}  // namespace zrt::guard
