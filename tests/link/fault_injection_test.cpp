// Seeded faults under the component on pseudo-terminals: whatever fails,
// the bytes that get through arrive once and in order, a failure is
// reported as a hang-up, and closing leaves no thread and no descriptor.
#include <gtest/gtest.h>
#include <termios.h>

#include <cstdio>

#include "comm_recorder.h"
#include "faulty_serial.h"
#include "link/tcomm.h"
#include "link_probe.h"
#include "pty_pair.h"

namespace zrt::link::testing {
namespace {

QByteArray Pattern(int size, int salt) {
  QByteArray bytes;
  for (int i = 0; i < size; ++i) {
    char c = static_cast<char>((i * 7 + salt) % 251);
    if (c == 17 || c == 19) c = 'x';  // XON and XOFF would be taken as flow control
    bytes.append(c);
  }
  return bytes;
}

TEST(FaultInjection, SeededFaultsLoseNothingThatIsNotReported) {
  const int seeds = 300;
  int hangups = 0;
  for (unsigned seed = 1; seed <= seeds; ++seed) {
    const FaultPlan plan(seed);
    SCOPED_TRACE(plan.Describe());
    const int descriptors = OpenDescriptors();
    {
      PtyPair pty;
      // Raw from the start: a port that vanishes before it is configured
      // would otherwise echo the instrument's bytes back to it.
      termios raw{};
      tcgetattr(pty.InstrumentFd(), &raw);
      cfmakeraw(&raw);
      tcsetattr(pty.InstrumentFd(), TCSANOW, &raw);
      FaultySerialPlatform platform(SystemSerialPlatform(), plan);
      TComm comm(nullptr, platform);
      CommRecorder recorder(comm);
      comm.SetCommName(pty.TerminalPath());
      comm.SetReadIntervalTimeout(20);
      comm.OpenPort();

      const QByteArray inbound = Pattern(300, static_cast<int>(seed));
      const QByteArray outbound = Pattern(120, static_cast<int>(seed) + 1);
      pty.Send(inbound);
      for (qsizetype at = 0; at < outbound.size(); at += 40) {
        const QByteArray block = outbound.mid(at, 40);
        comm.SendData(block.constData(), static_cast<std::uint16_t>(block.size()));
      }
      // Until everything is through both ways, or a hang-up is reported.
      QByteArray written;
      const bool settled = CommRecorder::WaitFor([&] {
        written += pty.Receive(outbound.size() - written.size(), 0);
        return recorder.Count(CommEvent::Hangup) > 0 ||
               (recorder.Received().size() == inbound.size() && written.size() == outbound.size());
      });
      ASSERT_TRUE(settled) << "neither everything nor a hang-up arrived";
      const bool hungUp = recorder.Count(CommEvent::Hangup) > 0;
      hangups += hungUp;

      EXPECT_TRUE(inbound.startsWith(recorder.Received())) << "received bytes altered";
      EXPECT_TRUE(outbound.startsWith(written)) << "written bytes altered";
      if (!hungUp) {
        EXPECT_EQ(recorder.Received(), inbound);
        EXPECT_EQ(written, outbound);
      }
      EXPECT_LE(recorder.Count(CommEvent::Hangup), 1) << "one report per opening";
      comm.ClosePort();
      EXPECT_TRUE(PortThreadsSettleAt(0));
    }
    EXPECT_EQ(OpenDescriptors(), descriptors);
    if (::testing::Test::HasFailure()) return;
  }
  // The plans fail the port in about half the seeds; the rest only slow it.
  EXPECT_GT(hangups, seeds / 5);
  EXPECT_LT(hangups, seeds - seeds / 5);
  std::printf("%d of %d seeds ended in a hang-up\n", hangups, seeds);
}

}  // namespace
}  // namespace zrt::link::testing
