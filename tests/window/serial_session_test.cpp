// The window talking to an instrument played on a pseudo-terminal: opening
// and closing the port, sends as they go out on the wire, replies, failures.
#include <sys/stat.h>

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTemporaryFile>

#include "fake_serial.h"
#include "faulty_serial.h"
#include "link/port_watch.h"
#include "link_probe.h"
#include "misbehaving_server.h"
#include "protocol/send_steps.h"
#include "pty_pair.h"
#include "ser2net_server.h"
#include "sim/pty_instrument.h"
#include "window/send/operator_messages.h"
#include "window_fixture.h"

namespace zrt::window {

inline void PrintTo(const OperatorMessage& m, std::ostream* out) {
  *out << static_cast<int>(m.kind) << " \"" << m.title.toStdString() << "\" \""
       << m.text.toStdString() << "\" \"" << m.detail.toStdString() << '"';
}

namespace testing {
namespace {

using link::testing::PortThreadsSettleAt;
using link::testing::PtyPair;
using Kind = OperatorMessage::Kind;

// Every message is answered at once, or left open with `keepOpen`;
// questions as `answer` says.
class RecordingPresenter : public MessagePresenter {
 public:
  void Present(const OperatorMessage& message, std::function<void()> answered) override {
    shown.push_back(message);
    if (!keepOpen) return answered();
    open = std::move(answered);
  }
  void Withdraw(const OperatorMessage& message) override {
    withdrawn.push_back(message);
    if (auto answered = std::exchange(open, {})) answered();
  }
  std::vector<OperatorMessage> withdrawn;
  std::function<void()> open;
  bool keepOpen = false;
  void Ask(const OperatorMessage& question, std::function<void(bool)> answered) override {
    shown.push_back(question);
    answered(answer);
  }
  std::vector<OperatorMessage> shown;
  bool answer = true;
};

class SerialSessionTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    form->SetMessagePresenter(messages);
  }

  void OpenPort(const QString& name) {
    Get<QComboBox>("cbo1")->setEditText(name);
    Click("btn106");
  }
  void OpenPty() {
    OpenPort(QString::fromStdString(pty.TerminalPath()));
    ASSERT_TRUE(form->PortOpen());
  }
  void Send(const QString& line) {
    Get<QLineEdit>("Edit1")->setText(line);
    Click("btn96");
  }
  // Until Send takes the next line (after the pause and any hold).
  bool WaitForSendEnabled(int timeoutMs = 10000) {
    return QTest::qWaitFor([&] { return Button("btn96")->isEnabled(); }, timeoutMs);
  }
  QString Reply() const { return Get<QLineEdit>("Edit3")->text(); }
  QByteArray Wire(qsizetype expected) const { return pty.Receive(expected, 1000); }

  PtyPair pty;
  RecordingPresenter messages;
};

TEST_F(SerialSessionTest, TypicalRequestFromTheKeys) {
  OpenPty();
  for (const char* key : {"btn101", "Button4", "Button94", "Button37"}) Click(key);
  ASSERT_EQ(Line(), "88ASWP:TRIGG");

  QElapsedTimer clock;
  clock.start();
  Click("btn96");
  EXPECT_FALSE(Button("btn96")->isEnabled()) << "disabled while the frame goes out";
  ASSERT_TRUE(QTest::qWaitFor([&] { return Reply() == "发送:XASWP:TRIGG"; }, 5000));
  EXPECT_GE(clock.elapsed(), 12 * protocol::kSerialByteIntervalMs)
      << "the echo follows the last pause";
  EXPECT_FALSE(Button("btn96")->isEnabled()) << "held after the sweep trigger";
  EXPECT_EQ(Wire(12), QByteArray("XASWP:TRIGG\n"));

  clock.restart();
  ASSERT_TRUE(WaitForSendEnabled());
  EXPECT_GE(clock.elapsed(), protocol::kSweepTriggerHoldMs - 300);
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_FALSE(pty.Readable(0));
}

// A network serial server's port opens and answers as a local one; the
// modem lines its pseudo-terminal lacks are said in the log; a server that
// stops and comes back is reconnected.
TEST_F(SerialSessionTest, ANetworkPortAsALocalOne) {
  if (!tools::Ser2netServer::Installed()) GTEST_SKIP() << "ser2net is not installed";
  sim::PtyInstrument instrument({});
  tools::Ser2netServer server(tools::Ser2netServer::Kind::Rfc2217,
                              QString::fromStdString(instrument.TerminalPath()));
  ASSERT_TRUE(server.IsUp());
  OpenPort(server.Address());
  ASSERT_TRUE(form->PortOpen()) << (messages.shown.empty()
                                        ? std::string()
                                        : messages.shown[0].detail.toStdString());
  Send("CHA:AFREQ:1000HZ");
  ASSERT_TRUE(QTest::qWaitFor([&] { return Reply() == "接收:OK\n"; }, 5000))
      << Reply().toStdString();
  ASSERT_TRUE(WaitForSendEnabled());
  Send("CHA:AFREQ?");
  EXPECT_TRUE(QTest::qWaitFor([&] { return Reply() == "接收:1000HZ\n"; }, 5000))
      << Reply().toStdString();
  QStringList log;
  for (qsizetype i = 0; i < form->Log().Size(); ++i) log << form->Log().LineOf(form->Log().At(i));
  EXPECT_EQ(log.filter("the server did not answer").size(), 2) << log.join('\n').toStdString();
  EXPECT_TRUE(messages.shown.empty());

  // The server stopped mid-session is a lost port; back, it is reopened.
  server.Stop();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !form->PortOpen(); }, 5000));
  EXPECT_EQ(messages.shown.size(), 1u);
  ASSERT_TRUE(server.Start());
  ASSERT_TRUE(QTest::qWaitFor([&] { return form->PortOpen(); }, 5000));
  Send("CHA:AFREQ?");
  EXPECT_TRUE(QTest::qWaitFor([&] { return Reply() == "接收:1000HZ\n"; }, 5000))
      << Reply().toStdString();
}

