// Which item buttons fit a function, and which unit buttons fit an item's unit
// group. Availability only greys buttons out; it never checks a line.
#pragma once

#include <cstdint>
#include <span>

#include "compose/composer_target.h"

namespace zrt::compose {

// The 55 item keys that availability manages: every item key with a button
// except "Return", "RS232" and "USB", which stay available under every function.
std::span<const int> ManagedItemKeys();

// The 18 unit keys.
std::span<const int> UnitKeys();

// The item keys enabled by a function key; empty for a code without a row.
std::span<const int> ItemsForFunction(int functionCode);

// The unit keys enabled by a unit group; empty for kNoUnitGroup and any value above 10.
std::span<const int> UnitsForGroup(std::uint8_t unitGroup);

// The four operations the composer applies. The enable operations only
// enable: a key outside the row keeps what the disable operation gave it.
void DisableAllItems(ComposerTarget& target);
void EnableItemsForFunction(ComposerTarget& target, int functionCode);
void DisableAllUnits(ComposerTarget& target);
void EnableUnitsForGroup(ComposerTarget& target, std::uint8_t unitGroup);

}  // namespace zrt::compose
