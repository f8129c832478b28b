// The real panel on a virtual X display against the simulated instrument,
// used the way a person uses it: pointer clicks and typing, copying what
// the reply box shows, looking at the screen, the close box.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QThread>

#include "net/stream_socket.h"
#include "sim/simulated_ch375.h"
#include "window/instrument/instrument_view.h"
#include "window/main_window.h"
#include "x_session.h"

namespace zrt::e2e {
namespace {

const QString kTitle = "ZRT10XX/ZRT30XXCH";
constexpr int kFrequencySweep = 2;  // its function key

// Where a control sits in the window: the same window built offscreen here,
// with the same style and fonts, has its controls in the same places.
class WindowMap {
 public:
  WindowMap() : form_(nullptr, link::SystemSerialPlatform(), usb_) {
    // Shown, so that the page controls have laid out their pages.
    form_.show();
    QApplication::processEvents();
  }

  // A control's centre; "tab:NAME" is the tab of page NAME, "NAME:N" the
  // N-th item of radio group NAME.
  QPoint Centre(const QString& name) {
    if (name.startsWith("tab:")) {
      QWidget* page = form_.Control(name.mid(4));
      auto* tabs = qobject_cast<QTabWidget*>(page->parentWidget()->parentWidget());
      const QRect tab = tabs->tabBar()->tabRect(tabs->indexOf(page));
      return tabs->tabBar()->mapTo(&form_, tab.center());
    }
    QWidget* control = nullptr;
    if (name.contains(':')) {
      control = form_.Control(name.section(':', 0, 0))
                    ->findChildren<QRadioButton*>()
                    .at(name.section(':', 1).toInt());
    } else {
      control = form_.Control(name);
    }
    if (!control) {  // beside the log
      form_.SetLogShown(true);
      QApplication::processEvents();
      control = form_.findChild<QWidget*>(name);
    }
    if (!control) {  // on the instrument's page
      form_.SetInstrumentShown(true);
      QApplication::processEvents();
      control = form_.findChild<QWidget*>(name);
    }
    if (!control) {  // on the form of the frequency sweep
      form_.Instrument().View()->ChooseFunction(kFrequencySweep);
      QApplication::processEvents();
      control = form_.findChild<QWidget*>(name);
    }
    BringToFront(control);
    return control->mapTo(&form_, control->rect().center());
  }
  // The centre of a cell of the instrument's table.
  QPoint Cell(int row, int column) {
    form_.SetInstrumentShown(true);
    QApplication::processEvents();
    QTableWidget* table = form_.Instrument().View()->Table();
    const QRect cell = table->visualRect(table->model()->index(row, column));
    return table->viewport()->mapTo(&form_, cell.center());
  }
  QRect Rect(const QString& name) {
    QWidget* control = form_.Control(name);
    return {control->mapTo(&form_, QPoint()), control->size()};
  }

 private:
  // A page control lays out only the page in front: bring the control's
  // pages to the front, as the test's clicks on their tabs do on screen.
  void BringToFront(QWidget* control) {
    for (QWidget* w = control; w && w != &form_; w = w->parentWidget()) {
      auto* tabs = w->parentWidget() && w->parentWidget()->parentWidget()
                       ? qobject_cast<QTabWidget*>(w->parentWidget()->parentWidget())
                       : nullptr;
      if (tabs && tabs->indexOf(w) >= 0) tabs->setCurrentWidget(w);
    }
    QApplication::processEvents();
  }

  sim::SimulatedCh375 usb_;
  window::TForm1 form_;
};

class PanelE2ETest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* tool : {"Xvfb", "xdotool", "xclip"}) {
      if (QStandardPaths::findExecutable(tool).isEmpty()) GTEST_SKIP() << tool << " is missing";
    }
    ASSERT_TRUE(x.IsUp()) << "Xvfb did not start";

