#include "settings/read_back.h"

#include <array>

namespace zrt::settings {
namespace {

// Channel B has no offset of its own; its harmonic takes the row.
constexpr std::array kReadBackItems{
    ItemName{"CHA", "AFREQ"},  ItemName{"CHA", "VPP"},    ItemName{"CHA", "AOFFS"},
    ItemName{"CHA", "ADUTY"},  ItemName{"CHA", "PHASE"},  ItemName{"CHA", "AWAVE"},
    ItemName{"CHA", "SWITCH"}, ItemName{"CHB", "BFREQ"},  ItemName{"CHB", "VPP"},
    ItemName{"CHB", "BHARM"},  ItemName{"CHB", "BDUTY"},  ItemName{"CHB", "PHASE"},
    ItemName{"CHB", "BWAVE"},  ItemName{"CHB", "SWITCH"},
};

}  // namespace

std::span<const ItemName> ReadBackItems() { return kReadBackItems; }

std::string QueryLine(std::string_view address, const ItemName& name) {
  return std::string(address) + std::string(name.function) + ":" + std::string(name.item) + "?";
}

}  // namespace zrt::settings