// A network server that comes back but never confirms the settings: the
// reopening waits for it off the window's thread, try after try.
TEST_F(SerialSessionTest, ReopeningWaitsForASlowServerOffTheWindowsThread) {
  using tools::MisbehavingServer, tools::Misbehaviour;
  auto server = std::make_unique<MisbehavingServer>(Misbehaviour::AcknowledgesEverything);
  const int port = server->Port();
  OpenPort(QString::fromStdString(server->Address(true)));
  ASSERT_TRUE(form->PortOpen());
  server.reset();  // gone
  ASSERT_TRUE(QTest::qWaitFor([&] { return !form->PortOpen(); }, 5000));
  ASSERT_FALSE(messages.shown.empty());
  EXPECT_TRUE(messages.shown.back().text.endsWith("was closed: its server is gone."))
      << messages.shown.back().text.toStdString();
  MisbehavingServer silent(Misbehaviour::NeverConfirms, {}, port);
  QElapsedTimer clock;
  qint64 longestGap = 0;
  QTimer tick;
  tick.setInterval(10);
  QObject::connect(&tick, &QTimer::timeout,
                   [&] { longestGap = std::max(longestGap, clock.restart()); });
  clock.start();
  tick.start();
  // A try that has waited out the server's answer.
  QSignalSpy tried(&form->Comm1(), &link::TComm::OnOpenFinished);
  ASSERT_TRUE(tried.wait(15000));
  EXPECT_LT(longestGap, 1000) << "the window stopped while the server was waited for";
  EXPECT_FALSE(form->PortOpen());
  EXPECT_TRUE(form->PortWatcher().Watching());
}

// A port opened by its stable name (a link such as udev makes under
// /dev/serial/by-id) that goes away is reopened when the link is made anew
// for the device that comes back, and not for another device that merely
// gets the old node.
TEST_F(SerialSessionTest, ALostPortIsReopenedWhenItComesBack) {
  QTemporaryDir byId;
  form->PortWatcher().SetByIdDir(byId.path().toStdString());
  const QString stable = byId.filePath("usb-ZRT_Generator_0001-if00-port0");
  auto plug = [&](const PtyPair& device) {
    QFile::remove(stable);
    ASSERT_TRUE(QFile::link(QString::fromStdString(device.TerminalPath()), stable));
  };
  plug(pty);
  OpenPort(stable);
  ASSERT_TRUE(form->PortOpen());

  messages.keepOpen = true;  // the operator has not closed the notice yet
  pty.CloseInstrument();     // unplugged
  ASSERT_TRUE(QTest::qWaitFor([&] { return !form->PortOpen(); }, 5000));
  EXPECT_TRUE(form->PortWatcher().Watching());
  EXPECT_TRUE(
      form->Control("StatusBar1")->findChildren<QLabel*>()[0]->toolTip().contains("waiting"));

  // Another device on the old node, the link left as it was: not the port.
  PtyPair other;
  QTest::qWait(2 * link::PortWatch::kPeriod.count() + 200);
  EXPECT_FALSE(form->PortOpen());

  // The device back, its link made anew.
  PtyPair back;
  plug(back);
  ASSERT_TRUE(QTest::qWaitFor([&] { return form->PortOpen(); }, 5000));
  EXPECT_FALSE(form->PortWatcher().Watching());
  Send("CHA:AFREQ?");
  ASSERT_TRUE(WaitForSendEnabled());  // the window paces the bytes through its event loop
  EXPECT_EQ(back.Receive(11), "CHA:AFREQ?\n");
  QStringList log;
  for (qsizetype i = 0; i < form->Log().Size(); ++i) log << form->Log().LineOf(form->Log().At(i));
  EXPECT_EQ(log.filter("came back and was reopened").size(), 1) << log.join('\n').toStdString();
  ASSERT_EQ(messages.withdrawn.size(), 1u) << "the notice of the loss goes once the port is back";
  EXPECT_TRUE(messages.withdrawn[0].text.contains("its device is gone"));
  EXPECT_TRUE(Get<QLabel>("StatusText")->text().contains("came back and was reopened"));
  messages.keepOpen = false;

  // The operator's own Close ends any watching; so does the switch.
  form->SetReopenPorts(false);
  back.CloseInstrument();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !form->PortOpen(); }, 5000));
  EXPECT_FALSE(form->PortWatcher().Watching());
}

