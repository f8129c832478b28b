// The limits as the operator types them: empty fields are no limit, a
// point or the operator's own decimal sign, and a field that is no number.
#include "window/instrument/limits_dialog.h"

#include <gtest/gtest.h>

#include <QLineEdit>

namespace zrt::window {
namespace {

TEST(LimitsDialog, FieldsToLimits) {
  guard::Limits start;
  start.a.maxFrequencyHz = 2e6;
  LimitsDialog dialog(start, Language::English);
  auto field = [&](const char* name) { return dialog.findChild<QLineEdit*>(name); };
  ASSERT_TRUE(field("Limit1A"));
  EXPECT_EQ(field("Limit1A")->text(), "2000000") << "offered as they stand";
  struct Row {
    const char* name;
    const char* text;
    std::optional<double> guard::ChannelLimits::*limit;
    bool b;
    double value;
  } rows[] = {
      {"Limit1A", "", &guard::ChannelLimits::maxFrequencyHz, false, 0},
      {"Limit2B", "2.5", &guard::ChannelLimits::maxAmplitudeVpp, true, 2.5},
      {"Limit3A", " -3 ", &guard::ChannelLimits::minOffsetV, false, -3},
      {"Limit4B", "1e1", &guard::ChannelLimits::maxOffsetV, true, 10},
      // With a unit of the field's own.
      {"Limit1B", "10MHz", &guard::ChannelLimits::maxFrequencyHz, true, 10e6},
      {"Limit2A", "500 mVpp", &guard::ChannelLimits::maxAmplitudeVpp, false, 0.5},
      {"Limit4A", "-250mVdc", &guard::ChannelLimits::maxOffsetV, false, -0.25},
      // Or a prefix alone, as a value field takes it.
      {"Limit1B", "10M", &guard::ChannelLimits::maxFrequencyHz, true, 10e6},
      {"Limit2A", "500m", &guard::ChannelLimits::maxAmplitudeVpp, false, 0.5},
      {"Limit3B", "+1.5", &guard::ChannelLimits::minOffsetV, true, 1.5},
  };
  for (const Row& row : rows) field(row.name)->setText(row.text);
  const auto entered = dialog.Entered();
  ASSERT_TRUE(std::holds_alternative<guard::Limits>(entered));
  const guard::Limits limits = std::get<guard::Limits>(entered);
  EXPECT_FALSE(limits.a.maxFrequencyHz) << "emptied: no limit";
  for (const Row& row : rows) {
    if (!*row.text) continue;
    EXPECT_EQ((row.b ? limits.b : limits.a).*row.limit, row.value) << row.name;
  }
  field("Limit2A")->setText("2MHz");
  EXPECT_EQ(std::get<QString>(dialog.Entered()), "2MHz") << "a unit of another quantity";
  field("Limit2A")->setText("five");
  EXPECT_EQ(std::get<QString>(dialog.Entered()), "five");
  dialog.accept();
  EXPECT_EQ(dialog.result(), QDialog::Rejected) << "a field that is no number keeps it open";
}

}  // namespace
}  // namespace zrt::window
