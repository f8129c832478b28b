// Bytes through the component and its threads on pseudo-terminals.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "comm_recorder.h"
#include "link/tcomm.h"
#include "link_probe.h"
#include "pty_pair.h"

namespace zrt::link::testing {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class PtyLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    comm.SetCommName(pty.TerminalPath());
    comm.SetBaudRate(19200);
  }

  PtyPair pty;
  TComm comm;
  CommRecorder recorder{comm};
};

TEST_F(PtyLinkTest, QuietGapEndsABlock) {
  comm.OpenPort();
  // A gap well below the read interval stays inside one block.
  comm.SetReadIntervalTimeout(400);
  pty.Send("FREQ");
  std::this_thread::sleep_for(20ms);
  pty.Send("=1000");
  ASSERT_TRUE(recorder.WaitForReceived(9));
  EXPECT_EQ(recorder.BlockSizes(), std::vector<qsizetype>{9});

  // Bytes that come after a delivered block start the next one; the block
  // is not delivered before the line has been quiet for the interval.
  comm.SetReadIntervalTimeout(100);
  const auto sent = Clock::now();
  pty.Send("OK");
  ASSERT_TRUE(recorder.WaitForReceived(11));
  EXPECT_GE(Clock::now() - sent, 100ms);
  pty.Send("\n");
  ASSERT_TRUE(recorder.WaitForReceived(12));
  EXPECT_EQ(recorder.BlockSizes(), (std::vector<qsizetype>{9, 2, 1}));
  EXPECT_EQ(recorder.Received(), "FREQ=1000OK\n");
  for (const CommEvent& e : recorder.events) {
    if (e.kind == CommEvent::Data) {
      EXPECT_TRUE(e.zeroAfter);
    }
  }
}

TEST_F(PtyLinkTest, LongBurstArrivesInFullBlocks) {
  comm.OpenPort();
  QByteArray burst;
  for (int i = 0; i < 5000; ++i) burst.append(static_cast<char>('A' + i % 26));
  pty.Send(burst);
  ASSERT_TRUE(recorder.WaitForReceived(5000));
  EXPECT_EQ(recorder.Received(), burst);
  EXPECT_EQ(recorder.BlockSizes(), (std::vector<qsizetype>{2048, 2048, 904}));
}

TEST_F(PtyLinkTest, EveryByteValueButFlowControlPassesUnchanged) {
  comm.OpenPort();
  QByteArray all;
  for (int b = 0; b < 256; ++b) {
    if (b != 17 && b != 19) all.append(static_cast<char>(b));
  }
  pty.Send(all);
  ASSERT_TRUE(recorder.WaitForReceived(all.size()));
  EXPECT_EQ(recorder.Received(), all);

  QByteArray out;
  for (int b = 0; b < 256; ++b) out.append(static_cast<char>(b));
  for (char c : out) ASSERT_TRUE(comm.SendData(&c, 1));
  EXPECT_EQ(pty.Receive(256), out);
}

TEST_F(PtyLinkTest, XoffStallsTheWriterAndXonResumesIt) {
  comm.OpenPort();
  ASSERT_TRUE(CommRecorder::WaitFor([&] { return recorder.Count(CommEvent::Empty) == 1; }));
  ASSERT_TRUE(pty.SendXoffAndWait());
  ASSERT_TRUE(comm.SendData("*IDN?\n", 6));
  EXPECT_FALSE(pty.Readable(200)) << "written despite XOFF";
  EXPECT_EQ(recorder.Count(CommEvent::Empty), 1);

  EXPECT_TRUE(CommRecorder::WaitFor([&] { return recorder.Count(CommEvent::Held) == 1; }))
      << "the hold is said";

  pty.Send("\x11");  // XON
  EXPECT_EQ(pty.Receive(6), "*IDN?\n");
  EXPECT_TRUE(CommRecorder::WaitFor([&] { return recorder.Count(CommEvent::Empty) == 2; }));
  EXPECT_TRUE(recorder.Received().isEmpty()) << "flow-control bytes are not data";
  std::vector<quint32> held;
  for (const CommEvent& e : recorder.events) {
    if (e.kind == CommEvent::Held) held.push_back(e.value);
  }
  EXPECT_EQ(held, (std::vector<quint32>{1, 0}));
}