TEST_F(SerialSessionTest, LinesOnTheWire) {
  OpenPty();
  const QString asTyped = "  (no address at the start: sent as typed)";
  struct Case {
    QString line;
    QString address;
    QByteArray wire;
    QString echo;
  };
  const Case cases[] = {
      {"88FREQ88", "88", "XFREQ88\n", "发送:XFREQ88"},
      {"FREQ:1000", "88", "FREQ:1000\n", "发送:FREQ:1000" + asTyped},
      {"CHA:AFREQ:880HZ", "88", "CHA:AFREQ:880HZ\n", "发送:CHA:AFREQ:880HZ" + asTyped},
      {"300AMPL", "300", ",AMPL\n", "发送:,AMPL"},
      {"0AMPL", "0", QByteArray("\0AMPL\n", 6), "发送:" + QString(QChar(0)) + "AMPL"},
      {"-1X", "-1", "\xFFX\n", "发送:" + QString(QChar(0xFF)) + "X"},
      {"８８ＦＲＥＱ？　", "88", "XFREQ? \n", "发送:XFREQ? "},  // a Chinese input method's
      {"0X41FREQ", "0x41", "AFREQ\n", "发送:AFREQ"},            // letter case ignored
      {"FREQ0x41", "0x41", "FREQ0x41\n", "发送:FREQ0x41" + asTyped},
      {"256FREQ", "256", QByteArray("\0FREQ\n", 6), "发送:" + QString(QChar(0)) + "FREQ"},
      {"-129FREQ", "-129",
       "\x7F"
       "FREQ\n",
       "发送:" + QString(QChar(0x7F)) + "FREQ"},
      {"XASWP:TRIGG", "89", "XASWP:TRIGG\n", "发送:XASWP:TRIGG" + asTyped},  // no hold
      {"88" + QString(300, 'L'), "88", "X" + QByteArray(300, 'L') + '\n',
       "发送:X" + QString(300, 'L')},
  };
  for (const Case& c : cases) {
    Get<QLineEdit>("Edit2")->setText(c.address);
    Send(c.line);
    ASSERT_TRUE(WaitForSendEnabled()) << c.line.toStdString();
    EXPECT_EQ(Reply(), c.echo);
    EXPECT_EQ(Wire(c.wire.size()), c.wire) << c.line.toStdString();
    EXPECT_FALSE(pty.Readable(0));
  }
  EXPECT_TRUE(messages.shown.empty());

  // The note speaks the chosen language.
  form->SelectLanguage(Language::SimplifiedChinese);
  Send("FREQ?");
  ASSERT_TRUE(WaitForSendEnabled());
  EXPECT_EQ(Reply(), "发送:FREQ?  （行首没有地址：按原样发送）");
  EXPECT_EQ(Wire(6), "FREQ?\n");
}

// Enter sends as Send does; Up and Down recall what was sent.
TEST_F(SerialSessionTest, EnterSendsAndUpRecalls) {
  OpenPty();
  auto* line = Get<QLineEdit>("Edit1");
  for (const char* typed : {"88FREQ?", "88VPP?"}) {
    line->setText(typed);
    QTest::keyClick(line, Qt::Key_Return);
    ASSERT_TRUE(WaitForSendEnabled());
  }
  EXPECT_EQ(Wire(14), "XFREQ?\nXVPP?\n");
  line->setText("88A");
  QTest::keyClick(line, Qt::Key_Up);
  EXPECT_EQ(line->text(), "88VPP?");
  QTest::keyClick(line, Qt::Key_Up);
  EXPECT_EQ(line->text(), "88FREQ?");
  QTest::keyClick(line, Qt::Key_Down);
  EXPECT_EQ(line->text(), "88VPP?");
  QTest::keyClick(line, Qt::Key_Escape);
  EXPECT_EQ(line->text(), "88A");
}