    // Bytes sent without pacing come within a millisecond; the limit leaves
    // room for a busy machine's scheduling.
    simulator.start(ZRT_SIM, {"--check-pacing=5"});
    ASSERT_TRUE(simulator.waitForReadyRead(10000));
    port = QString::fromUtf8(simulator.readLine().trimmed());
    ASSERT_TRUE(port.startsWith("/dev/pts/")) << port.toStdString();

    StartPanel();
    if (IsSkipped() || HasFatalFailure()) return;
    window = x.WaitForWindow(kTitle, 60000);
    ASSERT_NE(window, 0u) << "the panel's window did not show";
    origin = x.Origin(window);
  }

  virtual void StartPanel() {
    panel.setProcessEnvironment(x.Environment());
    panel.start(ZRT_PANEL, {});
  }

  void TearDown() override {
    if (panel.state() != QProcess::NotRunning) {
      panel.kill();
      panel.waitForFinished();
    }
    simulator.terminate();
    simulator.waitForFinished();
  }

  void Click(const QString& control) { x.Click(origin + map.Centre(control)); }
  // Replaces a field's text, as typed.
  void TypeInto(const QString& control, const QString& text) {
    Click(control);
    x.Keys("ctrl+a");
    x.Type(text);
  }
  // What a field shows, copied out of it (the copy may take a moment to
  // reach the clipboard: see WaitForCopy).
  QString Copy(const QString& control) {
    Click(control);
    x.Keys("ctrl+a");
    x.Keys("ctrl+c");
    return x.Clipboard();
  }
  bool WaitForCopy(const QString& control, const QString& text, int timeoutMs = 5000) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs) {
      if (Copy(control) == text) return true;
      QThread::msleep(100);
    }
    return false;
  }

  // The simulator's log lines so far.
  QStringList Heard() {
    while (simulator.canReadLine()) heard << QString::fromUtf8(simulator.readLine().trimmed());
    return heard;
  }
  bool WaitToHear(const QString& line, int timeoutMs = 5000) {
    QElapsedTimer clock;
    clock.start();
    while (!Heard().contains(line) && clock.elapsed() < timeoutMs) simulator.waitForReadyRead(50);
    return heard.contains(line);
  }
  int Frames() { return static_cast<int>(Heard().filter(QRegularExpression("^<- ")).size()); }

  // Ctrl+I, and the window as tall as the screen leaves room for (1024
  // pixels).
  void ShowInstrumentPage() {
    Click("Edit1");
    x.Keys("ctrl+i");
    QElapsedTimer clock;
    clock.start();
    while (x.Size(window).height() <= 502 && clock.elapsed() < 5000) QThread::msleep(50);
    ASSERT_GT(x.Size(window).height(), 502) << "Ctrl+I did not show the instrument's page";
    // It moves up as far as needed to show the page whole.
    clock.restart();
    while (x.Origin(window).y() + x.Size(window).height() > 1024 && clock.elapsed() < 5000) {
      QThread::msleep(50);
    }
    origin = x.Origin(window);
    const int height = std::min(880, 1020 - origin.y());
    x.Resize(window, {801, height});
    clock.restart();
    while (x.Size(window).height() < height && clock.elapsed() < 5000) QThread::msleep(50);
  }

  void OpenSimulatorPort() {
    TypeInto("cbo1", port);
    Click("btn106");
  }

  XSession x;
  WindowMap map;
  QProcess simulator;
  QProcess panel;
  QString port;
  QStringList heard;
  unsigned long window = 0;
  QPoint origin;
};

