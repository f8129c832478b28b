// A value as the value editor shows and turns it: a decimal number in one
// unit of its item's unit group, with one digit chosen. The digits are kept
// as an integer and a count of decimals, so no step ever drifts (1.1 kHz
// stepped down and up again is 1.1 kHz, not 1.0999999). What it shows is
// what goes out: the number as the digit keys write it and the unit key's
// text.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "settings/units.h"

namespace zrt::settings {

class DigitValue {
 public:
  // Why a value may not be set (a limit, in words), or nothing: it may.
  // Asked with the number and the unit as they would go out.
  using Guard =
      std::function<std::optional<std::string>(std::string_view number, std::string_view unit)>;
  static constexpr int kMostDecimals = 6;

  // A value of `group` (units.h), negative only when `hasSign`. It starts
  // at 0 in the group's largest unit, its units digit chosen.
  DigitValue(std::uint8_t group, bool hasSign);

  // The value from its base-unit figure, in the unit the operator last used
  // (UseUnit), else in the largest unit in which it is a whole number.
  void SetBase(double base);
  // From a number as typed ("1.25", "-3") in the shown unit; false, and
  // nothing changed, for anything else.
  bool SetNumber(std::string_view number);
  // Shows the value in `unit` of the group from now on, as the operator
  // chose it.
  void UseUnit(const Unit& unit);

  double Base() const;
  std::string Number() const;  // "1.10": as the digit keys write it
  // As the field shows it: Number() with 0s out to the chosen digit where
  // it stands beyond the number's own ("05", "1.50").
  std::string Shown() const;
  std::string_view UnitText() const { return unit_.text; }
  std::uint8_t Group() const { return unit_.group; }

  // The chosen digit, by its power of ten in the shown unit (0: units,
  // -1: tenths). One beyond the number's own digits is shown as a 0.
  int Digit() const { return digit_; }
  void ChooseDigit(int power);
  // Where the chosen digit stands in Shown(), from 0.
  std::size_t DigitIndex() const;
  // The digit standing at `index` in Shown(), as ChooseDigit takes it
  // (the sign and the point give the digit beside them).
  int DigitAt(std::size_t index) const;

  struct Step {
    bool moved = false;
    // The step stopped short at a limit: which, in words. A step that
    // would go below zero without a sign stops at zero, unsaid.
    std::optional<std::string> stoppedBy;
  };
  // `count` times the chosen digit, `shift` places to its left (1: ten
  // times it; -1: a tenth). A step that would pass a limit stops at the
  // furthest value the guard lets through.
  Step StepBy(int count, int shift = 0, const Guard& guard = {});

  // Typing: a digit overwrites the chosen one and chooses the next to its
  // right; the point chooses the tenths; a minus sign, first, begins a
  // negative number, typed from there as into an empty field. What was
  // typed since the last ForgetTyped is kept: a prefix after it makes it
  // the value.
  bool Type(char key);
  // Typing into an empty field: what was typed is the number ("12" is 12).
  bool TypeNew(char key);
  // k, M, m or u after typed digits: the typed number times that prefix of
  // the group's base unit, shown in the unit of that size if the group has
  // one. False (nothing changes) with no digits typed or another key.
  bool ApplyPrefix(char prefix);
  void ForgetTyped() {
    typed_.clear();
    typingNew_ = false;
  }

 private:
  // Puts a base-unit value in the shown unit, exactly where it can be.
  bool Place(double base);
  void Widen(int decimals);
  // `digits` with `leading` digits before the point and `decimals` after
  // it, at least, padded with 0s.
  std::string Written(std::int64_t digits, int leading, int decimals) const;
  bool Passes(std::int64_t digits, const Guard& guard) const;

  Unit unit_;
  bool hasSign_;
  bool typingNew_ = false;  // what is typed since ForgetTyped is a number of its own
  bool unitChosen_ = false;
  std::int64_t digits_ = 0;  // the value times 10^decimals_, in unit_
  int decimals_ = 0;
  int digit_ = 0;
  std::string typed_;
};

}  // namespace zrt::settings
