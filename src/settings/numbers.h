// Numbers as the panel reads and writes them everywhere: in command lines,
// in replies, in SCPI parameters, in what the operator types into a value
// field or the Limits dialog, and in files. One reader of a number's digits
// and one writer, so that a value reads the same wherever it is typed and
// is written the same wherever it goes.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace zrt::settings {

// The most significant digits a value has: as many as the instrument's
// lines are read with, and as a double holds exactly.
inline constexpr std::size_t kMostDigits = 15;

struct ScannedNumber {
  double value = 0;
  std::size_t length = 0;  // of the number's text, from the start
};

struct NumberForm {
  bool plus = true;      // a leading '+' is taken
  bool exponent = true;  // "1.5E3"; an E without digits is left to what follows
};

// The number at the start of `text`: an optional sign, digits with at most
// one point ("5." and ".5" too), and an exponent where the form takes one.
// Nothing without a digit or with more than kMostDigits of them.
std::optional<ScannedNumber> ScanNumber(std::string_view text, NumberForm form = {});

// What an SI prefix is worth: M, k (or K), m, u; nothing for another.
std::optional<double> PrefixFactor(char prefix);

enum class Notation {
  Plain,  // as a person writes it: "10000000", "0.5"; "1e-06" and "1e+20" at the far ends
  Fixed,  // never an exponent, as the instrument's lines are written
};

// The fewest digits that read back as `value` rounded to kMostDigits
// significant digits (so -700 mV scaled to volts is "-0.7", not
// "-0.7000000000000001"); "0" for either zero. Nothing for a value that is
// not finite.
std::optional<std::string> WriteNumber(double value, Notation notation = Notation::Plain);

}  // namespace zrt::settings