// A reply during a frame shows after its echo. The log: a send and its
// two-part reply in order, a reply during a frame after it, a hang-up;
// shown below the original area, which keeps its place.
TEST_F(SerialSessionTest, TheLogRecordsTheSession) {
  OpenPty();
  const QString port = QString::fromStdString(pty.TerminalPath());
  Send("88" + QString(20, 'F'));
  ASSERT_TRUE(pty.Readable(5000));
  pty.Send("EARLY");
  ASSERT_TRUE(WaitForSendEnabled());
  EXPECT_TRUE(QTest::qWaitFor([&] { return Reply() == "接收:EARLY"; }, 5000))
      << "what came during the frame shows after its echo";
  pty.Send("5V");
  ASSERT_TRUE(QTest::qWaitFor([&] { return Reply().endsWith("5V"); }, 5000));
  QTest::qWait(200);  // a pause inside the reply
  pty.Send("\n");
  ASSERT_TRUE(QTest::qWaitFor([&] { return Reply().endsWith("5V\n"); }, 5000));
  pty.CloseInstrument();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !form->PortOpen(); }, 5000));

  SessionLog& log = form->Log();
  std::vector<QString> lines;
  for (qsizetype i = 0; i < log.Size(); ++i) {
    const LogEntry& e = log.At(i);
    if (e.kind != LogEntry::Kind::Event) {
      EXPECT_EQ(e.link, port);
    }
    lines.push_back(log.LineOf(e).section("  ", 2));  // without the time and link
  }
  const QString frame = "→ ⟨58⟩" + QString(20, 'F') + "⟨0A⟩";
  EXPECT_EQ(lines, (std::vector<QString>{
                       "· " + port + " 19200 bit/s: open", frame, "← EARLY", "← 5V", "← ⟨0A⟩",
                       "· " + port + " 19200 bit/s: closed",
                       "· The serial port " + port + " was closed: its device is gone.",
                       "· " + port +
                           " cannot be waited for (it does not come back by itself): open it "
                           "again by hand"}));

  const QRect statusBar = Get("StatusBar1")->geometry();
  QTest::keyClick(form.get(), Qt::Key_L, Qt::ControlModifier);
  EXPECT_TRUE(form->LogShown());
  EXPECT_EQ(form->height(), 502 + form->LogHeight());
  EXPECT_EQ(form->LogPanelWidget()->mapTo(form.get(), QPoint()).y() >= 502, true)
      << "the log stands below the original area";
  EXPECT_EQ(Get("StatusBar1")->geometry(), statusBar) << "the original area stays";
  // The log widens with the window; the original area stays as it is.
  form->resize(1200, form->height());
  QTRY_COMPARE(form->LogPanelWidget()->width(), 1200);
  EXPECT_EQ(Get("StatusBar1")->geometry(), statusBar);
  QTest::keyClick(form.get(), Qt::Key_L, Qt::ControlModifier);
  EXPECT_FALSE(form->LogShown());
  EXPECT_EQ(form->size(), QSize(801, 502));
}

// A line of minutes is sent only if the operator agrees.
TEST_F(SerialSessionTest, AVeryLongLineAsksFirst) {
  OpenPty();
  messages.answer = false;
  Send("88" + QString(4095, 'L'));  // 4097 characters
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].kind, Kind::Question);
  EXPECT_EQ(messages.shown[0].text,
            "This line is 4097 bytes long and takes 41.0 s to send (10 ms per byte). Send it?");
  EXPECT_FALSE(form->Sending());
  EXPECT_TRUE(Button("btn96")->isEnabled());
  EXPECT_FALSE(pty.Readable(100));
}

// 4096 characters go without a question. A device that vanishes mid-frame
// cuts it, and that is said once.
TEST_F(SerialSessionTest, DeviceGoneMidFrameIsSaidOnce) {
  OpenPty();
  Send("88" + QString(4094, 'L'));
  EXPECT_TRUE(messages.shown.empty());
  ASSERT_TRUE(pty.Readable(5000));
  pty.CloseInstrument();
  ASSERT_TRUE(WaitForSendEnabled());
  EXPECT_FALSE(form->PortOpen());
  QTest::qWait(50);  // a second message would come now
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].kind, Kind::Notice);
  EXPECT_TRUE(QRegularExpression("^The line was cut: \\d+ of 4096 bytes went out\\.$")
                  .match(messages.shown[0].detail)
                  .hasMatch())
      << messages.shown[0].detail.toStdString();
  EXPECT_TRUE(PortThreadsSettleAt(0));
}

// Nothing reaches the wire, and the reply box keeps what it showed.
TEST_F(SerialSessionTest, SendsThatStopBeforeTheWire) {
  OpenPty();
  struct Case {
    QString baud, address, line, report;  // no report: nothing said
  };
  const Case cases[] = {
      {"fast", "88", "FREQ", "'fast' is not a valid integer value."},
      {"19200", "x8", "FREQ", "'x8' is not a valid integer value."},
      {"fast", "x8", "FREQ", "'fast' is not a valid integer value."},  // the rate comes first
      {"19200", "", "", "'' is not a valid integer value."},
      {"0", "88", "FREQ", "'0' is not a valid baud rate."},
      {"-9600", "88", "FREQ", "'-9600' is not a valid baud rate."},
      {"4294967296", "88", "FREQ", "'4294967296' is not a valid integer value."},
      {"9600abc", "88", "FREQ", "'9600abc' is not a valid integer value."},
      {"19200", "256x", "FREQ", "'256x' is not a valid integer value."},
      {"19200", "99999999999", "FREQ", "'99999999999' is not a valid integer value."},
      {"9600", "88", "", ""},  // an empty line still sets the rate
  };
  for (const Case& c : cases) {
    messages.shown.clear();
    Get<QComboBox>("cob2")->setEditText(c.baud);
    Get<QLineEdit>("Edit2")->setText(c.address);
    Get<QLineEdit>("Edit3")->setText("kept");
    Send(c.line);
    ASSERT_EQ(messages.shown.size(), c.report.isEmpty() ? 0u : 1u) << c.report.toStdString();
    if (!c.report.isEmpty()) {
      EXPECT_EQ(messages.shown[0],
                (OperatorMessage{Kind::HandlerError, "ZRT10XX/ZRT30XXCH", c.report, {}}));
    }
    EXPECT_EQ(Reply(), "kept");
    EXPECT_TRUE(Button("btn96")->isEnabled());
  }
  EXPECT_EQ(link::testing::ReadLineSettings(pty.InstrumentFd()).ospeed, 9600u);
  EXPECT_FALSE(pty.Readable(50));
}

