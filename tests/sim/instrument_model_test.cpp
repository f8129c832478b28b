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

// How close a frame's bytes came, as far as the reads tell: a gap between
// reads is measured; bytes read together are bounded by the time since the
// read before, and only a short bound tells of the sender.
TEST(FrameReader, GapsAsFarAsTheReadsTell) {
  using std::chrono::milliseconds;
  struct Case {
    std::vector<std::pair<int, const char*>> reads;  // at ms, the bytes
    std::chrono::microseconds closest;
    bool together;
  } cases[] = {
      {{{0, "A"}, {10, "B"}, {20, "\n"}}, milliseconds(10), false},  // paced, read at once
      {{{0, "A"}, {30, "BC\n"}}, milliseconds(15), true},  // read late: 30 ms for two gaps
      {{{0, "A"}, {2, "BCDEFGHIJ\n"}}, std::chrono::microseconds(222), true},  // sent at once
  };
  for (const Case& c : cases) {
    FrameReader reader;
    const auto start = FrameReader::Clock::time_point{} + std::chrono::hours(1);
    std::vector<FrameReader::Frame> frames;
    for (const auto& [at, bytes] : c.reads) {
      for (auto& frame : reader.Take(bytes, start + milliseconds(at))) frames.push_back(frame);
    }
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].closest, c.closest) << frames[0].bytes;
    EXPECT_EQ(frames[0].readTogether, c.together) << frames[0].bytes;
  }
}

}  // namespace
}  // namespace zrt::sim
