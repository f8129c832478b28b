#include "compose/availability.h"

#include <algorithm>
#include <array>
#include <vector>

#include "compose/key_vocabulary.h"

namespace zrt::compose {
namespace {

// Item keys that stay available under every function: "返回", "RS232", "USB".
constexpr int kAlwaysAvailableItems[] = {75, 76, 77};

bool AlwaysAvailable(int code) {
  return std::ranges::find(kAlwaysAvailableItems, code) != std::end(kAlwaysAvailableItems);
}

// Function availability, one row per function code 0 to 15, as item key codes.
// Item 48 ("A路幅度") stands in no row on purpose: after the first function
// key it stays disabled.
constexpr int kRow0[] = {21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 33, 79, 88};
constexpr int kRow1[] = {22, 27, 33, 34, 35, 36, 47, 80, 88};
constexpr int kRow2[] = {22, 23, 39, 40, 41, 42, 43, 44, 81};
constexpr int kRow3[] = {21, 24, 41, 42, 43, 44, 45, 46, 81};
constexpr int kRow4[] = {49, 50, 51, 52, 53, 54};
constexpr int kRow5[] = {49, 50, 51, 53, 54};
constexpr int kRow6[] = {42, 49, 50, 56};
constexpr int kRow7[] = {42, 49, 50, 57};
constexpr int kRow8[] = {42, 49, 50, 58};
constexpr int kRow10[] = {63, 64};
constexpr int kRow12[] = {67, 68, 70, 71, 72, 73, 74};
constexpr int kRow13[] = {84, 85, 86, 87};
constexpr int kRowBurst[] = {43, 44, 49, 59, 60, 61, 82, 83};  // both bursts

constexpr std::array<std::span<const int>, 16> kFunctionRows{
    kRow0, kRow1, kRow2,  kRow3, kRow4,  kRow5,  kRow6,     kRow7,
    kRow8, {},    kRow10, {},    kRow12, kRow13, kRowBurst, kRowBurst,
};

// Unit groups 0 to 10, as unit key codes.
constexpr int kGroup0[] = {128, 129, 130, 131};  // MHz kHz Hz mHz
constexpr int kGroup1[] = {133, 134};            // Vpp mVpp
constexpr int kGroup2[] = {135, 136};            // Vrms mVrms
constexpr int kGroup3[] = {137, 138};            // S mS
constexpr int kGroup4[] = {139};                 // TIME
constexpr int kGroup5[] = {140};                 // CYCL
constexpr int kGroup6[] = {141};                 // DEG
constexpr int kGroup7[] = {142};                 // dB
constexpr int kGroup8[] = {143};                 // No.
constexpr int kGroup9[] = {144};                 // %
constexpr int kGroup10[] = {132, 145};           // Vdc mVdc

constexpr std::array<std::span<const int>, 11> kUnitGroups{
    kGroup0, kGroup1, kGroup2, kGroup3, kGroup4,  kGroup5,
    kGroup6, kGroup7, kGroup8, kGroup9, kGroup10,
};

void SetAll(ComposerTarget& target, std::span<const int> keys, bool enabled) {
  for (int code : keys) target.SetKeyEnabled(code, enabled);
}

}  // namespace

std::span<const int> ManagedItemKeys() {
  static const std::vector<int> keys = [] {
    std::vector<int> items = ButtonKeys(KeyClass::Item);
    std::erase_if(items, AlwaysAvailable);
    return items;
  }();
  return keys;
}

std::span<const int> UnitKeys() {
  static const std::vector<int> keys = ButtonKeys(KeyClass::Unit);
  return keys;
}

std::span<const int> ItemsForFunction(int functionCode) {
  if (functionCode < 0 || functionCode >= static_cast<int>(kFunctionRows.size())) return {};
  return kFunctionRows[static_cast<std::size_t>(functionCode)];
}

std::span<const int> UnitsForGroup(std::uint8_t unitGroup) {
  if (unitGroup >= kUnitGroups.size()) return {};
  return kUnitGroups[unitGroup];
}

void DisableAllItems(ComposerTarget& target) { SetAll(target, ManagedItemKeys(), false); }

void EnableItemsForFunction(ComposerTarget& target, int functionCode) {
  SetAll(target, ItemsForFunction(functionCode), true);
}

void DisableAllUnits(ComposerTarget& target) { SetAll(target, UnitKeys(), false); }

void EnableUnitsForGroup(ComposerTarget& target, std::uint8_t unitGroup) {
  SetAll(target, UnitsForGroup(unitGroup), true);
}

}  // namespace zrt::compose
