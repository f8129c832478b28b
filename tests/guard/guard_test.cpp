// The guard against an instrument that says OK, says ERROR and says
// nothing: what it trusts, the worst case it takes, what it reads back
// first, and the domains it holds every value to; and the limits file.
#include "guard/guard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace zrt::guard {
namespace {

Limits Lab() {
  Limits limits;
  limits.a = {10e6, 5, -3, 3};
  limits.b = {1e6, 2, std::nullopt, std::nullopt};
  return limits;
}

// A line that went out and what came back ("": nothing).
struct Exchange {
  std::string line;
  std::string reply;
};

void Tell(Guard& guard, const std::vector<Exchange>& exchanges) {
  for (const Exchange& exchange : exchanges) {
    guard.Sent(exchange.line);
    guard.Answered(exchange.line, exchange.reply);
  }
}

// Every item channel A's limits look at, read back: frequencies 1 kHz,
// amplitudes 1 Vpp (0.25 Vrms), the offset 0 V.
std::vector<Exchange> ReadBackA() {
  std::vector<Exchange> read;
  for (const OfferedItem& item : ItemsOf('A', {Effect::Frequency, Effect::Period, Effect::Amplitude,
                                               Effect::AmplitudeRms, Effect::Offset})) {
    const char* reply = item.effect == Effect::Frequency      ? "1000Hz\n"
                        : item.effect == Effect::Period       ? "1mS\n"
                        : item.effect == Effect::Amplitude    ? "1Vpp\n"
                        : item.effect == Effect::AmplitudeRms ? "0.25Vrms\n"
                                                              : "0Vdc\n";
    read.push_back({std::string(item.function) + ":" + std::string(item.item) + "?", reply});
  }
  return read;
}

enum class Outcome { Passes, Refused, ReadsFirst };

struct Case {
  const char* what;
  std::vector<Exchange> before;  // after channel A is read back, when `known`
  const char* line;
  Outcome outcome;
  Limit limit = Limit::MaxFrequency;        // Refused
  double value = 0;                         // Refused: the frequency, amplitude or band's edge
  std::vector<std::string> readFirst = {};  // ReadsFirst: at least these
  bool known = true;
};

void Expect(const Case& row, const Guard& guard) {
  SCOPED_TRACE(std::string(row.what) + ": " + row.line);
  const Verdict verdict = guard.Judge(row.line);
  switch (row.outcome) {
    case Outcome::Passes:
      EXPECT_TRUE(verdict.Passes()) << Describe(*verdict.breach);
      break;
    case Outcome::Refused:
      ASSERT_TRUE(verdict.Refused()) << (verdict.breach ? Describe(*verdict.breach) : "passes");
      EXPECT_EQ(verdict.breach->limit, row.limit) << Describe(*verdict.breach);
      EXPECT_NEAR(verdict.breach->value, row.value, 1e-6) << Describe(*verdict.breach);
      EXPECT_EQ(verdict.breach->line, row.line);
      break;
    case Outcome::ReadsFirst:
      ASSERT_FALSE(verdict.readFirst.empty()) << (verdict.Passes() ? "passes" : "refused");
      for (const std::string& item : row.readFirst) {
        EXPECT_NE(std::ranges::find(verdict.readFirst, item), verdict.readFirst.end()) << item;
      }
      ASSERT_TRUE(verdict.breach);
      EXPECT_EQ(verdict.breach->limit, Limit::Unknown);
      EXPECT_EQ(verdict.breach->part, verdict.readFirst.front());
      break;
  }
}

TEST(Guard, TheWorstCaseOfWhatTheInstrumentConfirmed) {
  using enum Outcome;
  const Case table[] = {
      // Both sides of each limit, equal allowed.
      {"the band's top", {}, "CHA:AOFFS:2.5Vdc", Passes},
      {"above it", {}, "CHA:AOFFS:2.51Vdc", Refused, Limit::MaxOffset, 3.01},
      {"the band's foot", {}, "CHA:AOFFS:-2.5Vdc", Passes},
      {"below it", {}, "CHA:AOFFS:-2.51Vdc", Refused, Limit::MinOffset, -3.01},
      {"the highest amplitude", {}, "CHA:VPP:5Vpp", Passes},
      {"above it", {}, "CHA:VPP:5.001Vpp", Refused, Limit::MaxAmplitude, 5.001},
      {"an amplitude pushing the band",
       {{"CHA:AOFFS:1Vdc", "OK\n"}},
       "CHA:VPP:4.1Vpp",
       Refused,
       Limit::MaxOffset,
       3.05},
      {"the highest frequency", {}, "CHA:AFREQ:10MHz", Passes},
      {"above it", {}, "88CHA:AFREQ10000001Hz", Refused, Limit::MaxFrequency, 10000001},
      {"a sweep's stop", {}, "FSWP:STOPF:11MHz", Refused, Limit::MaxFrequency, 11e6},
      {"a hop", {}, "FSK:HOPF:10.5MHz", Refused, Limit::MaxFrequency, 10.5e6},
      {"a period", {}, "CHA:APERD:0.00005mS", Refused, Limit::MaxFrequency, 20e6},
      {"channel B's item under A", {}, "CHA:BFREQ:1.5MHz", Refused, Limit::MaxFrequency, 1.5e6},
      {"channel B's amplitude", {}, "CHB:VPP:2.5Vpp", Refused, Limit::MaxAmplitude, 2.5},
      {"B's burst amplitude", {}, "BBURST:CARRA:3Vpp", Refused, Limit::MaxAmplitude, 3},
      {"a function of neither channel", {}, "SYS:VPP:2.5Vpp", Refused, Limit::MaxAmplitude, 2.5},
      {"not a frequency of an output", {}, "TTL:TTLAF:50MHz", Passes},
      {"a question", {}, "88ASWP?", Passes},
      // The largest amplitude any item may put out, not the one set last.
      {"a sweep's start after the steady amplitude",
       {{"CHA:AOFFS:0Vdc", "OK\n"}, {"CHA:VPP:5Vpp", "OK\n"}, {"ASWP:STARA:0.1Vpp", "OK\n"}},
       "CHA:AOFFS:2.5Vdc",
       Refused,
       Limit::MaxOffset,
       5},
      {"a carrier",
       {{"FSK:CARRA:4Vpp", "OK\n"}},
       "CHA:AOFFS:1.5Vdc",
       Refused,
       Limit::MaxOffset,
       3.5},
      {"a hop's amplitude",
       {{"ASK:HOPA:4Vpp", "OK\n"}},
       "CHA:AOFFS:-1.5Vdc",
       Refused,
       Limit::MinOffset,
       -3.5},
      {"a read back above the limit",
       {{"ASWP:STOPA?", "6Vpp\n"}},
       "CHA:AOFFS:0Vdc",
       Refused,
       Limit::MaxAmplitude,
       6},
      // Only what the instrument confirmed.
      {"an offset the instrument refused",
       {{"CHA:AOFFS?", "2.5Vdc\n"}, {"CHA:AOFFS:0Vdc", "ERROR\n"}},
       "CHA:VPP:4Vpp",
       ReadsFirst,
       {},
       0,
       {"CHA:AOFFS"}},
      {"an offset not answered",
       {{"CHA:AOFFS?", "2.5Vdc\n"}, {"CHA:AOFFS:0Vdc", ""}},
       "CHA:VPP:4Vpp",
       ReadsFirst,
       {},
       0,
       {"CHA:AOFFS"}},
      {"an amplitude the instrument refused",
       {{"CHA:VPP:0.5Vpp", "ERROR\n"}},
       "CHA:AOFFS:2Vdc",
       ReadsFirst,
       {},
       0,
       {"CHA:VPP"}},
      {"an amplitude on its way",
       {{"CHA:VPP:0.5Vpp", ""}},
       "CHA:AOFFS:2Vdc",
       ReadsFirst,
       {},
       0,
       {"CHA:VPP"}},
      {"an unanswered question changes nothing",
       {{"CHA:SINE", "OK\n"}, {"CHA:VRMS:1.5Vrms", "OK\n"}, {"CHA:VPP?", ""}},
       "CHA:AOFFS:1Vdc",
       Refused,
       Limit::MaxOffset,
       1 + 1.5 * 2.8284271247461903 / 2},
      {"a question answered with no value", {{"CHA:AOFFS?", "ERROR\n"}}, "CHA:VPP:2Vpp", Passes},
      {"a recall",
       {{"SYS:RECAL:3No.", "OK\n"}},
       "CHA:AOFFS:2.5Vdc",
       ReadsFirst,
       {},
       0,
       {"CHA:VPP", "ASWP:STARA"}},
      {"a reset", {{"88SYS:RESET", "OK\n"}}, "CHA:VPP:1Vpp", ReadsFirst, {}, 0, {"CHA:AOFFS"}},
      {"an attenuation",
       {{"CHA:AATTE:0dB", "OK\n"}},
       "CHA:AOFFS:1Vdc",
       ReadsFirst,
       {},
       0,
       {"CHA:VPP"}},
      {"a line nobody can read",
       {{"CHA:AFREQ:junk", "ERROR\n"}},
       "CHA:AOFFS:1Vdc",
       ReadsFirst,
       {},
       0,
       {"CHA:VPP"}},
      {"an item its function does not offer",
       {{"SYS:VPP:1Vpp", "OK\n"}},
       "CHA:AOFFS:1Vdc",
       ReadsFirst,
       {},
       0,
       {"CHA:VPP"}},
      {"channel B's harmonic leaves A known",
       {{"CHB:BHARM:2TIME", "OK\n"}},
       "CHA:AOFFS:1Vdc",
       Passes},
      {"nothing known yet",
       {},
       "CHA:AOFFS:1Vdc",
       ReadsFirst,
       {},
       0,
       {"CHA:VPP", "CHA:VRMS", "FSWP:VPP", "ASWP:STARA", "ASWP:STOPA", "FM:CARRA", "FSK:CARRA",
        "ASK:HOPA", "ABURST:CARRA"},
       false},
      {"a breach already certain",
       {},
       "CHA:AOFFS:3.5Vdc",
       Refused,
       Limit::MaxOffset,
       3.5,
       {},
       false},
      {"channel B has no offset", {}, "CHB:VPP:2Vpp", Passes, {}, 0, {}, false},
      // Vrms by the shape in effect.
      {"Vrms with no shape known", {}, "CHA:VRMS:0.5Vrms", Refused, Limit::RmsWithoutShape, 0.5},
      {"Vrms after a waveform by number",
       {{"CHA:SINE", "OK\n"}, {"CHA:AWAVE:2No.", "OK\n"}},
       "CHA:VRMS:0.5Vrms",
       Refused,
       Limit::RmsWithoutShape,
       0.5},
      {"Vrms after a shape refused",
       {{"CHA:SINE", "ERROR\n"}},
       "CHA:VRMS:0.5Vrms",
       Refused,
       Limit::RmsWithoutShape,
       0.5},
      {"Vrms of a sine", {{"CHA:SINE", "OK\n"}}, "CHA:VRMS:1.7Vrms", Passes},
      {"Vrms of a sine above",
       {{"CHA:SINE", "OK\n"}},
       "CHA:VRMS:1.8Vrms",
       Refused,
       Limit::MaxAmplitude,
       1.8 * 2.8284271247461903},
      {"Vrms of a square", {{"CHA:SQUAR", "OK\n"}}, "CHA:VRMS:2.5Vrms", Passes},
      {"Vrms read back with no shape known",
       {{"CHA:VRMS?", "1Vrms\n"}},
       "CHA:AOFFS:1.3Vdc",
       Refused,
       Limit::MaxOffset,
       1.3 + 3.4641016151377544 / 2},
      {"Vrms kept through a change of shape",
       {{"CHA:AWAVE:5No.", "OK\n"}, {"CHA:VRMS?", "1Vrms\n"}, {"CHA:SQUAR", "OK\n"}},
       "CHA:AOFFS:1.3Vdc",
       Refused,
       Limit::MaxOffset,
       1.3 + 3.4641016151377544 / 2},
      {"a waveform by number that may widen the band",
       {{"CHA:SINE", "OK\n"}, {"CHA:VRMS:0.8Vrms", "OK\n"}, {"CHA:AOFFS:1.8Vdc", "OK\n"}},
       "CHA:AWAVE:4No.",
       Refused,
       Limit::MaxOffset,
       1.8 + 0.8 * 3.4641016151377544 / 2},
      {"a shape that widens the band",
       {{"CHA:SQUAR", "OK\n"}, {"CHA:VRMS:1.2Vrms", "OK\n"}, {"CHA:AOFFS:1.7Vdc", "OK\n"}},
       "CHA:SINE",
       Refused,
       Limit::MaxOffset,
       1.7 + 1.2 * 2.8284271247461903 / 2},
      // Switching on holds every item of the channel at once.
      {"on, all within", {}, "CHA:SWITCH:1No.", Passes},
      {"on, a sweep's stop read back beyond",
       {{"FSWP:STOPF?", "12MHz\n"}},
       "CHA:SWITCH:1No.",
       Refused,
       Limit::MaxFrequency,
       12e6},
      {"on, an offset not known",
       {{"CHA:AOFFS:1Vdc", "ERROR\n"}},
       "CHA:SWITCH:1No.",
       ReadsFirst,
       {},
       0,
       {"CHA:AOFFS"}},
      {"off", {{"CHA:AOFFS:1Vdc", "ERROR\n"}}, "CHA:SWITCH:0No.", Passes},
      {"on, nothing known",
       {},
       "CHA:SWITCH:1No.",
       ReadsFirst,
       {},
       0,
       {"CHA:AFREQ", "FSWP:STOPF", "FSK:HOPF", "CHA:VPP", "CHA:AOFFS"},
       false},
  };
  for (const Case& row : table) {
    Guard guard;
    guard.SetLimits(Lab());
    if (row.known) Tell(guard, ReadBackA());
    Tell(guard, row.before);
    Expect(row, guard);
  }
}

// Under any limit, a value outside what its item can be is refused, and so
// is a line that cannot be read whole unless it only asks.
TEST(Guard, ValuesOutsideTheirDomainAndLinesThatCannotBeRead) {
  using enum Outcome;
  const Case table[] = {
      {"a negative frequency", {}, "88CHA:AFREQ-5Hz", Refused, Limit::BelowDomain, -5},
      {"a negative period", {}, "CHA:APERD:-1mS", Refused, Limit::BelowDomain, -0.001},
      {"a negative amplitude", {}, "88CHA:VPP-2Vpp", Refused, Limit::BelowDomain, -2},
      {"a negative rms", {}, "CHA:VRMS:-1Vrms", Refused, Limit::BelowDomain, -1},
      {"a sweep's start", {}, "ASWP:STARA:-0.1Vpp", Refused, Limit::BelowDomain, -0.1},
      {"a duty cycle's top", {}, "CHA:ADUTY:100%", Passes},
      {"above it", {}, "88CHA:ADUTY150%", Refused, Limit::AboveDomain, 150},
      {"below its foot", {}, "CHB:BDUTY:-1%", Refused, Limit::BelowDomain, -1},
      {"a phase's edges", {}, "CHA:PHASE:-360DEG", Passes},
      {"beyond them", {}, "CHA:PHASE:361DEG", Refused, Limit::AboveDomain, 361},
      {"a hop's phase", {}, "PSK:HOPP:-400DEG", Refused, Limit::BelowDomain, -400},
      {"a negative offset is an offset", {}, "CHA:AOFFS:-1Vdc", Passes},
      {"junk", {}, "CHA:AFREQ:junk", Refused, Limit::Unreadable, 0},
      {"a unit of another group", {}, "CHA:APERD:0.05uS", Refused, Limit::Unreadable, 0},
      {"a blank after the address", {}, "88 CHA:AFREQ:20MHz", Refused, Limit::Unreadable, 0},
      {"an infinity", {}, "CHA:AFREQ:infHz", Refused, Limit::Unreadable, 0},
      {"a number in a question", {}, "CHA:AFREQ:2e7Hz?", Refused, Limit::Unreadable, 0},
      {"a question alone", {}, "88ASWP?", Passes},
  };
  Limits onlyB;  // a limit anywhere holds every domain
  onlyB.b.maxFrequencyHz = 1e6;
  for (const Case& row : table) {
    Guard guard;
    guard.SetLimits(onlyB);
    Expect(row, guard);
  }
  Guard free;
  EXPECT_TRUE(free.Judge("88CHA:AFREQ-5Hz").Passes()) << "no limits, no guard";
  const auto breach = OutOfDomain(Effect::Duty, "CHA", "ADUTY", 150);
  ASSERT_TRUE(breach);
  EXPECT_EQ(Describe(*breach), "CHA:ADUTY cannot be 150 %: the most it can be is 100 %");
}

TEST(Guard, ForgetsWhatALinkChangeMayHaveChanged) {
  Guard guard;
  guard.SetLimits(Lab());
  Tell(guard, ReadBackA());
  EXPECT_TRUE(guard.Judge("CHA:SWITCH:1No.").Passes());
  EXPECT_EQ(guard.Confirmed("CHA", "AOFFS"), 0.0);
  Tell(guard, {{"CHB:BHARM:2TIME", "OK\n"}});
  EXPECT_TRUE(guard.Judge("CHA:SWITCH:1No.").Passes());
  guard.Forget();
  EXPECT_FALSE(guard.Judge("CHA:SWITCH:1No.").readFirst.empty());
  EXPECT_FALSE(guard.Confirmed("CHA", "AOFFS"));
}

TEST(Guard, RefusalsSaidInEachLanguageWithoutCommas) {
  Guard guard;
  guard.SetLimits(Lab());
  const Verdict verdict = guard.Judge("88CHA:AFREQ20MHz");
  ASSERT_TRUE(verdict.Refused());
  EXPECT_EQ(Describe(*verdict.breach, 0),
            "channel A's frequency would be 20 MHz; its limit is 10 MHz");
  EXPECT_NE(Describe(*verdict.breach, 1).find("10 MHz"), std::string::npos);
  EXPECT_NE(Describe(*verdict.breach, 2).find("頻率"), std::string::npos);
  for (const char* line :
       {"CHA:AFREQ:2e7Hz", "CHA:AOFFS:1Vdc", "CHA:VRMS:1Vrms", "CHA:VPP:-1Vpp", "CHA:AOFFS:9Vdc"}) {
    const Verdict any = guard.Judge(line);
    ASSERT_TRUE(any.breach) << line;
    EXPECT_EQ(Describe(*any.breach).find(','), std::string::npos) << Describe(*any.breach);
  }
}

// The limits file: read whole, written back, and refused with the line and
// why whenever it does not limit what it seems to.
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
