// Random presses of the panel's buttons. A disabled button cannot be
// pressed; afterwards the line is the key texts of the presses taken, in
// order, and every managed item and unit button is enabled exactly as the
// tables say for the last function and the last item pressed.
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "compose/availability.h"
#include "compose/composer.h"
#include "fake_target.h"

namespace {

using namespace zrt::compose;

std::vector<int> AllButtonKeys() {
  std::vector<int> keys;
  for (KeyClass k :
       {KeyClass::Function, KeyClass::Item, KeyClass::Data, KeyClass::Symbol, KeyClass::Unit}) {
    for (int code : ButtonKeys(k)) keys.push_back(code);
  }
  return keys;
}

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::vector<int> keys = AllButtonKeys();
  testing::FakeTarget target;
  Composer composer(target);
  std::u16string expected;
  int lastFunction = -1;
  int lastItem = -1;
  for (std::size_t i = 0; i < size; ++i) {
    const int code = keys[data[i] % keys.size()];
    if (!target.Enabled(code)) continue;
    composer.HandleKey(code);
    for (char c : KeyText(code)) expected.push_back(static_cast<char16_t>(c));
    if (ClassOf(code) == KeyClass::Function) lastFunction = code;
    if (ClassOf(code) == KeyClass::Item) lastItem = code;
  }
  Check(target.line == expected);

  const std::set<int> managed(ManagedItemKeys().begin(), ManagedItemKeys().end());
  const std::set<int> items = lastFunction < 0
                                  ? managed
                                  : std::set<int>(ItemsForFunction(lastFunction).begin(),
                                                  ItemsForFunction(lastFunction).end());
  Check(target.EnabledAmong(ManagedItemKeys()) == items);
  const std::set<int> allUnits(UnitKeys().begin(), UnitKeys().end());
  const std::span<const int> group =
      lastItem < 0 ? std::span<const int>() : UnitsForGroup(FindKey(lastItem)->unitGroup);
  const std::set<int> units = lastItem < 0 ? allUnits : std::set<int>(group.begin(), group.end());
  Check(target.EnabledAmong(UnitKeys()) == units);
  return 0;
}