// A rate the port refuses is said, and nothing goes out at the old one.
TEST_F(SerialSessionTest, RefusedBaudRateStopsTheSend) {
  auto line = std::make_shared<link::testing::FakeLine>();
  link::testing::FakePlatform platform(line);
  TForm1 window(nullptr, platform, usb);
  window.SetMessagePresenter(messages);
  qobject_cast<QPushButton*>(window.Control("btn106"))->click();
  ASSERT_TRUE(window.PortOpen());
  line->FailNext(link::testing::FakeOp::ApplyState, EINVAL);
  qobject_cast<QComboBox*>(window.Control("cob2"))->setEditText("12345");
  qobject_cast<QLineEdit*>(window.Control("Edit1"))->setText("FREQ");
  qobject_cast<QPushButton*>(window.Control("btn96"))->click();
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].text, "The serial port does not take the baud rate 12345.");
  EXPECT_EQ(messages.shown[0].detail, "Invalid argument");
  EXPECT_TRUE(line->Written().isEmpty());
}

// Seeded port faults under the window: after a send the window is either
// still working or has closed the port and said so.
TEST_F(SerialSessionTest, SeededPortFaultsLeaveTheWindowConsistent) {
  for (unsigned seed = 1; seed <= 25; ++seed) {
    const link::testing::FaultPlan plan(seed);
    SCOPED_TRACE(plan.Describe());
    link::testing::PtyPair port;
    link::testing::FaultySerialPlatform platform(link::SystemSerialPlatform(), plan);
    RecordingPresenter said;
    TForm1 window(nullptr, platform, usb);
    window.SetMessagePresenter(said);
    qsizetype received = 0;
    QObject::connect(&window.Comm1(), &link::TComm::OnReceiveData,
                     [&](const QByteArray& block) { received += block.size(); });
    qobject_cast<QComboBox*>(window.Control("cbo1"))
        ->setEditText(QString::fromStdString(port.TerminalPath()));
    qobject_cast<QPushButton*>(window.Control("btn106"))->click();
    if (!window.PortOpen()) {  // a device that cannot be configured does not count as open
      ASSERT_EQ(said.shown.size(), 1u);
      EXPECT_EQ(said.shown[0].text, "Error opening serial port.");
      EXPECT_FALSE(window.Comm1().IsOpen());
      continue;
    }
    port.Send(QByteArray(64, 'r'));
    qobject_cast<QLineEdit*>(window.Control("Edit1"))->setText("FREQ");
    qobject_cast<QPushButton*>(window.Control("btn96"))->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.Control("btn96")->isEnabled(); }, 5000));
    // Until the instrument's bytes are in, or the port is said to be lost.
    auto lost = [&] {
      return std::any_of(said.shown.begin(), said.shown.end(), [](const OperatorMessage& m) {
        return m.kind == OperatorMessage::Kind::Notice;
      });
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return lost() || received == 64; }, 5000));
    EXPECT_EQ(window.PortOpen(), window.Comm1().IsOpen());
    EXPECT_EQ(window.PortOpen(), !lost()) << "a closed port is said, an open one is not";
  }
}

// Bytes that cannot be handed over: the port is closed. The sweep
// trigger's hold follows the answer. The log has no frame for it, only
// why it did not go out.
TEST_F(SerialSessionTest, BytesNotHandedOverAskToOpenThePort) {
  Get<QLineEdit>("Edit3")->setText("old");
  Send("88ASWP:TRIGG");
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0], (OperatorMessage{Kind::SendFailure, "Error", "请打开串口!", {}}));
  EXPECT_TRUE(Reply().isEmpty());
  EXPECT_FALSE(Button("btn96")->isEnabled());
  ASSERT_TRUE(WaitForSendEnabled());
  ASSERT_EQ(form->Log().Size(), 1);
  EXPECT_EQ(form->Log().At(0).kind, LogEntry::Kind::Event);
  EXPECT_EQ(form->Log().At(0).text, "88ASWP:TRIGG: not sent: 请打开串口!");
}

