#include "settings/units.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>

#include "settings/numbers.h"

namespace zrt::settings {
namespace {

constexpr std::array kUnits{
    Unit{"MHz", 0, 1e6}, Unit{"kHz", 0, 1e3},    Unit{"Hz", 0, 1},   Unit{"mHz", 0, 1e-3},
    Unit{"Vpp", 1, 1},   Unit{"mVpp", 1, 1e-3},  Unit{"Vrms", 2, 1}, Unit{"mVrms", 2, 1e-3},
    Unit{"S", 3, 1},     Unit{"mS", 3, 1e-3},    Unit{"TIME", 4, 1}, Unit{"CYCL", 5, 1},
    Unit{"DEG", 6, 1},   Unit{"dB", 7, 1},       Unit{"No.", 8, 1},  Unit{"%", 9, 1},
    Unit{"Vdc", 10, 1},  Unit{"mVdc", 10, 1e-3},
};

constexpr std::array<std::string_view, 11> kBaseUnits{
    "Hz", "V", "Vrms", "s", "times", "cycles", "degrees", "dB", "No.", "%", "V"};

bool SameLetters(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) ==
                  std::toupper(static_cast<unsigned char>(y));
         });
}

}  // namespace

std::span<const Unit> Units() { return kUnits; }

std::string_view BaseUnit(std::uint8_t group) {
  return group < kBaseUnits.size() ? kBaseUnits[group] : std::string_view{};
}

std::optional<double> ReadQuantity(std::string_view text, std::uint8_t group) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  const auto number = ScanNumber(text);
  if (!number) return std::nullopt;
  std::string_view unit = text.substr(number->length);
  while (!unit.empty() && blank(unit.front())) unit.remove_prefix(1);
  if (const auto found = FindUnit(group, unit)) return number->value * found->factor;
  // A prefix alone, as the value fields take it: "10M" is 10 MHz.
  const auto factor = unit.size() == 1 ? PrefixFactor(unit.front()) : std::nullopt;
  if (!factor || BaseUnit(group).empty()) return std::nullopt;
  return number->value * *factor;
}

std::optional<Unit> FindUnit(std::uint8_t group, std::string_view text) {
  if (text.empty()) return Unit{{}, group, 1};
  for (const Unit& unit : kUnits) {
    if (unit.group == group && unit.text == text) return unit;
  }
  for (const Unit& unit : kUnits) {
    if (unit.group == group && SameLetters(unit.text, text)) return unit;
  }
  return std::nullopt;
}

std::string Quantity(double value, std::string_view unit) {
  double shown = value;
  std::string prefix;
  if (unit == "Hz" && std::fabs(value) >= 1e6) {
    shown = value / 1e6, prefix = "M";
  } else if (unit == "Hz" && std::fabs(value) >= 1e3) {
    shown = value / 1e3, prefix = "k";
  }
  return WriteNumber(shown).value_or("?") + " " + prefix + std::string(unit);
}

}  // namespace zrt::settings
