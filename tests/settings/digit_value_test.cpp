// Turning a value digit by digit: exact steps, carries, zero, limits,
// typing and prefixes.
#include "settings/digit_value.h"

#include <gtest/gtest.h>

namespace zrt::settings {
namespace {

constexpr std::uint8_t kFrequency = 0;
constexpr std::uint8_t kAmplitude = 1;
constexpr std::uint8_t kOffset = 10;

// A guard that lets nothing above `most` (in the base unit) through.
DigitValue::Guard Below(double most, std::uint8_t group) {
  return
      [most, group](std::string_view number, std::string_view unit) -> std::optional<std::string> {
        const auto value = ReadQuantity(std::string(number) + std::string(unit), group);
        if (value && *value <= most) return std::nullopt;
        return "above its limit";
      };
}

TEST(DigitValue, StepsEachDigitExactlyAndCarries) {
  struct Case {
    std::uint8_t group;  // with a sign only for the offset
    double start;        // base unit
    int digit;
    int count;
    int shift;
    const char* number;
    const char* unit;
  };
  const Case cases[] = {
      {kFrequency, 1100, 0, -1, 0, "1099", "Hz"},    // borrows across digits
      {kFrequency, 1999, 0, 1, 0, "2000", "Hz"},     // carries across digits
      {kFrequency, 1e6, 0, 1, 0, "2", "MHz"},        // the largest whole unit
      {kFrequency, 1100, -1, 1, 0, "1100.1", "Hz"},  // a decimal appears
      {kFrequency, 1100, 1, 1, 1, "1200", "Hz"},     // Ctrl: ten times the digit
      {kFrequency, 1100, 1, 1, -1, "1101", "Hz"},    // Shift: a tenth of it
      {kFrequency, 5, 1, 1, 0, "15", "Hz"},          // a digit left of the first
      {kFrequency, 3, 0, -5, 0, "0", "Hz"},          // never below zero
      {kFrequency, 0.0015, -1, 1, 0, "1.6", "mHz"},  // below every unit's whole
      {kAmplitude, 0.5, 2, -1, 0, "400", "mVpp"},
      {kOffset, 0.2, 2, -3, 0, "-100", "mVdc"},  // a sign where there is one
  };
  for (const Case& c : cases) {
    DigitValue value(c.group, c.group == kOffset);
    value.SetBase(c.start);
    value.ChooseDigit(c.digit);
    value.StepBy(c.count, c.shift);
    EXPECT_EQ(value.Number(), c.number) << c.start << " at " << c.digit;
    EXPECT_EQ(value.UnitText(), c.unit) << c.start << " at " << c.digit;
  }
}

TEST(DigitValue, NoDriftUpAndDownAgain) {
  DigitValue value(kFrequency, false);
  value.SetBase(1100);
  value.UseUnit(*FindUnit(kFrequency, "kHz"));
  value.ChooseDigit(-3);
  for (int i = 0; i < 1000; ++i) value.StepBy(1);
  for (int i = 0; i < 1000; ++i) value.StepBy(-1);
  EXPECT_EQ(value.Number(), "1.100");
  EXPECT_EQ(value.Base(), 1100);
}

TEST(DigitValue, AStepStopsAtALimitAndSaysWhich) {
  struct Case {
    double start;
    int digit;
    int count;
    double most;
    const char* number;
    bool moved;
    bool stopped;
  };
  const Case cases[] = {
      {9.5e6, 6, 1, 10e6, "10.0", true, true},  // stops on the limit itself
      {9e6, 6, 1, 10e6, "10", true, false},     // lands on it
      {10e6, 6, 1, 10e6, "10", false, true},    // already there
      {12e6, 6, 1, 10e6, "12", false, true},    // beyond already: no further
      {12e6, 6, -5, 10e6, "7", true, false},    // but back within it
  };
  for (const Case& c : cases) {
    DigitValue value(kFrequency, false);
    value.UseUnit(*FindUnit(kFrequency, "MHz"));
    value.SetBase(c.start);
    value.ChooseDigit(c.digit - 6);
    const DigitValue::Step step = value.StepBy(c.count, 0, Below(c.most, kFrequency));
    EXPECT_EQ(value.Number(), c.number) << c.start;
    EXPECT_EQ(step.moved, c.moved) << c.start;
    EXPECT_EQ(step.stoppedBy.has_value(), c.stopped) << c.start;
  }
}

TEST(DigitValue, TypingOverwritesAndAPrefixCommits) {
  struct Case {
    std::uint8_t group;
    double start;
    int digit;
    const char* keys;
    const char* number;
    const char* unit;
  };
  const Case cases[] = {
      {kFrequency, 1100, 3, "25", "2500", "Hz"},
      {kFrequency, 1100, 3, "2.5k", "2.5", "kHz"},
      {kFrequency, 1100, 0, "7m", "7", "mHz"},
      {kFrequency, 1100, 0, "500u", "0.5", "mHz"},  // no micro unit: the smallest
      {kAmplitude, 1, 0, "250m", "250", "mVpp"},
      {kAmplitude, 1, 0, "2k", "2000", "Vpp"},   // no kilo unit: the largest whole
      {kFrequency, 1100, 0, "k", "1100", "Hz"},  // a prefix with no number: a letter
  };
  for (const Case& c : cases) {
    DigitValue value(c.group, false);
    value.SetBase(c.start);
    value.ChooseDigit(c.digit);
    for (const char* key = c.keys; *key; ++key) {
      if (!value.Type(*key)) value.ApplyPrefix(*key);
    }
    EXPECT_EQ(value.Number(), c.number) << c.keys;
    EXPECT_EQ(value.UnitText(), c.unit) << c.keys;
  }
}

// A sign typed first begins a negative number; it never flips the value.
TEST(DigitValue, AMinusBeginsANegativeNumber) {
  const std::pair<const char*, const char*> cases[] = {
      {"-2", "-2"}, {"-2.25", "-2.25"}, {"-", "0"}, {"-500m", "-500"}, {"2-", "-1502"},
  };
  for (const auto& [keys, number] : cases) {
    DigitValue value(kOffset, true);
    value.SetBase(-1.5);
    value.ChooseDigit(0);
    for (const char* key = keys; *key; ++key) {
      if (!value.Type(*key)) value.ApplyPrefix(*key);
    }
    EXPECT_EQ(value.Number(), number) << keys;
  }
  DigitValue unsigned_(kAmplitude, false);
  unsigned_.SetBase(1);
  EXPECT_FALSE(unsigned_.Type('-'));
  EXPECT_EQ(unsigned_.Number(), "1");
}

TEST(DigitValue, TheUnitLastUsedIsKept) {
  DigitValue value(kFrequency, false);
  value.UseUnit(*FindUnit(kFrequency, "kHz"));
  value.SetBase(2000000);
  EXPECT_EQ(value.Number() + std::string(value.UnitText()), "2000kHz");
}

TEST(DigitValue, ThePointerFindsItsDigit) {
  DigitValue value(kOffset, true);
  ASSERT_TRUE(value.SetNumber("-12.34"));
  struct Case {
    std::size_t index;  // under the pointer, in "-12.34"
    int digit;
    std::size_t chosen;  // where the digit chosen then stands
  };
  // The sign gives the first digit, the point the tenths, beyond the last.
  for (const Case c : {Case{0, 1, 1}, Case{2, 0, 2}, Case{3, -1, 4}, Case{40, -2, 5}}) {
    EXPECT_EQ(value.DigitAt(c.index), c.digit) << c.index;
    value.ChooseDigit(value.DigitAt(c.index));
    EXPECT_EQ(value.DigitIndex(), c.chosen) << c.index;
  }
  EXPECT_EQ(value.Shown(), "-12.34");
}

}  // namespace
}  // namespace zrt::settings
