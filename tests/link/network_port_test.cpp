// The component on network ports served by ser2net on loopback, with a
// pseudo-terminal behind the server where the test plays the instrument.
#include <gtest/gtest.h>
#include <termios.h>

#include <QElapsedTimer>
#include <QThread>
#include <chrono>
#include <future>
#include <memory>
#include <thread>

#include "comm_recorder.h"
#include "link/port/ecomms_error.h"
#include "link/tcomm.h"
#include "misbehaving_server.h"
#include "pty_pair.h"
#include "ser2net_server.h"

namespace zrt::link::testing {
namespace {

using tools::Ser2netServer;

using Kind = Ser2netServer::Kind;

// What reaches the instrument's side. The server opens its device a moment
// after the connection: until then the pseudo-terminal reads nothing.
QByteArray Receive(const PtyPair& pty, qsizetype count) {
  QByteArray bytes;
  QElapsedTimer clock;
  clock.start();
  while (bytes.size() < count && clock.elapsed() < 5000) {
    bytes += pty.Receive(static_cast<std::size_t>(count - bytes.size()), 100);
    if (bytes.isEmpty()) QThread::msleep(20);
  }
  return bytes;
}

class NetworkPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!Ser2netServer::Installed()) GTEST_SKIP() << "ser2net is not installed";
  }
};

TEST_F(NetworkPortTest, RequestReplyAndEveryByteBothWays) {
  for (const Kind kind : {Kind::Rfc2217, Kind::Raw}) {
    PtyPair pty;
    Ser2netServer server(kind, QString::fromStdString(pty.TerminalPath()));
    ASSERT_TRUE(server.IsUp());
    TComm comm;
    CommRecorder recorder(comm);
    comm.SetCommName(server.Address().toStdString());
    comm.SetBaudRate(19200);
    comm.OpenPort();
    ASSERT_FALSE(comm.SettingsError()) << comm.SettingsError().reason;

    QByteArray out;
    for (int b = 0; b < 256; ++b) out.append(static_cast<char>(b));
    for (char c : out) ASSERT_TRUE(comm.SendData(&c, 1));
    EXPECT_EQ(Receive(pty, 256), out) << server.Address().toStdString();

    // Every byte back but the two the server's port keeps for flow control.
    QByteArray in;
    for (int b = 255; b >= 0; --b) {
      if (b != 17 && b != 19) in.append(static_cast<char>(b));
    }
    pty.Send(in);
    ASSERT_TRUE(recorder.WaitForReceived(in.size())) << server.Address().toStdString();
    EXPECT_EQ(recorder.Received(), in);
    comm.ClosePort();
  }
}

TEST_F(NetworkPortTest, SettingsReachThePortBehindTheServer) {
  PtyPair pty;
  Ser2netServer server(Kind::Rfc2217, QString::fromStdString(pty.TerminalPath()));
  ASSERT_TRUE(server.IsUp());
  TComm comm;
  comm.SetCommName(server.Address().toStdString());
  comm.SetBaudRate(9600);
  comm.SetParity(TParity::Even);
  comm.OpenPort();
  ASSERT_FALSE(comm.SettingsError()) << comm.SettingsError().reason;
  // The rate reaches the terminal behind the server. (ser2net 4.3 confirms
  // data bits and parity for a pseudo-terminal but leaves them as they are.)
  EXPECT_EQ(ReadLineSettings(pty.InstrumentFd()).ospeed, 9600u);
  // A pseudo-terminal has no modem lines: the server leaves them
  // unanswered, which is said, and no failure.
  const std::vector<PortNote> notes = comm.TakeNotes();
  EXPECT_EQ(notes, (std::vector<PortNote>{{PortReason::ModemLineUnanswered, {"DTR on"}},
                                          {PortReason::ModemLineUnanswered, {"RTS on"}}}));
}

TEST_F(NetworkPortTest, OpenFailuresSayWhy) {
  PtyPair pty;
  Ser2netServer server(Kind::Raw, QString::fromStdString(pty.TerminalPath()));
  const QString nobody = QString("rfc2217://127.0.0.1:%1").arg(server.Port());
  server.Stop();
  struct Case {
    std::string name;
    int code;
  } cases[] = {
      {nobody.toStdString(), ECONNREFUSED},
      {"rfc2217://zrt-no-such-host.invalid:7000", EADDRNOTAVAIL},
      {"tcp://127.0.0.1", EINVAL},
  };
  for (const Case& c : cases) {
    TComm comm;
    comm.SetCommName(c.name);
    try {
      comm.OpenPort();
      ADD_FAILURE() << c.name << " opened";
    } catch (const ECommsError& error) {
      EXPECT_EQ(error.Error().code, c.code) << c.name << ": " << error.Reason();
    }
    EXPECT_FALSE(comm.IsOpen());
  }
}

// ---- Servers that misbehave -------------------------------------------------

