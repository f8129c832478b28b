// The instrument shared from the window: PyVISA (with pyvisa-py, as
// Debian ships them) queries the simulated instrument through the panel
// while the operator sends too; each gets its own reply, and the log says
// whose lines and replies are whose. In SCPI, the lines follow the
// window's address field, and the log says which command became which.
#include <QCheckBox>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <optional>

#include "net/stream_socket.h"
#include "serve/instrument_server.h"
#include "sim/pty_instrument.h"
#include "window/log/session_log.h"
#include "window/port/share_control.h"
#include "window_fixture.h"

namespace zrt::window::testing {
namespace {

class SharingTest : public WindowTest {
 protected:
  // The port open on `instrument`, shared on a port of the system's choosing.
  void OpenAndShare(const sim::PtyInstrument& instrument) {
    Get<QComboBox>("cbo1")->setEditText(QString::fromStdString(instrument.TerminalPath()));
    Click("btn106");
    ASSERT_TRUE(form->PortOpen());
    form->Sharing().SetAddress("127.0.0.1", 0);
    Get<QCheckBox>("ShareToggle")->click();
    ASSERT_TRUE(form->Sharing().On());
  }
  // A Python client on the shared port, once connected.
  void StartClient(QProcess& client, const char* script) {
    client.start("/usr/bin/python3",
                 {"-c", script, QString::number(form->Sharing().Server()->Port())});
    ASSERT_TRUE(client.waitForStarted(10000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->Sharing().Server()->Clients() == 1; }, 20000))
        << client.readAllStandardError().toStdString();
  }
  // What it printed, once it has ended well.
  static QByteArray Printed(QProcess& client) {
    EXPECT_TRUE(QTest::qWaitFor([&] { return client.state() == QProcess::NotRunning; }, 30000));
    EXPECT_EQ(client.exitCode(), 0) << client.readAllStandardError().toStdString();
    return client.readAllStandardOutput();
  }
};

constexpr char kPyVisaClient[] = R"(
import sys, pyvisa
inst = pyvisa.ResourceManager("@py").open_resource(
    f"TCPIP0::127.0.0.1::{sys.argv[1]}::SOCKET", read_termination="\n", write_termination="\n")
inst.timeout = 20000
inst.write("88CHA:AFREQ1000Hz")
assert inst.read() == "OK"
print(inst.query("88CHA:AFREQ?"))
)";

TEST_F(SharingTest, PyVisaAndTheOperatorShareTheInstrument) {
  sim::PtyInstrument instrument({88, {}, {}});
  ASSERT_NO_FATAL_FAILURE(OpenAndShare(instrument));
  const std::uint16_t port = form->Sharing().Server()->Port();
  EXPECT_EQ(Get<QCheckBox>("ShareToggle")->text(), QString("Share on 127.0.0.1:%1").arg(port));

  QProcess client;
  ASSERT_NO_FATAL_FAILURE(StartClient(client, kPyVisaClient));
  EXPECT_EQ(Get<QLabel>("SharePane")->text(), "clients: 1");
  QDir().mkpath(ZRT_SCREENSHOT_DIR);
  EXPECT_TRUE(form->grab().toImage().save(QDir(ZRT_SCREENSHOT_DIR).filePath("sharing.png")));

  // The operator's line takes its turn among the client's.
  Get<QLineEdit>("Edit1")->setText("88CHB:AFREQ?");
  Click("btn96");
  EXPECT_EQ(Printed(client), "1000Hz\n");
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return Get<QLineEdit>("Edit3")->text().contains("0"); }, 10000));
  EXPECT_FALSE(Get<QLineEdit>("Edit3")->text().contains("Hz")) << "a client's reply in the box";

  // The client's lines and replies stand in the log with their origin.
  int sentForClient = 0;
  int receivedForClient = 0;
  for (int row = 0; row < form->Log().rowCount(); ++row) {
    const LogEntry entry = form->Log().At(row);
    if (!entry.link.contains("(tcp 127.0.0.1:")) continue;
    sentForClient += entry.kind == LogEntry::Kind::Sent;
    receivedForClient += entry.kind == LogEntry::Kind::Received;
  }
  EXPECT_EQ(sentForClient, 2);
  EXPECT_GE(receivedForClient, 2);
}

