// What a SCPI setting's parameter is worth in the base unit of the
// instrument's item: a number with a suffix of the command's units
// (HZ, KHZ, MHZ, MAHZ; V, MV, VPP, MVPP, VRMS, MVRMS; DEG; PCT; S, MS,
// US), a boolean for a state. MINimum and MAXimum are the caller's: they are
// answered from the limits.
#pragma once

#include <string_view>
#include <variant>

#include "scpi/commands.h"
#include "scpi/instrument_lines.h"
#include "scpi/message.h"
#include "scpi/parameters.h"

namespace zrt::scpi {

struct Value {
  double number;            // in Hz, V, degrees, %, s, counts or 1/0
  AmplitudeUnit amplitude;  // for an amplitude: as the suffix or the unit set gives it
  bool operator==(const Value&) const = default;
};

// The value `parameter` gives a `quantity`, an amplitude in `unit` unless
// its suffix says otherwise. Errors: -104 "Data type error" (not a number),
// -131 "Invalid suffix" (a unit not the quantity's).
std::variant<Value, Error> ValueOf(Quantity quantity, std::string_view parameter,
                                   AmplitudeUnit unit);

}  // namespace zrt::scpi
