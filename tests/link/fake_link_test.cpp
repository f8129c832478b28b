// The component's rules and every failure path, on the fake platform.
#include <gtest/gtest.h>

#include <cerrno>

#include "comm_recorder.h"
#include "fake_serial.h"
#include "link/tcomm.h"
#include "link_probe.h"

namespace zrt::link::testing {
namespace {

class FakeLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    comm.SetCommName("COM1");
    comm.SetBaudRate(19200);
  }

  void ExpectOpenFails(const char* message, const std::string& reason = {}) {
    try {
      comm.OpenPort();
      ADD_FAILURE() << "opened";
    } catch (const ECommsError& e) {
      EXPECT_STREQ(e.what(), message);
      if (!reason.empty()) {
        EXPECT_EQ(e.Reason(), reason);
      }
    }
    EXPECT_FALSE(comm.IsOpen());
    EXPECT_FALSE(line->DeviceOpen()) << "the device stayed open after: " << message;
    EXPECT_FALSE(comm.SendData("x", 1));
  }

  std::shared_ptr<FakeLine> line = std::make_shared<FakeLine>();
  FakePlatform platform{line};
  TComm comm{nullptr, platform};
  CommRecorder recorder{comm};
};

TEST_F(FakeLinkTest, OpeningAppliesEverythingInOrder) {
  comm.OpenPort();
  EXPECT_EQ(platform.lastName, "COM1");
  ASSERT_FALSE(line->Purges().empty());
  EXPECT_EQ(line->Purges().front(), 15u);
  EXPECT_EQ(line->ApplyStateCalls(), 1);
  const CommState state = line->LastState();
  EXPECT_EQ(state.flags, 0x1391u);
  EXPECT_EQ(state.baudRate, 19200u);
  EXPECT_EQ(state.xonChar, 17);
  EXPECT_TRUE(CommRecorder::WaitFor([&] { return recorder.Count(CommEvent::Empty) == 1; }));
}

TEST_F(FakeLinkTest, OpeningFailuresCarryTheirMessagesAndLeaveNothingOpen) {
  platform.openFailure = SerialPlatform::OpenFailure::CannotOpen;
  platform.openError = ENOENT;
  ExpectOpenFails("Error opening serial port", "No such file or directory");
  platform.openFailure = SerialPlatform::OpenFailure::NotCommDevice;
  platform.openError = ENOTTY;
  ExpectOpenFails("File handle is not a comm handle ");
  platform.openFailure = SerialPlatform::OpenFailure::None;

  line->FailNext(FakeOp::SetupQueues, EINVAL);
  ExpectOpenFails("Cannot setup comm buffer");
  platform.stopEventError = EMFILE;
  ExpectOpenFails("Unable to create event", "Too many open files");
  platform.stopEventError = 0;

  const int threads = PortThreads();
  platform.failReaderThread = true;
  ExpectOpenFails("Unable to create read thread");
  platform.failReaderThread = false;
  platform.failWriterThread = true;
  ExpectOpenFails("Unable to create write thread");
  EXPECT_TRUE(PortThreadsSettleAt(threads)) << "the reader was not stopped";
  platform.failWriterThread = false;

  comm.OpenPort();  // nothing of the failures is left in the way
  EXPECT_TRUE(comm.IsOpen());
}

TEST_F(FakeLinkTest, SecondOpeningLeavesTheFirstAlone) {
  comm.OpenPort();
  try {
    comm.OpenPort();
    FAIL() << "opened twice";
  } catch (const ECommsError& e) {
    EXPECT_STREQ(e.what(), "This serial port already opened");
  }
  EXPECT_TRUE(comm.IsOpen());
  EXPECT_TRUE(comm.SendData("ok", 2));
  EXPECT_TRUE(line->WaitUntil([&] { return line->Written() == "ok"; }));
}

TEST_F(FakeLinkTest, ClosingAndSendingOnAClosedPort) {
  comm.ClosePort();
  comm.OpenPort();
  comm.ClosePort();
  comm.ClosePort();
  EXPECT_FALSE(line->DeviceOpen());
  EXPECT_FALSE(comm.SendData("x", 1));
  comm.OpenPort();
  EXPECT_FALSE(comm.SendData("x", 0));
  EXPECT_TRUE(comm.SendData("x", 1));
}

