#include "scpi/values.h"

#include <optional>

namespace zrt::scpi {
namespace {

struct Suffix {
  Quantity quantity;
  std::string_view text;
  double factor;
  std::optional<AmplitudeUnit> amplitude;  // the unit it gives an amplitude
};

// SCPI's suffixes (SCPI-99, 7.4): MHZ and MAHZ are both megahertz, as is
// the rule for hertz; MV is millivolt.
using enum Quantity;
constexpr Suffix kSuffixes[] = {
    {Frequency, "HZ", 1, {}},
    {Frequency, "KHZ", 1e3, {}},
    {Frequency, "MHZ", 1e6, {}},
    {Frequency, "MAHZ", 1e6, {}},
    {Rate, "HZ", 1, {}},
    {Rate, "KHZ", 1e3, {}},
    {Amplitude, "V", 1, {}},
    {Amplitude, "MV", 1e-3, {}},
    {Amplitude, "VPP", 1, AmplitudeUnit::Vpp},
    {Amplitude, "MVPP", 1e-3, AmplitudeUnit::Vpp},
    {Amplitude, "VRMS", 1, AmplitudeUnit::Vrms},
    {Amplitude, "MVRMS", 1e-3, AmplitudeUnit::Vrms},
    {Voltage, "V", 1, {}},
    {Voltage, "MV", 1e-3, {}},
    {Phase, "DEG", 1, {}},
    {Percent, "PCT", 1, {}},
    {Time, "S", 1, {}},
    {Time, "MS", 1e-3, {}},
    {Time, "US", 1e-6, {}},
};

}  // namespace

std::variant<Value, Error> ValueOf(Quantity quantity, std::string_view parameter,
                                   AmplitudeUnit unit) {
  if (quantity == Quantity::Boolean) {
    const auto on = ReadBoolean(parameter);
    if (!on) return Error{-104, "Data type error"};
    return Value{*on ? 1.0 : 0.0, unit};
  }
  const auto number = ReadNumeric(parameter);
  if (!number) return Error{-104, "Data type error"};
  if (number->suffix.empty()) return Value{number->value, unit};
  for (const Suffix& suffix : kSuffixes) {
    if (suffix.quantity == quantity && suffix.text == number->suffix) {
      return Value{number->value * suffix.factor, suffix.amplitude.value_or(unit)};
    }
  }
  return Error{-131, "Invalid suffix"};
}

}  // namespace zrt::scpi