// A line with a character the instrument has no byte for is refused
// whole, before anything goes out.
TEST_F(SerialSessionTest, CharactersWithoutAByteRefuseTheLine) {
  OpenPty();
  const QString line = QString::fromUtf8("88频率");
  Send(line);
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].kind, Kind::Notice);
  EXPECT_TRUE(messages.shown[0].text.startsWith(QString::fromUtf8("'频' (U+9891) at position 3")));
  EXPECT_EQ(form->Log().At(form->Log().Size() - 1).text.left(line.size() + 11),
            line + ": not sent:");
  EXPECT_TRUE(Button("btn96")->isEnabled());
  EXPECT_FALSE(pty.Readable(100));
}

// Typing in the port box closes the open port; what is said names that
// port, not the text in the box.
TEST_F(SerialSessionTest, ChangingThePortNameNamesThePortClosed) {
  OpenPty();
  const QString port = QString::fromStdString(pty.TerminalPath());
  Get<QComboBox>("cbo1")->setEditText(port + "x");
  EXPECT_FALSE(form->PortOpen());
  const LogEntry last = form->Log().At(form->Log().Size() - 1);
  EXPECT_EQ(last.link, port);
  EXPECT_EQ(last.text, port + " 19200 bit/s: closed");
  EXPECT_EQ(Get<QLabel>("StatusText")->text(), "Port " + port + " closed: the port name changed");
  const qsizetype entries = form->Log().Size();
  Get<QComboBox>("cbo1")->setEditText(port + "xy");
  EXPECT_EQ(form->Log().Size(), entries) << "a closed port is not closed again";
  EXPECT_TRUE(
      form->Control("StatusBar1")->findChildren<QLabel*>()[0]->toolTip().startsWith(port + " "));
  // A name a little too long for the narrow box still shows whole.
  auto* box = Get<QComboBox>("cbo1");
  box->setEditText("/dev/pts/1");
  EXPECT_LE(box->lineEdit()->fontMetrics().horizontalAdvance(box->currentText()),
            box->lineEdit()->width());
}

// Enter while Send is held after the sweep trigger says so, and keeps the line.
TEST_F(SerialSessionTest, EnterDuringTheSweepHoldSaysWhy) {
  OpenPty();
  Send("88ASWP:TRIGG");
  ASSERT_TRUE(QTest::qWaitFor([&] { return !form->Sending(); }, 5000));
  ASSERT_FALSE(Button("btn96")->isEnabled());
  auto* line = Get<QLineEdit>("Edit1");
  line->setText("88FREQ?");
  QTest::keyClick(line, Qt::Key_Return);
  EXPECT_TRUE(Get<QLabel>("StatusText")->text().startsWith("Send is held after the sweep trigger"));
  EXPECT_EQ(line->text(), "88FREQ?");
}

// Closing the port or choosing another one while a frame goes out waits for
// the frame: the instrument never keeps half a line.
TEST_F(SerialSessionTest, PortActionsWaitForTheFrame) {
  const std::pair<const char*, std::function<void()>> actions[] = {
      {"close", [&] { Click("btn106"); }},
      {"another port", [&] { Get<QComboBox>("cbo1")->setEditText("COM7"); }},
  };
  for (const auto& [name, act] : actions) {
    SCOPED_TRACE(name);
    OpenPty();
    Send("88" + QString(30, 'A'));
    ASSERT_TRUE(QTest::qWaitFor([&] { return pty.Readable(0); }, 5000));  // after the reply wait
    act();
    EXPECT_TRUE(form->PortOpen()) << "closes once the frame is out";
    ASSERT_TRUE(WaitForSendEnabled());
    EXPECT_EQ(Wire(32), "X" + QByteArray(30, 'A') + '\n');
    EXPECT_FALSE(form->PortOpen());
    EXPECT_EQ(Button("btn106")->text(), "Close");
  }
  EXPECT_EQ(form->Comm1().CommName(), "COM7");
  EXPECT_TRUE(messages.shown.empty());
}

// A block within a second of the one before continues the reply; a longer
// silence starts a new one.
TEST_F(SerialSessionTest, RepliesContinueUntilASilence) {
  OpenPty();
  pty.Send(QByteArray("OK\0\r\n\xFF", 6));
  const QString first = "接收:OK" + QString(QChar(0)) + QChar(0x0D) + QChar(0x0A) + QChar(0xFF);
  ASSERT_TRUE(QTest::qWaitFor([&] { return Reply() == first; }, 5000)) << Reply().toStdString();
  pty.Send("MORE");
  ASSERT_TRUE(QTest::qWaitFor([&] { return Reply() == first + "MORE"; }, 5000))
      << Reply().toStdString();

  QTest::qWait(1200);  // the instrument falls silent for longer than a second
  pty.Send("NEXT");
  ASSERT_TRUE(QTest::qWaitFor([&] { return Reply() == "接收:NEXT"; }, 5000))
      << Reply().toStdString();
  const QByteArray block(2048, 'R');
  pty.Send(block);
  ASSERT_TRUE(QTest::qWaitFor([&] { return Reply() == "接收:NEXT" + QString(2048, 'R'); }, 5000));
}

