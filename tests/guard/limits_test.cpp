// The limits file: read whole, written back, and refused with the line and
// why whenever it does not limit what it seems to.
#include "guard/limits.h"

#include <gtest/gtest.h>

namespace zrt::guard {
namespace {

Limits Lab() {
  Limits limits;
  limits.a = {10e6, 5, -3, 3};
  limits.b = {1e6, 2, std::nullopt, std::nullopt};
  return limits;
}

TEST(LimitsFile, ReadAndWrittenBack) {
  const auto read = ReadLimits(
      "; the lab's amplifier\n[A]\nmax_frequency_hz = 10e6\nmax_amplitude_vpp=5\r\n"
      "min_offset_v = -3\nmax_offset_v = 3\n\n[B]\n# a frequency and an amplitude\n"
      "max_frequency_hz = 1000000\nmax_amplitude_vpp = 2");
  ASSERT_TRUE(std::holds_alternative<Limits>(read)) << std::get<std::string>(read);
  EXPECT_EQ(std::get<Limits>(read), Lab());
  EXPECT_EQ(std::get<Limits>(ReadLimits(WriteLimits(Lab()))), Lab());
}

// Nothing read is ever taken for "no limits".
TEST(LimitsFile, WhatDoesNotLimitIsRefused) {
  const std::pair<const char*, const char*> faults[] = {
      {"", "no limit is set"},
      {"; only a comment\n", "no limit is set"},
      {"[A]\n[B]\n", "no limit is set"},
      {"max_frequency_hz = 1", "line 1: a key stands under [A] or [B]"},
      {"[C]", "line 1: a section is [A] or [B]"},
      {"[A]\nmax_freq = 1", "line 2: unknown key 'max_freq'"},
      {"[A]\nmax_offset_v = three", "line 2: 'three' is not a number"},
      {"[A]\nmax_offset_v =", "line 2: '' is not a number"},
      {"[A]\nmax_offset_v", "line 2: expected KEY = VALUE"},
      {"[A]\nmax_offset_v = inf", "line 2: 'inf' is not a number"},
      {"[B]\nmin_offset_v = 1\nmax_offset_v = -1", "[B]: min_offset_v is above max_offset_v"},
  };
  for (const auto& [text, why] : faults) {
    const auto fault = ReadLimits(text);
    ASSERT_TRUE(std::holds_alternative<std::string>(fault)) << text;
    EXPECT_TRUE(std::get<std::string>(fault).starts_with(why)) << std::get<std::string>(fault);
  }
}

}  // namespace
}  // namespace zrt::guard
