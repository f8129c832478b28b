#include "scpi/values.h"

#include <optional>

namespace zrt::scpi {
namespace {

struct Suffix {
  Command command;
  std::string_view text;
  double factor;
  std::optional<AmplitudeUnit> amplitude;  // the unit it gives an amplitude
};

// SCPI's suffixes (SCPI-99, 7.4): MHZ and MAHZ are both megahertz, as is
// the rule for hertz; MV is millivolt.
constexpr Suffix kSuffixes[] = {
    {Command::Frequency, "HZ", 1, {}},
    {Command::Frequency, "KHZ", 1e3, {}},
    {Command::Frequency, "MHZ", 1e6, {}},
    {Command::Frequency, "MAHZ", 1e6, {}},
    {Command::Amplitude, "V", 1, {}},
    {Command::Amplitude, "MV", 1e-3, {}},
    {Command::Amplitude, "VPP", 1, AmplitudeUnit::Vpp},
    {Command::Amplitude, "MVPP", 1e-3, AmplitudeUnit::Vpp},
    {Command::Amplitude, "VRMS", 1, AmplitudeUnit::Vrms},
    {Command::Amplitude, "MVRMS", 1e-3, AmplitudeUnit::Vrms},
    {Command::Offset, "V", 1, {}},
    {Command::Offset, "MV", 1e-3, {}},
    {Command::Phase, "DEG", 1, {}},
    {Command::DutyCycle, "PCT", 1, {}},
};

}  // namespace

std::variant<Value, Error> ValueOf(Command command, std::string_view parameter,
                                   AmplitudeUnit unit) {
  if (command == Command::Output) {
    const auto on = ReadBoolean(parameter);
    if (!on) return Error{-104, "Data type error"};
    return Value{*on ? 1.0 : 0.0, unit};
  }
  const auto number = ReadNumeric(parameter);
  if (!number) return Error{-104, "Data type error"};
  if (number->suffix.empty()) return Value{number->value, unit};
  for (const Suffix& suffix : kSuffixes) {
    if (suffix.command == command && suffix.text == number->suffix) {
      return Value{number->value * suffix.factor, suffix.amplitude.value_or(unit)};
    }
  }
  return Error{-131, "Invalid suffix"};
}

}  // namespace zrt::scpi
