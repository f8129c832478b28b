// A program unit's parameters as SCPI writes them (IEEE 488.2, 7.7):
// decimal numbers in NR1, NR2 or NR3 form with an optional suffix unit
// ("1.5 kHz", "-2.5E-1V"), MINimum, MAXimum and DEFault, booleans and
// character data ("SIN"). What a suffix is worth is the command's to say.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "scpi/message.h"

namespace zrt::scpi {

struct Numeric {
  double value;
  std::string suffix;  // in upper case; empty when none was written
  bool operator==(const Numeric&) const = default;
};

enum class Special { Minimum, Maximum, Default };

// The parameters, cut at the commas outside quoted strings, each trimmed;
// an empty one is an error (-109 "Missing parameter").
std::variant<std::vector<std::string>, Error> SplitParameters(std::string_view parameters);

// A decimal number with its suffix, or nothing when `text` is not one. At
// most 15 digits are taken, as a double holds them exactly.
std::optional<Numeric> ReadNumeric(std::string_view text);
// MINimum, MAXimum or DEFault in any case.
std::optional<Special> ReadSpecial(std::string_view text);
// ON, OFF, 1 or 0 (a number is true when it rounds to other than 0).
std::optional<bool> ReadBoolean(std::string_view text);
// Whether `text` is the character data `mnemonic` ("SINusoid"), long or
// short, in any case.
bool IsCharacterData(std::string_view text, std::string_view mnemonic);

}  // namespace zrt::scpi
