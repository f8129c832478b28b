// The simulated instrument's answers.
#include "sim/instrument_model.h"

#include <gtest/gtest.h>

namespace zrt::sim {
namespace {

TEST(InstrumentModel, AnswersInTurn) {
  InstrumentModel model;  // address 88: the byte "X"
  const std::pair<const char*, const char*> exchange[] = {
      {"XCHA:AFREQ?", "0\n"},       {"XCHA:AFREQ:1000HZ", "OK\n"}, {"XCHA:AFREQ?", "1000HZ\n"},
      {"88CHA:AFREQ?", "1000HZ\n"},  // the address written out, as on USB
      {"CHA:AFREQ?", "1000HZ\n"},    // no address
      {"XCHA:AFREQ:-2.5", "OK\n"},  {"XCHA:AFREQ?", "-2.5\n"},     {"XASWP:TRIGG", "OK\n"},
      {"XASWP?", "ERROR\n"},         // no item: nothing it reads
      {"XCHA:AFREQ1000Hz", "OK\n"},  // the keys put no separator before the value
      {"XCHA:AFREQ?", "1000Hz\n"},  {"XCHB:VPP 2.5Vpp", "OK\n"},  // after a blank, and per channel
      {"XCHBVPP?", "2.5Vpp\n"},     {"XCHB:VPP 9V", "ERROR\n"},   // no unit of the item's: nothing
                                                                  // stored
      {"XCHBVPP?", "2.5Vpp\n"},     {"Xcha:afreq?", "1000Hz\n"},   {"", "OK\n"},
  };
  for (const auto& [frame, answer] : exchange) EXPECT_EQ(model.Answer(frame), answer) << frame;

  InstrumentModel other(300);  // address byte 0x2C, ","
  EXPECT_EQ(other.LineOf(",SYS?"), "SYS?");
  EXPECT_EQ(other.LineOf("300SYS?"), "SYS?");
  EXPECT_EQ(other.LineOf("3000?"), "3000?") << "digits that follow are no address";
}

}  // namespace
}  // namespace zrt::sim