// The Windows build, unpacked from its zip (ZRT_WINDOWS_PANEL names its
// zrt-panel.exe; scripts/test-windows), under wine on the same display. Its
// port is a COM port linked to the simulator's terminal in the wine prefix
// ZRT_WINEPREFIX, with the modem-line shim ZRT_WINE_SHIM preloaded.
class WinePanelE2ETest : public PanelE2ETest {
 protected:
  void StartPanel() override {
    const QString program = qEnvironmentVariable("ZRT_WINDOWS_PANEL");
    const QString prefix = qEnvironmentVariable("ZRT_WINEPREFIX");
    if (program.isEmpty() || prefix.isEmpty()) GTEST_SKIP() << "scripts/test-windows runs this";
    for (int n = 20; n < 250 && comLink.isEmpty(); ++n) {
      const QString link = prefix + "/dosdevices/com" + QString::number(n);
      if (QFile::link(port, link)) {
        comLink = link;
        port = "COM" + QString::number(n);
      }
    }
    ASSERT_FALSE(comLink.isEmpty()) << "no free COM number";
    // Shares the instrument on a port free a moment ago, for clients on
    // this machine's side to reach the Winsock server.
    sharePort = net::StreamSocket::Listen("127.0.0.1", 0).LocalPort();
    StartUnderWine({"--listen", "127.0.0.1:" + QString::number(sharePort)});
  }
  void StartUnderWine(const QStringList& arguments) {
    QProcessEnvironment environment = x.Environment();
    environment.remove("QT_QPA_PLATFORM");  // Qt for Windows has its own
    environment.insert("WINEPREFIX", qEnvironmentVariable("ZRT_WINEPREFIX"));
    environment.insert("WINEDEBUG", "-all");
    environment.insert("LD_PRELOAD", qEnvironmentVariable("ZRT_WINE_SHIM"));
    panel.setProcessEnvironment(environment);
    panel.start("wine", QStringList{qEnvironmentVariable("ZRT_WINDOWS_PANEL")} + arguments);
  }
  void TearDown() override {
    PanelE2ETest::TearDown();
    if (!comLink.isEmpty()) QFile::remove(comLink);
  }

  QString comLink;
  std::uint16_t sharePort = 0;
};

TEST_F(WinePanelE2ETest, TheTypicalRequestReachesAComPort) {
  OpenSimulatorPort();
  for (const char* key : {"btn101", "Button4", "Button94", "Button37"}) Click(key);
  Click("btn96");
  ASSERT_TRUE(WaitToHear("<- XASWP:TRIGG", 10000)) << Heard().join('\n').toStdString();
  EXPECT_TRUE(WaitForCopy("Edit3", "接收:OK\n"));
  EXPECT_TRUE(Heard().filter("pacing:").isEmpty()) << Heard().join('\n').toStdString();
  QDir().mkpath(ZRT_SCREENSHOT_DIR);
  x.Grab({origin, x.Size(window)}).save(QString(ZRT_SCREENSHOT_DIR) + "/windows.png");

  // A program beside the panel, through its server on Winsock; the line
  // waits out the sweep trigger's hold.
  QProcess client;
  client.start("socat", {"-t", "20", "-", "TCP:127.0.0.1:" + QString::number(sharePort)});
  ASSERT_TRUE(client.waitForStarted());
  client.write("88CHA:AFREQ1000HZ\n");
  client.closeWriteChannel();
  ASSERT_TRUE(client.waitForFinished(30000));
  EXPECT_EQ(client.readAllStandardOutput(), "OK\n");
  EXPECT_TRUE(WaitToHear("<- XCHA:AFREQ1000HZ", 10000)) << Heard().join('\n').toStdString();

  x.RequestClose(window);
  ASSERT_TRUE(panel.waitForFinished(10000));
  EXPECT_EQ(panel.exitCode(), 0) << panel.readAllStandardError().toStdString();
}

// The demo as the README gives it, on Windows: --simulate puts the
// instrument behind the port name SIM, which the port box already holds.
class WineDemoE2ETest : public WinePanelE2ETest {
 protected:
  void StartPanel() override {
    if (qEnvironmentVariable("ZRT_WINDOWS_PANEL").isEmpty()) {
      GTEST_SKIP() << "scripts/test-windows runs this";
    }
    StartUnderWine({"--simulate"});
  }
};

