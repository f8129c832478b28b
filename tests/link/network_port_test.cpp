// The component on network ports served by ser2net on loopback, with a
// pseudo-terminal behind the server where the test plays the instrument.
#include <gtest/gtest.h>
#include <termios.h>

#include <QElapsedTimer>
#include <QThread>
#include <chrono>

#include "comm_recorder.h"
#include "link/port/ecomms_error.h"
#include "link/tcomm.h"
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
  const std::vector<std::string> notes = comm.TakeNotes();
  EXPECT_EQ(notes, (std::vector<std::string>{"the server did not answer DTR on",
                                             "the server did not answer RTS on"}));
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

}  // namespace
}  // namespace zrt::link::testing
