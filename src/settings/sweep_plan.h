// How a sweep runs, as far as its settings are known: from its start to
// its stop in steps, one step each interval. The instrument does not say
// where a sweep is; this says where it is expected to be.
#pragma once

#include <optional>
#include <string_view>

#include "settings/instrument_settings.h"

namespace zrt::settings {

struct SweepPlan {
  double start = 0;  // Hz for a frequency sweep, Vpp for an amplitude sweep
  double stop = 0;
  double step = 0;      // > 0
  double interval = 0;  // seconds a step, > 0
  int steps = 0;        // from start to stop, the last one possibly short

  double Seconds() const { return steps * interval; }
  // Where the sweep is expected to be `elapsed` seconds after it began
  // (a single sweep stays at its stop; `repeating`, it starts again).
  double ValueAt(double elapsed, bool repeating) const;
  // How much of the sweep has gone by then, from 0 to 1.
  double DoneAt(double elapsed, bool repeating) const;
};

// The plan of the sweep function "FSWP" or "ASWP", or nothing while one of
// its start, stop, step or interval is not known (or would never end).
std::optional<SweepPlan> PlanOf(const InstrumentSettings& known, std::string_view function);

}  // namespace zrt::settings
