// Where a sweep is expected to be, from its settings.
#include "settings/sweep_plan.h"

#include <gtest/gtest.h>

namespace zrt::settings {
namespace {

std::optional<SweepPlan> Plan(std::initializer_list<const char*> lines) {
  InstrumentSettings known;
  for (const char* line : lines) known.RecordReply(line, "OK");
  return PlanOf(known, std::string_view(*lines.begin()).substr(0, 4));
}

TEST(SweepPlan, WhereTheSweepIsExpected) {
  // 100 Hz to 1 kHz in 9 steps of 0.5 s; 5 Vpp down to 1 Vpp, its last step short.
  const auto up = Plan({"FSWP:STARF100Hz", "FSWP:STOPF1kHz", "FSWP:STEPF100Hz", "FSWP:INTVL500mS"});
  const auto down = Plan({"ASWP:STARA5Vpp", "ASWP:STOPA1Vpp", "ASWP:STEPA1.5Vpp", "ASWP:INTVL1S"});
  ASSERT_TRUE(up && down);
  struct Case {
    const SweepPlan& plan;
    double elapsed;
    bool repeating;
    double value;
    double done;
  };
  for (const Case& c : {Case{*up, 0, false, 100, 0}, Case{*up, 0.49, false, 100, 0.49 / 4.5},
                        Case{*up, 0.5, false, 200, 0.5 / 4.5}, Case{*up, 60, false, 1000, 1},
                        Case{*up, 4.75, true, 100, 0.25 / 4.5}, Case{*down, 2, false, 2, 2 / 3.0},
                        Case{*down, 3, false, 1, 1}}) {
    EXPECT_DOUBLE_EQ(c.plan.ValueAt(c.elapsed, c.repeating), c.value) << c.elapsed;
    EXPECT_NEAR(c.plan.DoneAt(c.elapsed, c.repeating), c.done, 1e-12) << c.elapsed;
  }
}

TEST(SweepPlan, NoneWhileAnythingIsUnknownOrEndless) {
  EXPECT_FALSE(Plan({"FSWP:STARF100Hz", "FSWP:STOPF1kHz", "FSWP:INTVL1S"}));
  EXPECT_FALSE(Plan({"FSWP:STARF100Hz", "FSWP:STOPF1kHz", "FSWP:STEPF0Hz", "FSWP:INTVL1S"}));
  EXPECT_FALSE(Plan({"FSWP:STARF0Hz", "FSWP:STOPF100MHz", "FSWP:STEPF1mHz", "FSWP:INTVL1S"}));
  EXPECT_FALSE(Plan({"CHA:AFREQ1kHz"}));
}

}  // namespace
}  // namespace zrt::settings