namespace misbehaving {

using tools::MisbehavingServer;
using tools::Misbehaviour;

// Runs `action` on a thread of its own; false when it has not returned
// within `limit` (it is then left behind: the process ends with the test run).
bool ReturnsWithin(std::function<void()> action, std::chrono::seconds limit) {
  auto done = std::make_shared<std::promise<void>>();
  std::future<void> returned = done->get_future();
  std::thread([action = std::move(action), done] {
    action();
    done->set_value();
  }).detach();
  return returned.wait_for(limit) == std::future_status::ready;
}

// A server that stops reading while it floods negotiations: its connection
// is dropped within the stall limit, said why, and the port closes.
TEST(MisbehavingServer, OneThatStopsReadingIsDroppedAndSaidSo) {
  MisbehavingServer server(Misbehaviour::StopsReading);
  auto comm = std::make_unique<TComm>();
  CommRecorder recorder(*comm);
  comm->SetCommName(server.Address(true));
  comm->OpenPort();
  ASSERT_FALSE(comm->SettingsError()) << comm->SettingsError().reason;
  ASSERT_TRUE(CommRecorder::WaitFor([&] { return recorder.Count(CommEvent::Hangup) > 0; }));
  const std::vector<PortNote> notes = comm->TakeNotes();
  ASSERT_FALSE(notes.empty());
  EXPECT_EQ(notes.back().why, PortReason::ServerStalled);
  EXPECT_TRUE(ReturnsWithin([&comm] { comm.reset(); }, std::chrono::seconds(5)));
}

// Each server is opened and closed; what follows says what was wrong.
TEST(MisbehavingServer, OpenAndCloseStayBounded) {
  const struct {
    Misbehaviour misbehaviour;
    PortReason openFailure;  // System: it opens
  } cases[] = {
      {Misbehaviour::FloodsNegotiations, PortReason::System},
      {Misbehaviour::AcknowledgesEverything, PortReason::System},
      {Misbehaviour::ClosesAtOnce, PortReason::ServerClosedAtOnce},
      {Misbehaviour::NeverConfirms, PortReason::SettingUnanswered},
  };
  for (const auto& c : cases) {
    MisbehavingServer server(c.misbehaviour);
    auto comm = std::make_unique<TComm>();
    comm->SetCommName(server.Address(true));
    PortReason failure = PortReason::System;
    try {
      comm->OpenPort();
      failure = comm->SettingsError().note.why;
    } catch (const ECommsError& error) {
      failure = error.Error().note.why;  // a server gone before it offered anything
    }
    EXPECT_EQ(failure, c.openFailure) << server.Address(true);
    const char byte = 'A';
    comm->SendData(&byte, 1);
    EXPECT_TRUE(ReturnsWithin([&comm] { comm.reset(); }, std::chrono::seconds(5)))
        << server.Address(true);
    // Acknowledgements are not answered again: no loop.
    if (c.misbehaviour == Misbehaviour::AcknowledgesEverything) {
      EXPECT_LT(server.Negotiations(), 20);
    }
  }
}

// Through a relay 150 ms away, bytes the network has not yet acknowledged
// are no hold: only the instrument's XOFF is.
TEST(MisbehavingServer, ASlowNetworkIsNoHold) {
  if (!Ser2netServer::Installed()) GTEST_SKIP() << "ser2net is not installed";
  PtyPair pty;
  Ser2netServer ser2net(Kind::Raw, QString::fromStdString(pty.TerminalPath()));
  ASSERT_TRUE(ser2net.IsUp());
  MisbehavingServer relay(Misbehaviour::Delays, "127.0.0.1:" + std::to_string(ser2net.Port()));
  TComm comm;
  CommRecorder recorder(comm);
  comm.SetCommName(relay.Address(false));
  comm.OpenPort();
  const QByteArray line = "CHA:AFREQ?\n";
  comm.SetMinimumGap(std::chrono::milliseconds(10));
  for (char c : line) comm.SendData(&c, 1);
  EXPECT_EQ(Receive(pty, line.size()), line);
  // More than the relay takes in a while, all at once.
  comm.SetMinimumGap(std::chrono::microseconds(0));
  const QByteArray burst(16 * 1024, 'x');
  const int emptyBefore = recorder.Count(CommEvent::Empty);
  comm.SendData(burst.constData(), static_cast<std::uint16_t>(burst.size()));
  ASSERT_TRUE(
      CommRecorder::WaitFor([&] { return recorder.Count(CommEvent::Empty) > emptyBefore; }));
  EXPECT_EQ(recorder.Count(CommEvent::Held), 0);
  // The instrument's XOFF holds, and XON lets go; the mark after XOFF says
  // it has come.
  pty.Send(QByteArray("\x13M"));
  ASSERT_TRUE(CommRecorder::WaitFor([&] { return recorder.Received().endsWith('M'); }));
  comm.SendData("y", 1);
  EXPECT_TRUE(CommRecorder::WaitFor([&] { return recorder.Count(CommEvent::Held) == 1; }));
  pty.Send(QByteArray("\x11"));
  EXPECT_TRUE(CommRecorder::WaitFor([&] { return recorder.Count(CommEvent::Held) == 2; }));
}

}  // namespace misbehaving

}  // namespace
}  // namespace zrt::link::testing
