// The simulated instrument's answers, and how close its reads tell bytes came.
#include "sim/instrument_model.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "sim/frame_reader.h"

namespace zrt::sim {
namespace {

TEST(InstrumentModel, AnswersInTurn) {
  InstrumentModel model;  // address 88: the byte "X"
  const std::pair<const char*, const char*> exchange[] = {
      {"XCHA:AFREQ?", "0\n"},
      {"XCHA:AFREQ:1000HZ", "OK\n"},
      {"XCHA:AFREQ?", "1000HZ\n"},
      {"88CHA:AFREQ?", "1000HZ\n"},  // the address written out, as on USB
      {"CHA:AFREQ?", "1000HZ\n"},    // no address
      {"XCHA:AFREQ:-2.5", "OK\n"},
      {"XCHA:AFREQ?", "-2.5\n"},
      {"XASWP:TRIGG", "OK\n"},
      {"XASWP?", "ERROR\n"},         // no item: nothing it reads
      {"XCHA:AFREQ1000Hz", "OK\n"},  // the keys put no separator before the value
      {"XCHA:AFREQ?", "1000Hz\n"},
      {"XCHB:VPP 2.5Vpp", "OK\n"},  // after a blank, and per channel
      {"XCHBVPP?", "2.5Vpp\n"},
      {"XCHB:VPP 9V", "ERROR\n"},  // no unit of the item's: nothing
                                   // stored
      {"XCHBVPP?", "2.5Vpp\n"},
      {"Xcha:afreq?", "1000Hz\n"},
      {"", "OK\n"},
  };
  for (const auto& [frame, answer] : exchange) EXPECT_EQ(model.Answer(frame), answer) << frame;

  InstrumentModel other(300);  // address byte 0x2C, ","
  EXPECT_EQ(other.LineOf(",SYS?"), "SYS?");
  EXPECT_EQ(other.LineOf("300SYS?"), "SYS?");
  EXPECT_EQ(other.LineOf("3000?"), "3000?") << "digits that follow are no address";
}

// How far apart a frame's closest bytes can have been sent, as far as the
// reads tell: a late read widens the bound, never narrows it, and bytes sent
// at once come out close however they are read.
TEST(FrameReader, GapsAsFarAsTheReadsTell) {
  using std::chrono::milliseconds;
  struct Case {
    std::vector<std::pair<int, const char*>> reads;  // at ms, the bytes; the last frame counts
    std::chrono::microseconds closest;
    bool together;
  } cases[] = {
      {{{-20, "Z\n"}, {0, "A"}, {10, "B"}, {20, "\n"}}, milliseconds(20), false},  // paced
      // Sent 10 ms apart, B read 8 ms late: no closer than the sender kept.
      {{{-20, "Z\n"}, {0, "A"}, {18, "B"}, {20, "\n"}}, milliseconds(20), false},
      {{{0, "A"}, {30, "BC\n"}}, milliseconds(15), true},  // read late: 30 ms for two gaps
      {{{0, "A"}, {2, "BCDEFGHIJ\n"}}, std::chrono::microseconds(222), true},  // sent at once
      {{{0, "Z\nA"}, {1, "B"}, {2, "C\n"}}, milliseconds(1), true},  // after a reply, at once
  };
  for (const Case& c : cases) {
    FrameReader reader;
    const auto start = FrameReader::Clock::time_point{} + std::chrono::hours(1);
    std::vector<FrameReader::Frame> frames;
    for (const auto& [at, bytes] : c.reads) {
      for (auto& frame : reader.Take(bytes, start + milliseconds(at))) frames.push_back(frame);
    }
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames.back().closest, c.closest) << frames.back().bytes;
    EXPECT_EQ(frames.back().readTogether, c.together) << frames.back().bytes;
  }
}

}  // namespace
}  // namespace zrt::sim
