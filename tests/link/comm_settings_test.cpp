#include "link/port/comm_settings.h"

#include <gtest/gtest.h>

namespace zrt::link {
namespace {

// The panel's port: a new component's settings at 19200 bit/s.
CommProperties PanelPort() {
  CommProperties p;
  p.commName = "COM1";
  p.baudRate = 19200;
  return p;
}

TEST(CommSettings, PanelPortGivesTheKnownRecord) {
  const CommState s = BuildCommState(PanelPort());
  EXPECT_EQ(s.flags, 0x1391u);
  EXPECT_EQ(s.baudRate, 19200u);
  EXPECT_EQ(s.xonLim, 500);
  EXPECT_EQ(s.xoffLim, 500);
  EXPECT_EQ(s.byteSize, 8);
  EXPECT_EQ(s.parity, 0);
  EXPECT_EQ(s.stopBits, 0);
  EXPECT_EQ(s.xonChar, 17);
  EXPECT_EQ(s.xoffChar, 19);
  EXPECT_EQ(s.errorChar, 0);
  EXPECT_EQ(s.DtrControl(), DTR_CONTROL_ENABLE);
  EXPECT_EQ(s.RtsControl(), RTS_CONTROL_ENABLE);
}

TEST(CommSettings, DtrAndRtsOrdinalsAreNotTheirPortValues) {
  CommProperties p = PanelPort();
  p.dtrControl = TDtrControl::DtrDisable;
  p.rtsControl = TRtsControl::RtsTransmissionAvailable;
  const std::uint32_t flags = CommFlags(p);
  EXPECT_EQ((flags >> 4) & 3u, 0u);
  EXPECT_EQ((flags >> 12) & 3u, 3u);
  p.dtrControl = TDtrControl::DtrHandshake;
  p.rtsControl = TRtsControl::RtsDisable;
  EXPECT_EQ((CommFlags(p) >> 4) & 3u, 2u);
  EXPECT_EQ((CommFlags(p) >> 12) & 3u, 0u);
}

TEST(CommSettings, EveryBooleanLandsOnItsOwnBit) {
  CommProperties p;
  p.txContinueOnXoff = p.outxXonXoffFlow = p.inxXonXoffFlow = false;
  p.dtrControl = TDtrControl::DtrDisable;
  p.rtsControl = TRtsControl::RtsDisable;
  EXPECT_EQ(CommFlags(p), dcb::fBinary);
  const std::pair<bool CommProperties::*, std::uint32_t> bits[] = {
      {&CommProperties::parityCheck, 1u << 1},
      {&CommProperties::outxCtsFlow, 1u << 2},
      {&CommProperties::outxDsrFlow, 1u << 3},
      {&CommProperties::dsrSensitivity, 1u << 6},
      {&CommProperties::txContinueOnXoff, 1u << 7},
      {&CommProperties::outxXonXoffFlow, 1u << 8},
      {&CommProperties::inxXonXoffFlow, 1u << 9},
      {&CommProperties::replaceWhenParityError, 1u << 10},
      {&CommProperties::ignoreNullChar, 1u << 11},
  };
  for (const auto& [field, bit] : bits) {
    CommProperties one = p;
    one.*field = true;
    EXPECT_EQ(CommFlags(one), dcb::fBinary | bit) << bit;
  }
  EXPECT_EQ(CommFlags(PanelPort()) & dcb::fAbortOnError, 0u);
}

TEST(CommSettings, EnumerationsMapToTheirPortValues) {
  CommProperties p;
  p.byteSize = TByteSize::_5;
  p.parity = TParity::Space;
  p.stopBits = TStopBits::_1_5;
  p.replacedChar = '?';
  const CommState s = BuildCommState(p);
  EXPECT_EQ(s.byteSize, 5);
  EXPECT_EQ(s.parity, 4);
  EXPECT_EQ(s.stopBits, 1);
  EXPECT_EQ(s.errorChar, '?');
  p.byteSize = TByteSize::_7;
  p.parity = TParity::Mark;
  p.stopBits = TStopBits::_2;
  EXPECT_EQ(BuildCommState(p).byteSize, 7);
  EXPECT_EQ(BuildCommState(p).parity, 3);
  EXPECT_EQ(BuildCommState(p).stopBits, 2);
}

}  // namespace
}  // namespace zrt::link
