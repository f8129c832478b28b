// Lines across each limit, with what else is known.
#include "settings/limits.h"

#include <gtest/gtest.h>

#include <vector>

namespace zrt::settings {
namespace {

Limits Lab() {
  Limits limits;
  limits.a = {10e6, 5, -3, 3};
  limits.b = {1e6, 2, std::nullopt, std::nullopt};
  return limits;
}

struct Crossing {
  const char* line;
  std::optional<Limit> breach;  // none: the line passes
};

TEST(Limits, LinesAcrossEachLimit) {
  InstrumentSettings known;
  known.RecordReply("CHA:VPP:2Vpp", "OK\n");  // the band's check counts it
  known.RecordReply("CHA:AOFFS:0Vdc", "OK\n");
  const Crossing table[] = {
      {"CHA:AFREQ:10MHz", std::nullopt},
      {"CHA:AFREQ:10.001MHz", Limit::MaxFrequency},
      {"88CHA:AFREQ10000001Hz", Limit::MaxFrequency},
      {"CHA:APERD:0.05mS", std::nullopt},            // 20 kHz
      {"CHA:APERD:0.00005mS", Limit::MaxFrequency},  // 20 MHz
      {"FSWP:STOPF:11MHz", Limit::MaxFrequency},     // a sweep's end is channel A's
      {"CHB:BFREQ:1.5MHz", Limit::MaxFrequency},
      {"CHB:BFREQ:999kHz", std::nullopt},
      {"CHA:BFREQ:1.5MHz", Limit::MaxFrequency},  // the item names channel B
      {"SYS:VPP:2.5Vpp", Limit::MaxAmplitude},    // no channel of its own: both count
      {"CHA:VPP:5Vpp", std::nullopt},
      {"CHA:VPP:5001mVpp", Limit::MaxAmplitude},
      {"CHA:VRMS:2Vrms", Limit::MaxAmplitude},  // 5.66 Vpp as a sine
      {"CHB:VPP:2.5Vpp", Limit::MaxAmplitude},
      {"BBURST:CARRA:3Vpp", Limit::MaxAmplitude},
      {"CHA:AOFFS:2Vdc", std::nullopt},  // 2 V plus 1 V is 3 V
      {"CHA:AOFFS:2.5Vdc", Limit::MaxOffset},
      {"CHA:AOFFS:-2.5Vdc", Limit::MinOffset},
      {"CHA:AOFFS?", std::nullopt},
      {"TTL:TTLAF:50MHz", std::nullopt},  // no output's frequency
      {"CHA:STEPF:50MHz", std::nullopt},
      {"ASWP:TRIGG", std::nullopt},
      {"88ASWP?", std::nullopt},  // not read, but only asks
      // Not read whole (the forms are the reader's tests'), so not known to be safe.
      {"CHA:AFREQ:junk", Limit::Unreadable},
      {"CHA:APERD:0.05uS", Limit::Unreadable},
      {"88 CHA:AFREQ:20MHz", Limit::Unreadable},
      {"CHA:AFREQ:infHz", Limit::Unreadable},
      {"hello", Limit::Unreadable},
      {"CHA:AFREQ:2e7Hz?", Limit::Unreadable},  // a number in it: no mere question
  };
  for (const Crossing& row : table) {
    SCOPED_TRACE(row.line);
    const auto breach = Check(Lab(), row.line, known);
    ASSERT_EQ(breach.has_value(), row.breach.has_value());
    if (breach) {
      EXPECT_EQ(breach->limit, *row.breach);
    }
  }
  EXPECT_FALSE(Check(Limits{}, "CHA:AFREQ:1000MHz", known)) << "no limits by default";
}

// The band takes the amplitude and the offset last set, however they were.
TEST(Limits, TheBandCountsWhatWasSetLast) {
  struct Case {
    std::vector<const char*> before;
    const char* line;
    std::optional<Limit> breach;
    double value;  // the output's highest or lowest point
  };
  const Case table[] = {
      {{"CHA:AOFFS:2Vdc"}, "CHA:VPP:3Vpp", Limit::MaxOffset, 3.5},
      {{"CHA:VPP:1Vpp", "CHA:VRMS:1Vrms"}, "CHA:AOFFS:2Vdc", Limit::MaxOffset, 3.41421356},
      {{"CHA:VRMS:1Vrms", "CHA:VPP:1Vpp"}, "CHA:AOFFS:2Vdc", std::nullopt, 0},
      {{"CHA:VPP:1Vpp", "FSK:CARRA:4Vpp"}, "CHA:AOFFS:1.5Vdc", Limit::MaxOffset, 3.5},
      {{"CHA:VPP:1Vpp", "ABURST:CARRA:4Vpp"}, "CHA:AOFFS:-1.5Vdc", Limit::MinOffset, -3.5},
      {{"CHB:VPP:2Vpp"}, "CHA:AOFFS:2Vdc", Limit::Unknown, 0},  // B's is not A's
      {{}, "CHA:VPP:1Vpp", Limit::Unknown, 0},
      {{}, "CHB:VPP:1Vpp", std::nullopt, 0},  // B has no offset
  };
  for (const Case& row : table) {
    SCOPED_TRACE(row.line);
    InstrumentSettings known;
    for (const char* line : row.before) known.RecordReply(line, "OK\n");
    const auto breach = Check(Lab(), row.line, known);
    ASSERT_EQ(breach.has_value(), row.breach.has_value());
    if (!breach) continue;
    EXPECT_EQ(breach->limit, *row.breach);
    if (breach->limit != Limit::Unknown) {
      EXPECT_NEAR(breach->value, row.value, 1e-6);
    }
  }
}

TEST(Limits, RefusalsNameTheLimitInEachLanguage) {
  InstrumentSettings known;
  const auto breach = Check(Lab(), "88CHA:AFREQ20MHz", known);
  ASSERT_TRUE(breach);
  EXPECT_EQ(Describe(*breach, 0),
            "channel A's frequency would be 20 MHz, above its limit of 10 MHz");
  EXPECT_EQ(breach->line, "88CHA:AFREQ20MHz");
  EXPECT_NE(Describe(*breach, 1).find("10 MHz"), std::string::npos);
  EXPECT_NE(Describe(*breach, 2).find("頻率"), std::string::npos);
  EXPECT_EQ(Quantity(-1.25, "V"), "-1.25 V");
  const auto unread = Check(Lab(), "CHA:AFREQ:2e7Hz", known);
  ASSERT_TRUE(unread);
  EXPECT_EQ(Describe(*unread, 0),
            "the line cannot be read from 'e7Hz' on, so the limits cannot be checked");
  EXPECT_EQ(Quantity(2500, "Hz"), "2.5 kHz");
}

TEST(Limits, ReadFromAFileAndWrittenBack) {
  const auto read = ReadLimits(
      "; the lab's amplifier\n[A]\nmax_frequency_hz = 10e6\nmax_amplitude_vpp=5\r\n"
      "min_offset_v = -3\nmax_offset_v = 3\n\n[B]\n# only a frequency\nmax_frequency_hz = 1000000");
  ASSERT_TRUE(std::holds_alternative<Limits>(read)) << std::get<std::string>(read);
  Limits expected = Lab();
  expected.b.maxAmplitudeVpp.reset();
  EXPECT_EQ(std::get<Limits>(read), expected);
  EXPECT_EQ(std::get<Limits>(ReadLimits(WriteLimits(Lab()))), Lab());
  EXPECT_EQ(std::get<Limits>(ReadLimits("")), Limits{});

  const std::pair<const char*, const char*> faults[] = {
      {"max_frequency_hz = 1", "line 1: a key stands under [A] or [B]"},
      {"[C]", "line 1: a section is [A] or [B]"},
      {"[A]\nmax_freq = 1", "line 2: unknown key 'max_freq'"},
      {"[A]\nmax_offset_v = three", "line 2: 'three' is not a number"},
      {"[A]\nmax_offset_v =", "line 2: '' is not a number"},
      {"[A]\nmax_offset_v", "line 2: expected KEY = VALUE"},
      {"[B]\nmin_offset_v = 1\nmax_offset_v = -1", "[B]: min_offset_v is above max_offset_v"},
  };
  for (const auto& [text, why] : faults) {
    const auto fault = ReadLimits(text);
    ASSERT_TRUE(std::holds_alternative<std::string>(fault)) << text;
    EXPECT_TRUE(std::get<std::string>(fault).starts_with(why)) << std::get<std::string>(fault);
  }
}

}  // namespace
}  // namespace zrt::settings
