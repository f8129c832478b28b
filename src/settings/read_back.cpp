#include "settings/read_back.h"

#include <array>
#include <vector>

namespace zrt::settings {
namespace {

// Channel B has no offset of its own, and only it has a harmonic.
constexpr std::array kChannelRows{
    ChannelRow{ChannelQuantity::Frequency, "AFREQ", "BFREQ"},
    ChannelRow{ChannelQuantity::Amplitude, "VPP", "VPP"},
    ChannelRow{ChannelQuantity::Offset, "AOFFS", ""},
    ChannelRow{ChannelQuantity::Duty, "ADUTY", "BDUTY"},
    ChannelRow{ChannelQuantity::Phase, "PHASE", "PHASE"},
    ChannelRow{ChannelQuantity::Waveform, "AWAVE", "BWAVE"},
    ChannelRow{ChannelQuantity::Output, "SWITCH", "SWITCH"},
    ChannelRow{ChannelQuantity::Harmonic, "", "BHARM"},
};

std::vector<ItemName> ListItems() {
  std::vector<ItemName> items;
  for (const auto& [function, column] :
       {std::pair{"CHA", &ChannelRow::a}, std::pair{"CHB", &ChannelRow::b}}) {
    for (const ChannelRow& row : kChannelRows) {
      if (!(row.*column).empty()) items.push_back({function, row.*column});
    }
  }
  return items;
}

}  // namespace

std::span<const ChannelRow> ChannelRows() { return kChannelRows; }

std::span<const ItemName> ReadBackItems() {
  static const std::vector<ItemName> items = ListItems();
  return items;
}

std::string QueryLine(std::string_view address, const ItemName& name) {
  return std::string(address) + std::string(name.function) + ":" + std::string(name.item) + "?";
}

}  // namespace zrt::settings
