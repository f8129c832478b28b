#include "compose/composer.h"

#include <gtest/gtest.h>

#include <set>

#include "compose/availability.h"
#include "fake_target.h"

namespace zrt::compose {
namespace {

using testing::FakeTarget;

std::set<int> AsSet(std::span<const int> codes) { return {codes.begin(), codes.end()}; }

class ComposerTest : public ::testing::Test {
 protected:
  std::set<int> EnabledItems() const { return target.EnabledAmong(ManagedItemKeys()); }
  std::set<int> EnabledUnits() const { return target.EnabledAmong(UnitKeys()); }

  FakeTarget target;
  Composer composer{target};
};

TEST_F(ComposerTest, AmplitudeSweepTriggerSequence) {
  composer.HandleKey(3);  // "A路扫幅"
  EXPECT_EQ(EnabledItems(), AsSet(ItemsForFunction(3)));
  EXPECT_EQ(EnabledItems().size(), 9u);
  EXPECT_EQ(EnabledUnits(), AsSet(UnitKeys())) << "a function key leaves the units alone";
  EXPECT_EQ(target.line, u"ASWP");

  composer.HandleKey(112);  // "："
  EXPECT_EQ(target.line, u"ASWP:");
  EXPECT_EQ(EnabledItems().size(), 9u);
  EXPECT_EQ(EnabledUnits().size(), 18u);

  composer.HandleKey(44);  // "单次触发", no unit group
  EXPECT_TRUE(EnabledUnits().empty());
  EXPECT_EQ(target.line, u"ASWP:TRIGG");

  composer.HandleKey(21);  // "A路频率", frequency units
  EXPECT_EQ(EnabledUnits(), (std::set<int>{128, 129, 130, 131}));
  EXPECT_EQ(target.line, u"ASWP:TRIGGAFREQ");
  EXPECT_EQ(EnabledItems(), AsSet(ItemsForFunction(3))) << "an item key leaves the items alone";
}

TEST_F(ComposerTest, SameFunctionTwiceAppendsTwiceWithSameAvailability) {
  composer.HandleKey(0);
  const std::set<int> first = EnabledItems();
  composer.HandleKey(0);
  EXPECT_EQ(target.line, u"CHACHA");
  EXPECT_EQ(EnabledItems(), first);
}

TEST_F(ComposerTest, FunctionKeyAfterItemKeyKeepsTheUnits) {
  composer.HandleKey(0);
  composer.HandleKey(28);  // "A路偏移": Vdc and mVdc
  EXPECT_EQ(EnabledUnits(), (std::set<int>{132, 145}));
  composer.HandleKey(1);
  EXPECT_EQ(EnabledUnits(), (std::set<int>{132, 145}));
  EXPECT_EQ(EnabledItems(), AsSet(ItemsForFunction(1)));
}

TEST_F(ComposerTest, UnitGroupNeverCarriesOver) {
  composer.HandleKey(22);  // "峰峰值", group 1
  EXPECT_EQ(EnabledUnits(), (std::set<int>{133, 134}));
  EXPECT_EQ(composer.CurrentUnitGroup(), kNoUnitGroup);
  composer.HandleKey(43);  // "单次猝发", no group: every unit greyed
  EXPECT_TRUE(EnabledUnits().empty());

  // A group stored without a key press is consumed by the next item key only.
  composer.SetCurrentUnitGroup(0);
  composer.HandleKey(96);
  EXPECT_EQ(composer.CurrentUnitGroup(), kNoUnitGroup);
  composer.HandleKey(44);
  EXPECT_TRUE(EnabledUnits().empty());
}

TEST_F(ComposerTest, TypedTextStaysAndKeyTextGoesToTheEnd) {
  target.line = u"88中 typed";
  composer.HandleKey(96);
  EXPECT_EQ(target.line, u"88中 typed7");
  composer.HandleKey(26);
  EXPECT_EQ(target.line, u"88中 typed7VRMS");
  EXPECT_EQ(EnabledUnits(), (std::set<int>{135, 136}));
  composer.HandleKey(135);
  EXPECT_EQ(target.line, u"88中 typed7VRMSVrms");
}

TEST_F(ComposerTest, FirstKeyOfAnotherClassTouchesNoAvailability) {
  for (int code : {105, 106, 113, 133}) composer.HandleKey(code);
  EXPECT_EQ(target.line, u"0.?Vpp");
  EXPECT_TRUE(target.touched.empty());
}

TEST_F(ComposerTest, CodesWithoutTextAppendNothing) {
  target.line = u"CHA";
  composer.HandleKey(11);  // a function code without text or row
  EXPECT_EQ(target.line, u"CHA");
  EXPECT_TRUE(EnabledItems().empty()) << "a function code without a row greys every item";
  EXPECT_EQ(target.writes, 1) << "the line is written back even when nothing is appended";

  target.touched.clear();
  for (int code : {-7, 16, 90, 110, 120, 146, 9999}) composer.HandleKey(code);
  EXPECT_EQ(target.line, u"CHA");
  EXPECT_TRUE(target.touched.empty());
}

TEST_F(ComposerTest, ItemWithoutButtonUsesItsGroup) {
  composer.HandleKey(55);  // "DEPTH", group 9
  EXPECT_EQ(EnabledUnits(), (std::set<int>{144}));
  EXPECT_EQ(target.line, u"DEPTH");
}

}  // namespace
}  // namespace zrt::compose