TEST_F(SerialSessionTest, FailedOpensLeaveThePortClosed) {
  QTemporaryFile file;
  ASSERT_TRUE(file.open());
  QTemporaryDir dir;
  const QString fifo = dir.filePath("fifo");
  ASSERT_EQ(mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
  // Another program holds the instrument's port.
  link::TComm other;
  other.SetCommName(pty.TerminalPath());
  other.OpenPort();
  const QString held = QString::fromStdString(pty.TerminalPath());
  struct Case {
    QString port, text, detail;
  };
  const Case cases[] = {
      {"/dev/zrt-no-such-port", "Error opening serial port.",
       "/dev/zrt-no-such-port: No such file or directory"},
      // A file that is no port: the system's words head the dialog.
      {file.fileName(), file.fileName() + " is not a character device", ""},
      {"null", "/dev/null is not a serial terminal", ""},
      {"", "/dev/ is not a character device", ""},
      {"..", "/dev/.. is not a character device", ""},
      {fifo, fifo + " is not a character device", ""},
      {held, "Error opening serial port.", held + ": Device or resource busy"},
      {QString(4096, 'x'), "Error opening serial port.",
       "/dev/" + QString(4096, 'x') + ": File name too long"},
  };
  for (const Case& c : cases) {
    messages.shown.clear();
    OpenPort(c.port);
    ASSERT_EQ(messages.shown.size(), 1u) << c.port.toStdString();
    EXPECT_EQ(messages.shown[0],
              (OperatorMessage{Kind::HandlerError, "ZRT10XX/ZRT30XXCH", c.text, c.detail}));
    EXPECT_FALSE(form->PortOpen());
    EXPECT_FALSE(form->Comm1().IsOpen());
    EXPECT_EQ(Button("btn106")->text(), "Close");
    EXPECT_FALSE(Get("Image1")->isVisible());
  }

  // The reasons in the operator's language; the component's message stays.
  const std::pair<Language, std::vector<std::pair<QString, QString>>> spoken[] = {
      {Language::SimplifiedChinese,
       {{"/dev/zrt-no-such-port", "/dev/zrt-no-such-port: 没有这个设备"},
        {held, held + ": 端口忙：另一个程序正在使用它"},
        {"null", "/dev/null 不是串口终端"},
        // No words of its own: the system's.
        {QString(4096, 'x'), "/dev/" + QString(4096, 'x') + ": File name too long"}}},
      {Language::TraditionalChinese, {{"null", "/dev/null 不是串列埠終端"}}},
  };
  for (const auto& [language, reasons] : spoken) {
    form->SelectLanguage(language);
    for (const auto& [port, reason] : reasons) {
      messages.shown.clear();
      OpenPort(port);
      ASSERT_EQ(messages.shown.size(), 1u) << port.toStdString();
      const OperatorMessage& shown = messages.shown[0];
      EXPECT_EQ(shown.detail.isEmpty() ? shown.text : shown.detail, reason);
    }
  }
}

TEST_F(SerialSessionTest, OpenCloseListAndPortChange) {
  OpenPty();
  EXPECT_EQ(Button("btn106")->text(), "Open");
  EXPECT_TRUE(Get("Image1")->isVisible());
  EXPECT_EQ(form->Comm1().CommName(), pty.TerminalPath());
  auto* ports = Get<QComboBox>("cbo1");
  EXPECT_EQ(ports->toolTip(), QString::fromStdString(pty.TerminalPath()));
  ports->showPopup();
  EXPECT_TRUE(form->PortOpen()) << "refreshing the list is no change of port";
  EXPECT_EQ(ports->itemText(9), "COM10");
  EXPECT_GT(ports->view()->minimumWidth(), ports->width()) << "the list shows whole names";
  ports->hidePopup();
  // Each list opens at the entry its box shows.
  auto* rates = Get<QComboBox>("cob2");
  rates->showPopup();
  EXPECT_EQ(rates->view()->currentIndex().data().toString(), "19200");
  rates->hidePopup();
  Click("btn106");
  EXPECT_EQ(Button("btn106")->text(), "Close");
  EXPECT_FALSE(Get("Image1")->isVisible());
  EXPECT_FALSE(form->Comm1().IsOpen());

  form->SelectLanguage(Language::TraditionalChinese);
  Click("btn106");
  EXPECT_EQ(Button("btn106")->text(), "打开");
  Get<QComboBox>("cbo1")->setEditText("COM2");
  EXPECT_FALSE(form->PortOpen());
  ports->showPopup();
  EXPECT_EQ(ports->view()->currentIndex().data().toString(), "COM2");
  ports->hidePopup();
  EXPECT_FALSE(form->Comm1().IsOpen());
  EXPECT_EQ(form->Comm1().CommName(), "COM2");
  EXPECT_EQ(Button("btn106")->text(), "关闭");
  EXPECT_FALSE(Get("Image1")->isVisible());
}

TEST_F(SerialSessionTest, DeviceGoneClosesThePort) {
  OpenPty();
  pty.CloseInstrument();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !form->PortOpen(); }, 5000));
  EXPECT_FALSE(form->Comm1().IsOpen());
  EXPECT_EQ(Button("btn106")->text(), "Close");
  EXPECT_FALSE(Get("Image1")->isVisible());
  EXPECT_TRUE(PortThreadsSettleAt(0));
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].kind, Kind::Notice);
  EXPECT_TRUE(messages.shown[0].text.contains(QString::fromStdString(pty.TerminalPath())));
}

