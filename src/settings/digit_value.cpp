#include "settings/digit_value.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "settings/line_reading.h"
#include "settings/numbers.h"

namespace zrt::settings {
namespace {

constexpr int kHighestDigit = static_cast<int>(kMostDigits) - 1;
constexpr std::int64_t kMostDigitsValue = 999'999'999'999'999;  // kMostDigits nines

std::int64_t Power(int exponent) {
  std::int64_t power = 1;
  for (int i = 0; i < exponent; ++i) power *= 10;
  return power;
}

// The group's units, largest first, as the unit grid lists them.
std::optional<Unit> LargestUnit(std::uint8_t group) {
  for (const Unit& unit : Units()) {
    if (unit.group == group) return unit;
  }
  return std::nullopt;
}

}  // namespace

DigitValue::DigitValue(std::uint8_t group, bool hasSign)
    : unit_(LargestUnit(group).value_or(Unit{{}, group, 1})), hasSign_(hasSign) {}

void DigitValue::SetBase(double base) {
  if (!std::isfinite(base) || (!hasSign_ && base < 0)) return;
  if (!unitChosen_) {
    // The largest unit in which it is whole, else the smallest; 0 in the
    // base unit.
    for (const Unit& unit : Units()) {
      if (unit.group != unit_.group) continue;
      unit_ = unit;
      const double shown = base / unit.factor;
      const double whole = std::round(shown);
      if (base == 0 ? unit.factor == 1
                    : whole != 0 && std::abs(shown - whole) <= 1e-9 * std::abs(shown)) {
        break;
      }
    }
  }
  Place(base);
}

bool DigitValue::Place(double base) {
  const double shown = base / unit_.factor;
  for (int decimals = 0; decimals <= kMostDecimals; ++decimals) {
    const double scaled = shown * static_cast<double>(Power(decimals));
    if (std::abs(scaled) > static_cast<double>(kMostDigitsValue)) return false;
    const double whole = std::round(scaled);
    if (std::abs(scaled - whole) <= 1e-6 * std::max(1.0, std::abs(scaled)) ||
        decimals == kMostDecimals) {
      digits_ = static_cast<std::int64_t>(whole);
      decimals_ = decimals;
      return true;
    }
  }
  return false;
}

bool DigitValue::SetNumber(std::string_view number) {
  std::string_view rest = number;
  const bool negative = !rest.empty() && rest.front() == '-';
  if (negative) rest.remove_prefix(1);
  if (negative && !hasSign_) return false;
  std::int64_t digits = 0;
  int decimals = -1;  // none: no point yet
  int count = 0;
  for (char c : rest) {
    if (c == '.' && decimals < 0) {
      decimals = 0;
      continue;
    }
    if (c < '0' || c > '9') return false;
    if (++count > static_cast<int>(kMostDigits)) return false;
    digits = digits * 10 + (c - '0');
    if (decimals >= 0) ++decimals;
  }
  if (count == 0 || decimals > kMostDecimals) return false;
  digits_ = negative ? -digits : digits;
  decimals_ = std::max(decimals, 0);
  return true;
}

void DigitValue::UseUnit(const Unit& unit) {
  if (unit.group != unit_.group) return;
  const double base = Base();
  unit_ = unit;
  unitChosen_ = true;
  Place(base);
}

double DigitValue::Base() const {
  return static_cast<double>(digits_) / static_cast<double>(Power(decimals_)) * unit_.factor;
}

std::string DigitValue::Written(std::int64_t digits, int leading, int decimals) const {
  std::string text = std::to_string(std::llabs(digits)) +
                     std::string(static_cast<std::size_t>(std::max(decimals - decimals_, 0)), '0');
  decimals = std::max(decimals, decimals_);
  // At least one digit before the point, and `leading` in all.
  const std::size_t before = static_cast<std::size_t>(std::max(leading, 1) + decimals);
  if (text.size() < before) text = std::string(before - text.size(), '0') + text;
  if (decimals > 0) text.insert(text.size() - static_cast<std::size_t>(decimals), ".");
  return digits < 0 ? "-" + text : text;
}

std::string DigitValue::Number() const { return Written(digits_, 1, decimals_); }

std::string DigitValue::Shown() const { return Written(digits_, digit_ + 1, -digit_); }

void DigitValue::ChooseDigit(int power) {
  digit_ = std::clamp(power, -kMostDecimals, kHighestDigit);
}

void DigitValue::Widen(int decimals) {
  if (decimals <= decimals_) return;
  const std::int64_t factor = Power(decimals - decimals_);
  if (std::llabs(digits_) > kMostDigitsValue / factor) return;  // no room for them
  digits_ *= factor;
  decimals_ = decimals;
}

std::size_t DigitValue::DigitIndex() const {
  const std::string shown = Shown();
  const std::size_t point = shown.find('.');
  const std::size_t units = (point == std::string::npos ? shown.size() : point) - 1;
  return digit_ >= 0 ? units - static_cast<std::size_t>(digit_)
                     : units + 1 + static_cast<std::size_t>(-digit_);
}

int DigitValue::DigitAt(std::size_t index) const {
  const std::string shown = Shown();
  const std::size_t first = digits_ < 0 ? 1 : 0;
  index = std::clamp(index, first, shown.size() - 1);
  const std::size_t point = shown.find('.');
  const std::size_t units = (point == std::string::npos ? shown.size() : point) - 1;
  if (index <= units) return static_cast<int>(units - index);
  return -static_cast<int>(index - units - 1 + (index == point ? 1 : 0));
}

bool DigitValue::Passes(std::int64_t digits, const Guard& guard) const {
  return !guard || !guard(Written(digits, 1, decimals_), unit_.text);
}

DigitValue::Step DigitValue::StepBy(int count, int shift, const Guard& guard) {
  const int power = std::clamp(digit_ + shift, -kMostDecimals, kHighestDigit);
  Widen(std::max(decimals_, -power));
  if (power + decimals_ < 0 || power + decimals_ > kHighestDigit) return {};
  const std::int64_t unit = Power(power + decimals_);
  std::int64_t wanted = digits_ + static_cast<std::int64_t>(count) * unit;
  wanted = std::clamp(wanted, hasSign_ ? -kMostDigitsValue : 0, kMostDigitsValue);
  if (wanted == digits_) return {};
  Step step;
  if (!Passes(wanted, guard)) {
    // The furthest value toward the one wanted that the guard lets through.
    step.stoppedBy = guard(Written(wanted, 1, decimals_), unit_.text);
    if (!Passes(digits_, guard)) return step;  // already beyond: no step goes further
    std::int64_t through = digits_;
    std::int64_t beyond = wanted;
    while (std::llabs(beyond - through) > 1) {
      const std::int64_t middle = through + (beyond - through) / 2;
      (Passes(middle, guard) ? through : beyond) = middle;
    }
    wanted = through;
  }
  step.moved = wanted != digits_;
  digits_ = wanted;
  return step;
}

bool DigitValue::Type(char key) {
  if (key == '.') {
    typed_ += key;
    ChooseDigit(-1);
    return true;
  }
  // A sign begins a number of its own ("-2" on -1.5 is -2, not 2.5), and
  // what follows it is typed as into an empty field.
  if (key == '-') return hasSign_ && typed_.empty() && TypeNew(key);
  if (typingNew_) return TypeNew(key);
  if (key < '0' || key > '9') return false;
  typed_ += key;
  Widen(std::max(decimals_, -digit_));
  if (digit_ + decimals_ < 0) return true;  // no room for another decimal
  const std::int64_t place = Power(digit_ + decimals_);
  const std::int64_t size = std::llabs(digits_);
  const std::int64_t old = size / place % 10;
  const std::int64_t changed = size + (key - '0' - old) * place;
  if (changed <= kMostDigitsValue) digits_ = digits_ < 0 ? -changed : changed;
  ChooseDigit(digit_ - 1);
  return true;
}

bool DigitValue::TypeNew(char key) {
  const bool number = (key >= '0' && key <= '9') || key == '.' || (key == '-' && typed_.empty());
  if (!number) return false;
  std::string typed = typed_ + key;
  const char last = typed.back();
  if (!SetNumber(last == '.' || last == '-' ? typed + "0" : typed)) return false;
  typed_ = std::move(typed);
  typingNew_ = true;
  digit_ = 0;
  return true;
}

bool DigitValue::ApplyPrefix(char prefix) {
  const auto prefixed = PrefixFactor(prefix);
  const auto typed = ScanNumber(typed_);
  if (!prefixed || !typed) return false;
  const double factor = *prefixed;
  digit_ = 0;
  for (const Unit& unit : Units()) {
    if (unit.group == unit_.group && unit.factor == factor) {
      const Unit before = unit_;
      unit_ = unit;
      if (!SetNumber(typed_)) {
        unit_ = before;
        return false;
      }
      unitChosen_ = true;
      ForgetTyped();
      return true;
    }
  }
  const double base = typed->value * factor;
  ForgetTyped();
  const bool chosen = unitChosen_;
  unitChosen_ = false;
  SetBase(base);
  unitChosen_ = chosen;
  return true;
}

}  // namespace zrt::settings
