// Numbers read and written the one way everywhere: what each form takes,
// where a number ends, prefixes, and the shortest exact form written.
#include "settings/numbers.h"

#include <gtest/gtest.h>

#include "settings/units.h"

namespace zrt::settings {
namespace {

TEST(Numbers, ScannedWhereTheyStandAndNoFurther) {
  const NumberForm lines{.plus = true, .exponent = false};
  struct Case {
    const char* text;
    NumberForm form;
    std::optional<double> value;
    std::size_t length = 0;
  } cases[] = {
      {"1000Hz", {}, 1000, 4},
      {"-0.5Vdc", {}, -0.5, 4},
      {"+2", {}, 2, 2},
      {"5.", {}, 5, 2},      // as the keys write it
      {".25", {}, 0.25, 3},  // as a person may type it
      {"-.5", {}, -0.5, 3},
      {"1.5E3", {}, 1500, 5},
      {"1.5e-3x", {}, 0.0015, 6},
      {"2EHZ", {}, 2, 1},  // an E without digits begins a suffix
      {"1E3", lines, 1, 1},
      {"+2", {.plus = false, .exponent = true}, std::nullopt},
      {"123456789012345", {}, 123456789012345.0, 15},
      {"1234567890123456", {}, std::nullopt},  // past the digits a double holds
      {"1e999", {}, std::nullopt},
      {"-", {}, std::nullopt},
      {".", {}, std::nullopt},
      {"1..2", {}, 1, 2},
      {"", {}, std::nullopt},
      {"five", {}, std::nullopt},
  };
  for (const Case& c : cases) {
    const auto scanned = ScanNumber(c.text, c.form);
    ASSERT_EQ(scanned.has_value(), c.value.has_value()) << c.text;
    if (!scanned) continue;
    EXPECT_EQ(scanned->value, *c.value) << c.text;
    EXPECT_EQ(scanned->length, c.length) << c.text;
  }
}

TEST(Numbers, WrittenShortestAndExactToFifteenDigits) {
  struct Case {
    double value;
    Notation notation;
    const char* text;
  } cases[] = {
      {-0.7000000000000001, Notation::Plain, "-0.7"},  // -700 mV scaled to volts
      {0.1 + 0.2, Notation::Plain, "0.3"},
      {10e6, Notation::Plain, "10000000"},
      {1e-6, Notation::Plain, "1e-06"},
      {1e-6, Notation::Fixed, "0.000001"},
      {1e20, Notation::Plain, "1e+20"},
      {123456789.012345, Notation::Fixed, "123456789.012345"},
      {-0.0, Notation::Fixed, "0"},
      {1.0 / 3, Notation::Plain, "0.333333333333333"},
  };
  for (const Case& c : cases) EXPECT_EQ(WriteNumber(c.value, c.notation), c.text) << c.text;
  EXPECT_FALSE(WriteNumber(std::numeric_limits<double>::infinity()));
  // What it writes reads back as the same value.
  for (double value : {1e-6, 2.5e7, -3.75, 0.1, 59999999.999}) {
    const std::string text = *WriteNumber(value);
    EXPECT_EQ(ScanNumber(text)->value, value) << text;
  }
}

TEST(Numbers, QuantitiesTakeAUnitOrAPrefixAlone) {
  constexpr std::uint8_t kHz = 0, kVpp = 1, kVdc = 10, kCount = 8;
  struct Case {
    const char* text;
    std::uint8_t group;
    std::optional<double> base;
  } cases[] = {
      {"10M", kHz, 10e6},           {"10 MHz", kHz, 10e6},  {"10m", kHz, 0.01},
      {"2.5k", kHz, 2500},          {"2.5K", kHz, 2500},    {"500m", kVpp, 0.5},
      {"500 mVpp", kVpp, 0.5},      {" -1.5 ", kVdc, -1.5}, {"-250m", kVdc, -0.25},
      {"1e3", kHz, 1000},           {"3u", kHz, 3e-6},      {"10X", kHz, std::nullopt},
      {"2MHz", kVpp, std::nullopt}, {"3k", kCount, 3000},   {"M", kHz, std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(ReadQuantity(c.text, c.group), c.base) << c.text;
  EXPECT_EQ(Quantity(1100, "Hz"), "1.1 kHz");
  EXPECT_EQ(Quantity(-0.7000000000000001, "V"), "-0.7 V");
}

}  // namespace
}  // namespace zrt::settings