TEST_F(WineDemoE2ETest, TheReadmeLinesOnTheSerialLink) {
  Click("btn106");
  const struct {
    const char* keys;
    const char* composed;
    const char* reply;
  } lines[] = {
      {"btn101 Button1 Button94 Button14 Button72 Button75 Button75 Button75 Button80",
       "88CHA:AFREQ1000Hz", "接收:OK\n"},
      {"btn101 Button1 Button94 Button14 Button95", "88CHA:AFREQ?", "接收:1000Hz\n"},
  };
  for (const auto& line : lines) {
    for (const QString& key : QString(line.keys).split(' ')) Click(key);
    ASSERT_TRUE(WaitForCopy("Edit1", line.composed)) << line.composed;
    Click("btn96");
    EXPECT_TRUE(WaitForCopy("Edit3", QString::fromUtf8(line.reply), 10000)) << line.composed;
  }
  x.RequestClose(window);
  ASSERT_TRUE(panel.waitForFinished(10000));
  EXPECT_EQ(panel.exitCode(), 0) << panel.readAllStandardError().toStdString();
}

TEST_F(PanelE2ETest, TypicalRequestThenAQuery) {
  OpenSimulatorPort();
  for (const char* key : {"btn101", "Button4", "Button94", "Button37"}) Click(key);
  EXPECT_TRUE(WaitForCopy("Edit1", "88ASWP:TRIGG"));

  Click("btn96");
  ASSERT_TRUE(WaitToHear("<- XASWP:TRIGG")) << Heard().join('\n').toStdString();
  QElapsedTimer held;
  held.start();
  EXPECT_TRUE(WaitForCopy("Edit3", "接收:OK\n"));
  // Send is held after the sweep trigger: a click during the hold does
  // nothing, one after it sends again.
  QThread::msleep(1000);
  Click("btn96");
  while (held.elapsed() < 2800) simulator.waitForReadyRead(100);
  EXPECT_EQ(Frames(), 1) << "a click during the hold sent the line";
  while (held.elapsed() < 3400) QThread::msleep(50);
  Click("btn96");
  while (Frames() < 2 && held.elapsed() < 8000) simulator.waitForReadyRead(100);
  ASSERT_EQ(Frames(), 2) << Heard().join('\n').toStdString();

  QThread::msleep(3100);  // the second trigger's hold
  TypeInto("Edit1", "CHA:AFREQ:1000HZ");
  Click("btn96");
  ASSERT_TRUE(WaitToHear("<- CHA:AFREQ:1000HZ"));
  TypeInto("Edit1", "CHA:AFREQ?");
  Click("btn96");
  ASSERT_TRUE(WaitToHear("-> 1000HZ\\x0A"));
  EXPECT_TRUE(WaitForCopy("Edit3", "接收:1000HZ\n"));
  EXPECT_TRUE(Heard().filter("pacing:").isEmpty()) << Heard().join('\n').toStdString();

  x.RequestClose(window);
  ASSERT_TRUE(panel.waitForFinished(5000));
  EXPECT_EQ(panel.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(panel.exitCode(), 0) << panel.readAllStandardError().toStdString();
}

// A sequence loaded through the file dialog and run; the README's picture
// is taken while it runs, the log open below the panel.
TEST_F(PanelE2ETest, ASequenceFromTheFileDialog) {
  OpenSimulatorPort();
  const int heightWithoutLog = x.Size(window).height();
  Click("Edit1");
  x.Keys("ctrl+l");
  QElapsedTimer clock;
  clock.start();
  while (x.Size(window).height() <= heightWithoutLog && clock.elapsed() < 5000) QThread::msleep(50);
  ASSERT_GT(x.Size(window).height(), heightWithoutLog) << "Ctrl+L did not show the log";

  Click("SequenceLoad");
  ASSERT_NE(x.WaitForWindow("Sequence…"), 0u) << "no file dialog";
  // The dialog takes the path once its name field has the focus, which a
  // slow build may give it late: typed again until the dialog goes.
  for (int attempt = 0; attempt < 5 && x.CountWindows("Sequence…") > 0; ++attempt) {
    QThread::msleep(500);
    x.Keys("ctrl+a");
    x.Type(ZRT_EXAMPLES "/step-frequency.zrt");
    x.Keys("Return");
    clock.restart();
    while (x.CountWindows("Sequence…") > 0 && clock.elapsed() < 3000) QThread::msleep(50);
  }
  ASSERT_EQ(x.CountWindows("Sequence…"), 0) << "the file dialog did not take the path";
  // Run is enabled once the file is read; clicked until the first line goes.
  clock.restart();
  while (Frames() == 0 && clock.elapsed() < 20000) {
    Click("SequenceRun");
    simulator.waitForReadyRead(1000);
  }
  while (Frames() < 5 && clock.elapsed() < 30000) simulator.waitForReadyRead(100);
  ASSERT_GE(Frames(), 5) << Heard().join('\n').toStdString();
  QThread::msleep(150);
  QDir().mkpath(ZRT_SCREENSHOT_DIR);
  EXPECT_TRUE(x.Grab({origin, x.Size(window)}).save(QString(ZRT_SCREENSHOT_DIR) + "/e2e.png"));
  clock.restart();
  while (Frames() < 10 && clock.elapsed() < 20000) simulator.waitForReadyRead(100);
  EXPECT_EQ(
      Heard().filter(QRegularExpression("^<- ")),
      QStringList({"<- XCHA:AFREQ:1000HZ", "<- CHA:AFREQ?", "<- XCHA:AFREQ:2000HZ", "<- CHA:AFREQ?",
                   "<- XCHA:AFREQ:5000HZ", "<- CHA:AFREQ?", "<- XCHA:AFREQ:10000HZ",
                   "<- CHA:AFREQ?", "<- XCHA:AFREQ:20000HZ", "<- CHA:AFREQ?"}));
  EXPECT_TRUE(Heard().filter("pacing:").isEmpty()) << Heard().join('\n').toStdString();
}

// The instrument's page after a read back, beside the panel: the README's
// picture of it.
TEST_F(PanelE2ETest, TheInstrumentPageAfterAReadBack) {
  OpenSimulatorPort();
  const char* const lines[] = {"88CHA:AFREQ1kHz",  "88CHA:VPP2Vpp",    "88CHA:AOFFS0.5Vdc",
                               "88CHA:SWITCH1No.", "88CHB:BFREQ250Hz", "88CHB:VPP1Vpp",
                               "88CHB:PHASE90DEG", "88CHB:SWITCH1No."};
  for (const char* line : lines) {
    TypeInto("Edit1", line);
    Click("btn96");
    ASSERT_TRUE(WaitToHear("<- X" + QString(line).mid(2))) << Heard().join('\n').toStdString();
  }
  ShowInstrumentPage();
  if (HasFatalFailure()) return;
  QElapsedTimer clock;

  Click("ReadBack");
  const int before = Frames();
  clock.restart();
  while (Frames() < before + 14 && clock.elapsed() < 30000) simulator.waitForReadyRead(100);
  ASSERT_EQ(Frames(), before + 14) << Heard().join('\n').toStdString();
  EXPECT_TRUE(Heard().filter("pacing:").isEmpty()) << Heard().join('\n').toStdString();
  QThread::msleep(800);  // the last reply, taken and shown
  QDir().mkpath(ZRT_SCREENSHOT_DIR);
  EXPECT_TRUE(
      x.Grab({origin, x.Size(window)}).save(QString(ZRT_SCREENSHOT_DIR) + "/instrument-e2e.png"));
}

// A value turned with the wheel where the instrument's page shows it, and
// the frequency sweep's form: the README's pictures of them.
TEST_F(PanelE2ETest, AValueTurnedAndASweepForm) {
  OpenSimulatorPort();
  TypeInto("Edit1", "88CHA:AFREQ1000Hz");
  Click("btn96");
  ASSERT_TRUE(WaitToHear("<- XCHA:AFREQ1000Hz")) << Heard().join('\n').toStdString();
  ShowInstrumentPage();
  if (HasFatalFailure()) return;
  QElapsedTimer clock;

  // Channel A's frequency: double-clicked, then five notches of the wheel
  // over its digits.
  const QPoint cell = origin + map.Cell(0, 1);
  x.DoubleClick(cell);
  QThread::msleep(300);
  x.Wheel(cell + QPoint(-8, 0), 5);
  clock.restart();
  while (Frames() < 2 && clock.elapsed() < 10000) simulator.waitForReadyRead(100);
  QThread::msleep(1500);  // the last notches' line, latest wins
  // Turned up from 1000 Hz (the order of the values: the window's tuning test).
  EXPECT_GT(Heard().filter(QRegularExpression("^<- XCHA:AFREQ")).size(), 1)
      << Heard().join('\n').toStdString();
  QDir().mkpath(ZRT_SCREENSHOT_DIR);
  EXPECT_TRUE(
      x.Grab({origin, x.Size(window)}).save(QString(ZRT_SCREENSHOT_DIR) + "/tuning-e2e.png"));
  x.Keys("Return");

  // The frequency sweep's form, filled in from the keyboard, sweeping.
  Click("FunctionChoice");
  QThread::msleep(300);
  x.Keys("Down");
  x.Keys("Return");
  const std::pair<const char*, const char*> entries[] = {
      {"ItemSTARF", "100"}, {"ItemSTOPF", "1k"}, {"ItemSTEPF", "100"}, {"ItemINTVL", "500m"}};
  for (const auto& [editor, typed] : entries) {
    Click(editor);
    x.Type(typed);
    x.Keys("Return");
  }
  // Auto sweep, three buttons on: the page scrolls to it.
  for (int tab = 0; tab < 3; ++tab) x.Keys("Tab");
  x.Keys("space");
  clock.restart();
  while (!Heard().contains("<- XFSWP:AUTO") && clock.elapsed() < 20000)
    simulator.waitForReadyRead(100);
  ASSERT_TRUE(Heard().contains("<- XFSWP:INTVL500mS")) << Heard().join('\n').toStdString();
  ASSERT_TRUE(Heard().contains("<- XFSWP:AUTO")) << Heard().join('\n').toStdString();
  QThread::msleep(1200);  // the bar on its way
  EXPECT_TRUE(
      x.Grab({origin, x.Size(window)}).save(QString(ZRT_SCREENSHOT_DIR) + "/sweep-e2e.png"));
  EXPECT_TRUE(Heard().filter("pacing:").isEmpty()) << Heard().join('\n').toStdString();
}

TEST_F(PanelE2ETest, LanguageSwitchAndBack) {
  Click("tab:tsh1");
  const QRect send(origin + map.Rect("btn96").topLeft(), map.Rect("btn96").size());
  const QImage english = x.Grab(send);
  // Until the window has repainted, or a while has passed.
  auto shows = [&](auto condition) {
    QElapsedTimer clock;
    clock.start();
    while (!condition(x.Grab(send)) && clock.elapsed() < 5000) QThread::msleep(50);
    return condition(x.Grab(send));
  };
  Click("rg3:1");
  EXPECT_TRUE(shows([&](const QImage& now) { return now != english; }))
      << "the captions did not change";
  Click("rg3:0");
  EXPECT_TRUE(shows([&](const QImage& now) { return now == english; }));
}

TEST_F(PanelE2ETest, MissingPortIsReportedAndTheWindowCloses) {
  TypeInto("cbo1", "/dev/zrt-no-such-port");
  Click("btn106");
  QElapsedTimer clock;
  clock.start();
  while (x.CountWindows(kTitle) < 2 && clock.elapsed() < 5000) QThread::msleep(50);
  ASSERT_EQ(x.CountWindows(kTitle), 2) << "no message";
  x.Keys("Return");
  clock.restart();
  while (x.CountWindows(kTitle) > 1 && clock.elapsed() < 5000) QThread::msleep(50);
  EXPECT_EQ(x.CountWindows(kTitle), 1);

  x.RequestClose(window);
  ASSERT_TRUE(panel.waitForFinished(5000));
  EXPECT_EQ(panel.exitCode(), 0) << panel.readAllStandardError().toStdString();
}

}  // namespace
}  // namespace zrt::e2e

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");  // for the map; the panel runs on Xvfb
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