constexpr char kScpiClient[] = R"(
import sys, pyvisa
inst = pyvisa.ResourceManager("@py").open_resource(
    f"TCPIP0::127.0.0.1::{sys.argv[1]}::SOCKET", read_termination="\n", write_termination="\n")
inst.timeout = 20000
print(inst.query("SOUR2:FREQ 1500;FREQ?;*OPC?"))
inst.write("BOGUS")
print(inst.query("SYST:ERR?"))
)";

TEST_F(SharingTest, ScpiClientsAndTheOperatorShareTheInstrument) {
  sim::PtyInstrument instrument({42, {}, {}});
  Get<QLineEdit>("Edit2")->setText("42");
  ASSERT_NO_FATAL_FAILURE(OpenAndShare(instrument));
  Get<QComboBox>("ShareSpeech")->setCurrentIndex(1);  // chosen while on: listening again
  ASSERT_TRUE(form->Sharing().On() && form->Sharing().Scpi());

  QProcess client;
  ASSERT_NO_FATAL_FAILURE(StartClient(client, kScpiClient));
  Get<QLineEdit>("Edit1")->setText("42CHA:AFREQ?");
  Click("btn96");
  EXPECT_EQ(Printed(client), "+1.5000000000E+03;1\n-113,\"Undefined header\"\n");
  ASSERT_TRUE(QTest::qWaitFor([&] { return !Get<QLineEdit>("Edit3")->text().isEmpty(); }, 10000));
  EXPECT_FALSE(Get<QLineEdit>("Edit3")->text().contains("1500")) << "a client's reply in the box";

  QStringList clientsLog;
  for (int row = 0; row < form->Log().rowCount(); ++row) {
    const LogEntry entry = form->Log().At(row);
    if (!entry.link.contains("tcp 127.0.0.1:")) continue;
    clientsLog << (entry.kind == LogEntry::Kind::Event ? entry.text : QString(entry.bytes));
  }
  for (const char* said : {"SCPI SOUR2:FREQ 1500", "*CHB:BFREQ1500Hz", "SCPI BOGUS",
                           "SCPI error -113,\"Undefined header\""}) {
    EXPECT_EQ(clientsLog.filter(said).size(), 1)
        << said << " in " << clientsLog.join(" | ").toStdString();
  }
}

// The operator's line waiting behind a program's when the port goes is
// dropped with it, and Send comes back.
TEST_F(SharingTest, TheOperatorsWaitingLineGoesWithThePort) {
  Answering answering;
  form->SetMessagePresenter(answering);
  std::optional<sim::PtyInstrument> instrument(std::in_place, sim::PtyInstrument::Options{});
  Get<QComboBox>("cbo1")->setEditText(QString::fromStdString(instrument->TerminalPath()));
  Click("btn106");
  form->Sharing().SetAddress("127.0.0.1", 0);
  form->Sharing().SetOn(true);
  const auto client = net::StreamSocket::Connect("127.0.0.1", form->Sharing().Server()->Port());
  client.Write("88CHA:AFREQ1234567890Hz\n", 24);
  ASSERT_TRUE(QTest::qWaitFor([&] { return form->Sending(); }, 10000));
  Get<QLineEdit>("Edit1")->setText("88CHB:AFREQ?");
  Click("btn96");
  ASSERT_FALSE(form->ReadyToSend());
  instrument.reset();  // the port's other end goes
  ASSERT_TRUE(QTest::qWaitFor([&] { return !form->PortOpen(); }, 10000));
  EXPECT_TRUE(QTest::qWaitFor([&] { return Button("btn96")->isEnabled(); }, 5000));
}

}  // namespace
}  // namespace zrt::window::testing
