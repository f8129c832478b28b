#include "settings/sweep_plan.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace zrt::settings {
namespace {

// The items of each sweep: start, stop, step; the interval is common.
struct SweepItems {
  std::string_view function;
  std::string_view start;
  std::string_view stop;
  std::string_view step;
};
constexpr SweepItems kSweeps[] = {
    {"FSWP", "STARF", "STOPF", "STEPF"},
    {"ASWP", "STARA", "STOPA", "STEPA"},
};
constexpr std::string_view kInterval = "INTVL";
constexpr int kMostSteps = 1'000'000;  // beyond it, no sweep anyone waits for

std::optional<double> Known(const InstrumentSettings& known, std::string_view function,
                            std::string_view item) {
  const Setting* setting = known.Find(function, item);
  const Value* value = setting ? setting->Fresh() : nullptr;
  return value ? std::optional(value->number) : std::nullopt;
}

}  // namespace

double SweepPlan::DoneAt(double elapsed, bool repeating) const {
  const double seconds = Seconds();
  if (seconds <= 0 || elapsed <= 0) return 0;
  if (repeating) return std::fmod(elapsed, seconds) / seconds;
  return std::min(elapsed / seconds, 1.0);
}

double SweepPlan::ValueAt(double elapsed, bool repeating) const {
  // The value holds for an interval, then moves on by a step.
  const int at = static_cast<int>(DoneAt(elapsed, repeating) * steps + 1e-9);
  const double moved = std::min(at * step, std::abs(stop - start));
  return start + (stop >= start ? moved : -moved);
}

std::optional<SweepPlan> PlanOf(const InstrumentSettings& known, std::string_view function) {
  for (const SweepItems& items : kSweeps) {
    if (items.function != function) continue;
    const auto start = Known(known, function, items.start);
    const auto stop = Known(known, function, items.stop);
    const auto step = Known(known, function, items.step);
    const auto interval = Known(known, function, kInterval);
    if (!start || !stop || !step || !interval || *step <= 0 || *interval <= 0) return std::nullopt;
    const double steps = std::ceil(std::abs(*stop - *start) / *step - 1e-9);
    if (steps > kMostSteps) return std::nullopt;
    return SweepPlan{*start, *stop, *step, *interval, static_cast<int>(steps)};
  }
  return std::nullopt;
}

}  // namespace zrt::settings
