#include "compose/availability.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "compose/key_vocabulary.h"
#include "fake_target.h"

namespace zrt::compose {
namespace {

using testing::FakeTarget;

std::set<int> AsSet(std::span<const int> codes) { return {codes.begin(), codes.end()}; }

TEST(Availability, ManagedItemsAreAllItemButtonsButReturnRs232AndUsb) {
  const std::set<int> managed = AsSet(ManagedItemKeys());
  EXPECT_EQ(managed.size(), 55u);
  for (int code : {75, 76, 77}) EXPECT_FALSE(managed.contains(code)) << code;
  EXPECT_TRUE(managed.contains(48));  // "A路幅度": managed though in no row
  for (int code : managed) EXPECT_FALSE(FindKey(code)->button.empty()) << code;
}

TEST(Availability, FunctionRowsHoldOnlyManagedItems) {
  const std::set<int> managed = AsSet(ManagedItemKeys());
  for (int function = 0; function <= 15; ++function) {
    for (int item : ItemsForFunction(function)) {
      EXPECT_TRUE(managed.contains(item)) << "row " << function << " item " << item;
    }
  }
}

TEST(Availability, AmplitudeItemOfChannelAStandsInNoRow) {
  for (int function = 0; function <= 15; ++function) {
    EXPECT_EQ(std::ranges::count(ItemsForFunction(function), 48), 0) << function;
  }
}

TEST(Availability, RowEdgeCases) {
  EXPECT_EQ(AsSet(ItemsForFunction(14)), AsSet(ItemsForFunction(15)));
  EXPECT_TRUE(AsSet(ItemsForFunction(14)).contains(59));  // "B路幅度"
  EXPECT_TRUE(ItemsForFunction(9).empty());
  EXPECT_TRUE(ItemsForFunction(11).empty());
  EXPECT_TRUE(ItemsForFunction(-1).empty());
  EXPECT_TRUE(ItemsForFunction(16).empty());
  EXPECT_EQ(ItemsForFunction(5).size(), 5u);  // AM has a row but no button
  // Each sweep offers the other quantity's item as well.
  EXPECT_TRUE(AsSet(ItemsForFunction(2)).contains(22));
  EXPECT_TRUE(AsSet(ItemsForFunction(3)).contains(21));
  for (int function : {2, 3, 6, 7, 8}) {
    EXPECT_TRUE(AsSet(ItemsForFunction(function)).contains(42)) << function;
  }
  for (int function : {4, 5, 6, 7, 8, 14, 15}) {
    EXPECT_TRUE(AsSet(ItemsForFunction(function)).contains(49)) << function;
  }
}

TEST(Availability, UnitGroupsPartitionTheUnitKeys) {
  std::multiset<int> seen;
  for (int group = 0; group <= 10; ++group) {
    for (int unit : UnitsForGroup(static_cast<std::uint8_t>(group))) seen.insert(unit);
  }
  EXPECT_EQ(std::set<int>(seen.begin(), seen.end()), AsSet(UnitKeys()));
  EXPECT_EQ(seen.size(), UnitKeys().size()) << "a unit key stands in two groups";
  EXPECT_TRUE(UnitsForGroup(kNoUnitGroup).empty());
  EXPECT_TRUE(UnitsForGroup(11).empty());
  EXPECT_EQ(AsSet(UnitsForGroup(1)), (std::set<int>{133, 134}));   // Vpp mVpp
  EXPECT_EQ(AsSet(UnitsForGroup(2)), (std::set<int>{135, 136}));   // Vrms mVrms
  EXPECT_EQ(AsSet(UnitsForGroup(10)), (std::set<int>{132, 145}));  // Vdc mVdc
}

TEST(Availability, EnableOperationsOnlyEnable) {
  FakeTarget target;
  DisableAllItems(target);
  EXPECT_TRUE(target.EnabledAmong(ManagedItemKeys()).empty());
  EXPECT_TRUE(target.Enabled(75) && target.Enabled(76) && target.Enabled(77));
  EnableItemsForFunction(target, 10);
  EXPECT_EQ(target.EnabledAmong(ManagedItemKeys()), (std::set<int>{63, 64}));
  EnableItemsForFunction(target, 13);  // adds; nothing is disabled by an enable
  EXPECT_EQ(target.EnabledAmong(ManagedItemKeys()), (std::set<int>{63, 64, 84, 85, 86, 87}));

  DisableAllUnits(target);
  EXPECT_TRUE(target.EnabledAmong(UnitKeys()).empty());
  EnableUnitsForGroup(target, kNoUnitGroup);
  EnableUnitsForGroup(target, 200);
  EXPECT_TRUE(target.EnabledAmong(UnitKeys()).empty());
  EnableUnitsForGroup(target, 0);
  EXPECT_EQ(target.EnabledAmong(UnitKeys()), (std::set<int>{128, 129, 130, 131}));
}

}  // namespace
}  // namespace zrt::compose