// Closing the window mid-frame hides it at once; the frame goes out whole,
// then the port closes and the event loop ends with exit code 0.
TEST_F(SerialSessionTest, ClosingTheWindowWhileAFrameGoesOut) {
  OpenPty();
  Send("88" + QString(50, 'A'));
  ASSERT_TRUE(pty.Readable(5000));
  QTimer::singleShot(0, form.get(), &QWidget::close);
  // Should the loop not end; the timer goes with the test, or its exit
  // would be left pending and cut short every later wait in this process.
  QTimer stopper;
  stopper.setSingleShot(true);
  QObject::connect(&stopper, &QTimer::timeout, [] { QApplication::exit(3); });
  stopper.start(20000);
  EXPECT_EQ(QApplication::exec(), 0);
  EXPECT_FALSE(form->isVisible());
  EXPECT_FALSE(form->Sending());
  EXPECT_FALSE(form->Comm1().IsOpen());
  EXPECT_EQ(Wire(52), "X" + QByteArray(50, 'A') + '\n');
  EXPECT_TRUE(PortThreadsSettleAt(0));
  EXPECT_TRUE(pty.TerminalClosed(1000));
  EXPECT_TRUE(messages.shown.empty());
}

// The instrument holds output back with XOFF: the frame waits where it
// stands, Send stays disabled, the reply box says so, and XON lets the
// rest go at the usual pace.
TEST_F(SerialSessionTest, XoffHoldsTheFrame) {
  OpenPty();
  Send("88" + QString(40, 'H'));
  ASSERT_TRUE(pty.Readable(5000));
  ASSERT_TRUE(pty.SendXoffAndWait());  // may read (and drop) a byte that came meanwhile
  ASSERT_TRUE(QTest::qWaitFor([&] { return Reply().startsWith("Output held"); }, 5000))
      << Reply().toStdString();
  const QString port = QString::fromStdString(pty.TerminalPath());
  auto status = [&] { return Get("StatusBar1")->findChildren<QLabel*>().value(0)->toolTip(); };
  EXPECT_EQ(status(), port + " 19200 bit/s: held (XOFF)");
  const QByteArray before = pty.Receive(64, 200);  // what left before the hold
  EXPECT_FALSE(pty.Readable(300)) << "held: nothing more goes out";
  QTest::qWait(50);
  EXPECT_FALSE(Button("btn96")->isEnabled()) << "Send waits for the frame";

  QElapsedTimer sinceXon;
  sinceXon.start();
  pty.Send("\x11");  // XON
  ASSERT_TRUE(WaitForSendEnabled());
  const QByteArray rest = pty.Receive(64, 500);
  ASSERT_FALSE(rest.isEmpty());
  const QByteArray frame = "X" + QByteArray(40, 'H') + '\n';
  EXPECT_TRUE(frame.endsWith(before + rest)) << (before + rest).toStdString();
  EXPECT_GE(sinceXon.elapsed(), (rest.size() - 1) * protocol::kSerialByteIntervalMs)
      << "the rest goes at the usual pace, not in one burst";
  EXPECT_TRUE(Reply().startsWith("发送:X")) << Reply().toStdString();
  EXPECT_EQ(status(), port + " 19200 bit/s: open");
}

// Every way of selecting a language runs the switch, not only a pointer click.
TEST_F(SerialSessionTest, LanguageByKeyboardAndAssistiveTools) {
  Get<QTabWidget>("pcon1")->setCurrentWidget(Get("tsh1"));
  QList<QRadioButton*> languages = Get("rg3")->findChildren<QRadioButton*>();
  ASSERT_EQ(languages.size(), 3);

  QAccessibleInterface* item = QAccessible::queryAccessibleInterface(languages[2]);
  ASSERT_TRUE(item && item->actionInterface());
  item->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
  EXPECT_EQ(form->CurrentLanguage(), Language::TraditionalChinese);
  EXPECT_EQ(Button("Button1")->text(), "A路單頻");

  languages[2]->setFocus();
  QTest::keyClick(languages[2], Qt::Key_Up);
  EXPECT_EQ(form->CurrentLanguage(), Language::SimplifiedChinese);
  EXPECT_EQ(Button("Button1")->text(), "A路单频");

  // A click on the language already selected applies it again.
  Button("Button1")->setText("changed");
  QTest::mouseClick(languages[1], Qt::LeftButton);
  EXPECT_EQ(Button("Button1")->text(), "A路单频");
}

}  // namespace
}  // namespace testing
}  // namespace zrt::window
