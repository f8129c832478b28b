// Numbers read and written the one way everywhere: where a number ends,
// what each form refuses, prefixes alone, and the shortest exact form.
#include "settings/numbers.h"

#include <gtest/gtest.h>

#include "settings/units.h"

namespace zrt::settings {
namespace {

TEST(Numbers, ScannedWhereTheyStandAndNoFurther) {
  struct Case {
    const char* text;
    NumberForm form;
    std::optional<double> value;
    std::size_t length = 0;
  } cases[] = {
      {"5.", {}, 5, 2},      // as the keys write it
      {"-.5", {}, -0.5, 3},  // as a person may type it
      {"1.5e-3x", {}, 0.0015, 6},
      {"2EHZ", {}, 2, 1},  // an E without digits begins a suffix
      {"1E3", {.plus = true, .exponent = false}, 1, 1},
      {"+2", {.plus = false, .exponent = true}, std::nullopt},
      {"1234567890123456", {}, std::nullopt},  // past the digits a double holds
      {"1e999", {}, std::nullopt},
      {"-", {}, std::nullopt},
      {"1..2", {}, 1, 2},
  };
  for (const Case& c : cases) {
    const auto scanned = ScanNumber(c.text, c.form);
    ASSERT_EQ(scanned.has_value(), c.value.has_value()) << c.text;
    if (!scanned) continue;
    EXPECT_EQ(scanned->value, *c.value) << c.text;
    EXPECT_EQ(scanned->length, c.length) << c.text;
  }
}

TEST(Numbers, WrittenShortestExactToFifteenDigitsAndReadBack) {
  struct Case {
    double value;
    Notation notation;
    const char* text;
  } cases[] = {
      {-0.7000000000000001, Notation::Plain, "-0.7"},  // -700 mV scaled to volts
      {10e6, Notation::Plain, "10000000"},
      {1e-6, Notation::Plain, "1e-06"},
      {1e-6, Notation::Fixed, "0.000001"},
      {-0.0, Notation::Fixed, "0"},
      {1.0 / 3, Notation::Plain, "0.333333333333333"},
  };
  for (const Case& c : cases) EXPECT_EQ(WriteNumber(c.value, c.notation), c.text) << c.text;
  EXPECT_FALSE(WriteNumber(std::numeric_limits<double>::infinity()));
  for (double value : {1e-6, 2.5e7, -3.75, 59999999.999}) {
    EXPECT_EQ(ScanNumber(*WriteNumber(value))->value, value) << "read back as written";
  }
}

TEST(Numbers, QuantitiesTakeAPrefixAloneOfTheirGroup) {
  constexpr std::uint8_t kHz = 0, kVpp = 1, kCount = 8;
  EXPECT_EQ(ReadQuantity("2.5K", kHz), 2500);
  EXPECT_EQ(ReadQuantity("3u", kHz), 3e-6);
  EXPECT_EQ(ReadQuantity("3k", kCount), 3000);
  EXPECT_EQ(ReadQuantity("2MHz", kVpp), std::nullopt) << "a unit of another group";
  EXPECT_EQ(ReadQuantity("M", kHz), std::nullopt);
  EXPECT_EQ(Quantity(-0.7000000000000001, "V"), "-0.7 V");
}

}  // namespace
}  // namespace zrt::settings