TEST_F(FakeLinkTest, SettersApplyOnlyRealChanges) {
  comm.SetXonLimit(100);  // closed: nothing to apply
  comm.OpenPort();
  EXPECT_EQ(line->ApplyStateCalls(), 1);
  comm.SetBaudRate(19200);
  EXPECT_EQ(line->ApplyStateCalls(), 1) << "an unchanged value reached the port";
  comm.SetBaudRate(9600);
  EXPECT_EQ(line->ApplyStateCalls(), 2);
  EXPECT_EQ(line->LastState().baudRate, 9600u);

  comm.SetParity(TParity::Odd);
  comm.SetCommName("COM2");
  EXPECT_EQ(line->ApplyStateCalls(), 2) << "parity waits for the next apply";
  EXPECT_EQ(line->LastState().parity, 0);
  comm.SetDtrControl(TDtrControl::DtrDisable);
  EXPECT_EQ(line->ApplyStateCalls(), 3);
  EXPECT_EQ(line->LastState().parity, 1);
  EXPECT_EQ(line->LastState().DtrControl(), DTR_CONTROL_DISABLE);

  // A refused setting leaves the port open with what it had.
  line->FailNext(FakeOp::ApplyState, EINVAL);
  comm.SetBaudRate(1200);
  EXPECT_TRUE(comm.IsOpen());
  EXPECT_EQ(line->LastState().baudRate, 9600u);
}

TEST_F(FakeLinkTest, TimeoutsFrameTheBlocks) {
  comm.OpenPort();
  comm.SetReadIntervalTimeout(20);
  line->Feed("abc");
  ASSERT_TRUE(recorder.WaitForReceived(3));
  line->Feed(QByteArray(3000, 'z'));
  ASSERT_TRUE(recorder.WaitForReceived(3003));
  EXPECT_EQ(recorder.BlockSizes(), (std::vector<qsizetype>{3, 2048, 952}));
}

TEST_F(FakeLinkTest, AReadThatTimesOutEmptyStartsOver) {
  comm.SetReadTotalTimeoutConstant(5);
  comm.OpenPort();
  // Each empty timeout is followed by a new wait, not by the reader's end.
  ASSERT_TRUE(line->WaitUntil([&] { return line->ReadWaits() >= 4; }));
  line->Feed("late");
  EXPECT_TRUE(recorder.WaitForReceived(4));
  EXPECT_EQ(recorder.Count(CommEvent::Hangup), 0);
}

TEST_F(FakeLinkTest, BytesReadBeforeCloseAreStillDelivered) {
  comm.OpenPort();
  line->Feed(QByteArray(2048, 'r'));  // a full block is posted at once
  ASSERT_TRUE(line->WaitUntil([&] { return line->Consumed() == 2048; }));
  comm.ClosePort();
  EXPECT_TRUE(recorder.WaitForReceived(2048));
  EXPECT_EQ(recorder.BlockSizes(), std::vector<qsizetype>{2048});
}

TEST_F(FakeLinkTest, PartialBytesAreDroppedOnStop) {
  comm.SetReadIntervalTimeout(60000);
  comm.OpenPort();
  line->Feed("half");
  ASSERT_TRUE(line->WaitUntil([&] { return line->Consumed() == 4; }));
  comm.ClosePort();
  QCoreApplication::processEvents();
  EXPECT_EQ(recorder.Count(CommEvent::Data), 0);
}

TEST_F(FakeLinkTest, LineEventsAreReportedInOrder) {
  comm.OpenPort();
  line->RaiseLineEvent(EV_ERR | EV_RING, CE_FRAME | CE_OVERRUN);
  line->RaiseLineEvent(EV_RLSD | EV_RING);
  line->RaiseLineEvent(EV_RLSD);
  ASSERT_TRUE(CommRecorder::WaitFor([&] { return recorder.Count(CommEvent::Modem) == 3; }));
  std::vector<std::pair<CommEvent::Kind, quint32>> seen;
  for (const CommEvent& e : recorder.events) {
    if (e.kind != CommEvent::Empty) seen.emplace_back(e.kind, e.value);
  }
  const std::vector<std::pair<CommEvent::Kind, quint32>> expected = {
      {CommEvent::Error, CE_FRAME | CE_OVERRUN},
      {CommEvent::Modem, 4},
      {CommEvent::Modem, 12},
      {CommEvent::Modem, 8},
  };
  EXPECT_EQ(seen, expected);
  // Reception goes on after line errors.
  line->Feed("x");
  EXPECT_TRUE(recorder.WaitForReceived(1));
  EXPECT_EQ(recorder.Count(CommEvent::Hangup), 0);
}

TEST_F(FakeLinkTest, AnUnaskedLineEventEndsTheReaderWithAHangup) {
  comm.OpenPort();
  line->RaiseLineEvent(0x0004);
  EXPECT_TRUE(CommRecorder::WaitFor([&] { return recorder.Count(CommEvent::Hangup) == 1; }));
}

