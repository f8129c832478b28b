#include "settings/numbers.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace zrt::settings {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Where a plain number is written without an exponent, as printf's %g does
// from below and as far as its digits go from above.
constexpr double kPlainFrom = 1e-4;
constexpr double kPlainTo = 1e15;

}  // namespace

std::optional<ScannedNumber> ScanNumber(std::string_view text, NumberForm form) {
  std::size_t at = 0;
  std::string written;  // what from_chars reads: no plus, a point with a digit after it
  if (at < text.size() && (text[at] == '-' || (form.plus && text[at] == '+'))) {
    if (text[at] == '-') written += '-';
    ++at;
  }
  std::size_t digits = 0;
  bool point = false;
  for (; at < text.size(); ++at) {
    if (IsDigit(text[at])) {
      ++digits;
      written += text[at];
    } else if (text[at] == '.' && !point) {
      point = true;
      written += digits == 0 ? "0." : ".";  // ".5" as 0.5
    } else {
      break;
    }
  }
  if (digits == 0 || digits > kMostDigits) return std::nullopt;
  if (written.back() == '.') written += '0';  // "5." as the keys write it
  if (form.exponent && at < text.size() && (text[at] == 'E' || text[at] == 'e')) {
    std::size_t exponent = at + 1;
    if (exponent < text.size() && (text[exponent] == '+' || text[exponent] == '-')) ++exponent;
    const std::size_t first = exponent;
    while (exponent < text.size() && IsDigit(text[exponent])) ++exponent;
    if (exponent > first) {
      written.append(text.substr(at, exponent - at));
      at = exponent;
    }
  }
  double value = 0;
  const auto read = std::from_chars(written.data(), written.data() + written.size(), value);
  if (read.ec != std::errc{} || read.ptr != written.data() + written.size() ||
      !std::isfinite(value)) {
    return std::nullopt;
  }
  return ScannedNumber{value, at};
}

std::optional<double> PrefixFactor(char prefix) {
  switch (prefix) {
    case 'M':
      return 1e6;
    case 'k':
    case 'K':
      return 1e3;
    case 'm':
      return 1e-3;
    case 'u':
      return 1e-6;
    default:
      return std::nullopt;
  }
}

std::optional<std::string> WriteNumber(double value, Notation notation) {
  if (!std::isfinite(value)) return std::nullopt;
  // A value scaled by a prefix carries the scaling's rounding: at most
  // kMostDigits significant digits, as it was written.
  char rounded[32];
  std::snprintf(rounded, sizeof rounded, "%.15g", value);
  value = std::strtod(rounded, nullptr);
  if (value == 0) return "0";
  char digits[400];  // the longest fixed form of a double
  const bool fixed = notation == Notation::Fixed ||
                     (std::fabs(value) >= kPlainFrom && std::fabs(value) < kPlainTo);
  const auto written =
      fixed ? std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed)
            : std::to_chars(digits, digits + sizeof digits, value);
  if (written.ec != std::errc{}) return std::nullopt;
  return std::string(digits, written.ptr);
}

}  // namespace zrt::settings