// With a gap to keep, blocks queued at once still go out that far apart.
TEST_F(PtyLinkTest, TheWriterKeepsTheMinimumGap) {
  comm.SetMinimumGap(20ms);
  comm.OpenPort();
  const auto start = Clock::now();
  for (const char* byte : {"a", "b", "c", "d", "e"}) ASSERT_TRUE(comm.SendData(byte, 1));
  EXPECT_EQ(pty.Receive(5), "abcde");
  EXPECT_GE(Clock::now() - start, 4 * 20ms) << "four gaps at the least";
  EXPECT_TRUE(CommRecorder::WaitFor([&] {
    return !recorder.events.empty() && recorder.events.back().kind == CommEvent::Empty;
  })) << "empty once all is out";
}

TEST_F(PtyLinkTest, CloseEndsAWriterStalledByXoff) {
  comm.OpenPort();
  ASSERT_TRUE(pty.SendXoffAndWait());
  const QByteArray big(100000, 'x');
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(comm.SendData(big.constData(), 25000));
  const auto start = Clock::now();
  comm.ClosePort();
  EXPECT_LT(Clock::now() - start, 5s);
  QCoreApplication::processEvents();
  EXPECT_EQ(recorder.Count(CommEvent::Hangup), 0);
  EXPECT_FALSE(comm.SendData("x", 1));
}

TEST_F(PtyLinkTest, TenThousandSmallBlocksKeepTheirOrder) {
  comm.SetBaudRate(115200);
  comm.OpenPort();
  QByteArray expected;
  for (int i = 0; i < 10000; ++i) {
    const QByteArray block = QByteArray::number(i % 1000) + ',';
    expected += block;
    ASSERT_TRUE(comm.SendData(block.constData(), static_cast<std::uint16_t>(block.size())));
  }
  EXPECT_EQ(pty.Receive(static_cast<std::size_t>(expected.size())), expected);
}

TEST_F(PtyLinkTest, HangUpIsReportedOnceAndEndsTheReader) {
  const int threadsBefore = PortThreads();
  comm.OpenPort();
  EXPECT_TRUE(CommRecorder::WaitFor([&] { return PortThreads() == threadsBefore + 2; }));
  pty.Send("partial reply");
  ASSERT_TRUE(recorder.WaitForReceived(13));
  pty.CloseInstrument();
  ASSERT_TRUE(CommRecorder::WaitFor([&] { return recorder.Count(CommEvent::Hangup) == 1; }));
  // The reader ends instead of spinning on the dead line.
  EXPECT_TRUE(CommRecorder::WaitFor([&] { return PortThreads() == threadsBefore + 1; }));
  EXPECT_TRUE(comm.IsOpen()) << "the owner decides when to close";

  // A write after the hang-up fails too, without a second report.
  EXPECT_TRUE(comm.SendData("X", 1));
  EXPECT_TRUE(CommRecorder::WaitFor([&] { return PortThreads() == threadsBefore; }));
  comm.ClosePort();
  const std::size_t count = recorder.events.size();
  QCoreApplication::processEvents();
  EXPECT_EQ(recorder.events.size(), count) << "an event after ClosePort";
  EXPECT_EQ(recorder.Count(CommEvent::Hangup), 1);
  EXPECT_EQ(recorder.Received(), "partial reply");
}

TEST_F(PtyLinkTest, ClosingWhileBusyLeaksNothing) {
  comm.OpenPort();
  comm.ClosePort();
  const int descriptors = OpenDescriptors();
  ASSERT_TRUE(PortThreadsSettleAt(0));
  const QByteArray block(512, 'q');
  for (int i = 0; i < 1000; ++i) {
    comm.OpenPort();
    if (i % 2) pty.Send("\x13");  // half the time the writer is stalled
    pty.Send("abc");
    comm.SendData(block.constData(), 512);
    comm.SendData(block.constData(), 512);
    comm.ClosePort();
    pty.Send("\x11");
    if (i % 100 == 0) {
      QCoreApplication::processEvents();
      pty.Receive(1 << 20, 0);  // drain what reached the instrument
    }
  }
  EXPECT_EQ(OpenDescriptors(), descriptors);
  EXPECT_TRUE(PortThreadsSettleAt(0));
  QCoreApplication::processEvents();
  EXPECT_EQ(recorder.Count(CommEvent::Hangup), 0);
}

}  // namespace
}  // namespace zrt::link::testing
