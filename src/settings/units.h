// The units the key tables offer, by unit group, and what each is worth in
// its group's base unit: Hz, V, V rms, s, counts, degrees, dB or %.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace zrt::settings {

// A sine's peak-to-peak voltage per volt rms (2√2): the largest of the
// shapes' figures, so that a check made with it errs on the safe side.
inline constexpr double kPeakToPeakPerRms = 2.8284271247461903;

struct Unit {
  std::string_view text;  // as its key appends it: "kHz", "mVpp", "No."
  std::uint8_t group;
  double factor;  // the base units one of it is worth
};

// Every unit key's unit, in the unit grid's order within each group.
std::span<const Unit> Units();

// The base unit a group's values are kept in ("Hz", "V", "s"...); empty
// for a group without units.
std::string_view BaseUnit(std::uint8_t group);

// The unit of `group` that `text` names: as written first, then without
// regard to case, the group's larger unit first ("MHZ" is MHz, "MVPP" is
// mVpp since there is no other). A value written without a unit is in
// the base unit.
std::optional<Unit> FindUnit(std::uint8_t group, std::string_view text);

// A quantity as a person types it: a number (a sign, a point, an
// exponent) and a unit of `group` or an SI prefix alone, blanks between or
// around them ("10MHz", "10M", "500 mVpp", "500m", "-2.5"); in the group's
// base unit. Nothing for anything else.
std::optional<double> ReadQuantity(std::string_view text, std::uint8_t group);

// A quantity as a person writes it: "10 MHz", "2.5 Vpp", "-1.2 V" (the
// number as WriteNumber writes it).
std::string Quantity(double value, std::string_view unit);

}  // namespace zrt::settings
