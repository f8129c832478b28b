#include "scpi/parameters.h"

#include <cctype>
#include <cmath>

#include "scpi/blanks.h"
#include "settings/numbers.h"

namespace zrt::scpi {
namespace {

bool IsDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

}  // namespace

std::variant<std::vector<std::string>, Error> SplitParameters(std::string_view parameters) {
  std::vector<std::string> split;
  if (Trimmed(parameters).empty()) return split;
  std::size_t start = 0;
  char quote = 0;
  for (std::size_t i = 0; i <= parameters.size(); ++i) {
    const char c = i < parameters.size() ? parameters[i] : ',';
    if (quote) {
      if (c == quote) quote = 0;
      continue;
    }
    if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == ',') {
      const std::string_view one = Trimmed(parameters.substr(start, i - start));
      if (one.empty()) return Error{-109, "Missing parameter"};
      split.emplace_back(one);
      start = i + 1;
    }
  }
  return split;
}

std::optional<Numeric> ReadNumeric(std::string_view text) {
  text = Trimmed(text);
  // An exponent: E, a sign, digits; an E without digits begins a suffix.
  const auto number = settings::ScanNumber(text);
  if (!number) return std::nullopt;
  const double value = number->value;
  std::string_view rest = Trimmed(text.substr(number->length));
  std::string suffix;
  for (char c : rest) {
    if (!std::isalpha(static_cast<unsigned char>(c))) return std::nullopt;
    suffix += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return Numeric{value, suffix};
}

bool IsCharacterData(std::string_view text, std::string_view mnemonic) {
  text = Trimmed(text);
  std::string shortForm;
  for (char c : mnemonic) {
    if (std::isupper(static_cast<unsigned char>(c)) || IsDigit(c)) shortForm += c;
  }
  auto same = [&](std::string_view form) {
    if (form.size() != text.size()) return false;
    for (std::size_t i = 0; i < form.size(); ++i) {
      if (std::toupper(static_cast<unsigned char>(text[i])) !=
          std::toupper(static_cast<unsigned char>(form[i]))) {
        return false;
      }
    }
    return true;
  };
  return same(mnemonic) || same(shortForm);
}

std::optional<Special> ReadSpecial(std::string_view text) {
  if (IsCharacterData(text, "MINimum")) return Special::Minimum;
  if (IsCharacterData(text, "MAXimum")) return Special::Maximum;
  if (IsCharacterData(text, "DEFault")) return Special::Default;
  return std::nullopt;
}

std::optional<bool> ReadBoolean(std::string_view text) {
  if (IsCharacterData(text, "ON")) return true;
  if (IsCharacterData(text, "OFF")) return false;
  const auto number = ReadNumeric(text);
  if (!number || !number->suffix.empty()) return std::nullopt;
  return std::lround(number->value) != 0;
}

}  // namespace zrt::scpi