TEST_F(FakeLinkTest, PartialWritesContinueInOrder) {
  comm.OpenPort();
  line->SetWriteLimit(3);
  const QByteArray first = "0123456789";
  const QByteArray second = "abcdefghij";
  ASSERT_TRUE(comm.SendData(first.constData(), 10));
  ASSERT_TRUE(comm.SendData(second.constData(), 10));
  EXPECT_TRUE(line->WaitUntil([&] { return line->Written().size() == 20; }));
  EXPECT_EQ(line->Written(), first + second);
}

TEST_F(FakeLinkTest, SendDataEmptyFollowsEachDrain) {
  comm.OpenPort();
  ASSERT_TRUE(CommRecorder::WaitFor([&] { return recorder.Count(CommEvent::Empty) == 1; }));
  for (int i = 1; i <= 3; ++i) {
    ASSERT_TRUE(comm.SendData("b", 1));
    ASSERT_TRUE(CommRecorder::WaitFor([&] { return recorder.Count(CommEvent::Empty) == i + 1; }));
  }
  // Stalled: the block waits, and no report comes until it is written.
  line->StallWrites(true);
  ASSERT_TRUE(comm.SendData("s", 1));
  QCoreApplication::processEvents();
  EXPECT_EQ(recorder.Count(CommEvent::Empty), 4);
  line->StallWrites(false);
  EXPECT_TRUE(CommRecorder::WaitFor([&] { return recorder.Count(CommEvent::Empty) == 5; }));
  EXPECT_EQ(line->Written(), "bbbs");
}

TEST_F(FakeLinkTest, ClosingAbortsAStalledWriteQuietly) {
  comm.OpenPort();
  line->StallWrites(true);
  for (int i = 0; i < 100; ++i) ASSERT_TRUE(comm.SendData("0123456789", 10));
  comm.ClosePort();
  QCoreApplication::processEvents();
  EXPECT_EQ(recorder.Count(CommEvent::Hangup), 0);
  EXPECT_TRUE(line->Written().isEmpty());
  EXPECT_EQ(line->Purges().back(), PURGE_TXABORT | PURGE_TXCLEAR);
}

TEST_F(FakeLinkTest, ThreadErrorsEndWithOneHangupOrQuietly) {
  comm.OpenPort();
  line->FailNext(FakeOp::Write, EIO);
  ASSERT_TRUE(comm.SendData("x", 1));
  ASSERT_TRUE(CommRecorder::WaitFor([&] { return recorder.Count(CommEvent::Hangup) == 1; }));
  EXPECT_TRUE(CommRecorder::WaitFor([&] { return !comm.SendData("y", 1); }))
      << "the writer has ended";
  line->FailNext(FakeOp::Read, EPROTO);
  line->Feed("z");
  comm.ClosePort();
  QCoreApplication::processEvents();
  EXPECT_EQ(recorder.Count(CommEvent::Hangup), 1) << "one report per opening";

  // A port closed underneath (invalid handle) ends the thread without a report.
  comm.OpenPort();
  ASSERT_TRUE(CommRecorder::WaitFor([&] { return PortThreads() == 2; }));
  line->FailNext(FakeOp::WaitRead, EBADF);
  EXPECT_TRUE(CommRecorder::WaitFor([&] { return PortThreads() == 1; }));
  comm.ClosePort();
  QCoreApplication::processEvents();
  EXPECT_EQ(recorder.Count(CommEvent::Hangup), 1);
}

TEST_F(FakeLinkTest, HangupMidStreamDeliversWhatCameFirst) {
  comm.SetReadIntervalTimeout(60000);
  comm.OpenPort();
  line->Feed("last words");
  ASSERT_TRUE(line->WaitUntil([&] { return line->Consumed() == 10; }));
  line->HangUp();
  ASSERT_TRUE(CommRecorder::WaitFor([&] { return recorder.Count(CommEvent::Hangup) == 1; }));
  EXPECT_EQ(recorder.Received(), "last words");
  std::vector<CommEvent::Kind> order;
  for (const CommEvent& e : recorder.events) {
    if (e.kind != CommEvent::Empty) order.push_back(e.kind);
  }
  EXPECT_EQ(order, (std::vector<CommEvent::Kind>{CommEvent::Data, CommEvent::Hangup}));
}

TEST_F(FakeLinkTest, DestroyingTheComponentClosesThePort) {
  {
    TComm other{nullptr, platform};
    other.OpenPort();
    EXPECT_TRUE(line->DeviceOpen());
    other.SendData("z", 1);
  }
  EXPECT_FALSE(line->DeviceOpen());
  QCoreApplication::processEvents();  // nothing is delivered to the dead component
}

}  // namespace
}  // namespace zrt::link::testing
