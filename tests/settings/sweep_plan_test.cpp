// Where a sweep is expected to be, from its settings.
#include "settings/sweep_plan.h"

#include <gtest/gtest.h>

namespace zrt::settings {
namespace {

InstrumentSettings Known(std::initializer_list<const char*> lines) {
  InstrumentSettings known;
  for (const char* line : lines) known.RecordReply(line, "OK");
  return known;
}

TEST(SweepPlan, FromItsSettings) {
  const auto plan = PlanOf(
      Known({"FSWP:STARF100Hz", "FSWP:STOPF1kHz", "FSWP:STEPF100Hz", "FSWP:INTVL500mS"}), "FSWP");
  ASSERT_TRUE(plan);
  EXPECT_EQ(plan->steps, 9);
  EXPECT_DOUBLE_EQ(plan->Seconds(), 4.5);
  struct Case {
    double elapsed;
    bool repeating;
    double value;
    double done;
  };
  for (const Case c : {Case{0, false, 100, 0}, Case{0.49, false, 100, 0.49 / 4.5},
                       Case{0.5, false, 200, 0.5 / 4.5}, Case{4.5, false, 1000, 1},
                       Case{60, false, 1000, 1}, Case{4.75, true, 100, 0.25 / 4.5}}) {
    EXPECT_DOUBLE_EQ(plan->ValueAt(c.elapsed, c.repeating), c.value) << c.elapsed;
    EXPECT_NEAR(plan->DoneAt(c.elapsed, c.repeating), c.done, 1e-12) << c.elapsed;
  }
}

TEST(SweepPlan, DownwardsAndAShortLastStep) {
  const auto plan = PlanOf(
      Known({"ASWP:STARA5Vpp", "ASWP:STOPA1Vpp", "ASWP:STEPA1.5Vpp", "ASWP:INTVL1S"}), "ASWP");
  ASSERT_TRUE(plan);
  EXPECT_EQ(plan->steps, 3);
  EXPECT_DOUBLE_EQ(plan->ValueAt(2, false), 2);
  EXPECT_DOUBLE_EQ(plan->ValueAt(3, false), 1);
}

TEST(SweepPlan, NoneWhileAnythingIsUnknownOrEndless) {
  EXPECT_FALSE(PlanOf(Known({"FSWP:STARF100Hz", "FSWP:STOPF1kHz", "FSWP:INTVL1S"}), "FSWP"));
  EXPECT_FALSE(PlanOf(Known({"FSWP:STARF100Hz", "FSWP:STOPF1kHz", "FSWP:STEPF0Hz", "FSWP:INTVL1S"}),
                      "FSWP"));
  EXPECT_FALSE(PlanOf(
      Known({"FSWP:STARF0Hz", "FSWP:STOPF100MHz", "FSWP:STEPF1mHz", "FSWP:INTVL1S"}), "FSWP"));
  EXPECT_FALSE(PlanOf(Known({}), "CHA"));
}

}  // namespace
}  // namespace zrt::settings
