// The instrument's page against the simulated instrument: it follows the
// lines sent, reads every item back on both links (marking a value the
// instrument keeps against what was set, and an item that never answers),
// saves and runs presets, and refuses lines beyond the limits from every
// source with nothing on the wire.
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <mutex>

#include "heard_instrument.h"
#include "net/stream_socket.h"
#include "serve/instrument_server.h"
#include "settings/output_shape.h"
#include "sim/pty_instrument.h"
#include "sim/simulated_ch375.h"
#include "window/instrument/instrument_view.h"
#include "window/send/sequence_bar.h"
#include "window_fixture.h"

namespace zrt::window::testing {
namespace {

class InstrumentTest : public WindowTest {
 protected:
  void SetUp() override {
    qputenv("XDG_DATA_HOME", data.path().toUtf8());
    WindowTest::SetUp();
    form->SetMessagePresenter(answering);
  }
  void OpenPort(const std::string& path) {
    Get<QComboBox>("cbo1")->setEditText(QString::fromStdString(path));
    Click("btn106");
    ASSERT_TRUE(form->PortOpen());
  }
  // As an operator sends: the next line once the reply to this one shows.
  void Send(const QString& line) {
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->ReadyToSend(); }, 10000));
    Get<QLineEdit>("Edit1")->setText(line);
    Click("btn96");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return form->ReadyToSend() && Get<QLineEdit>("Edit3")->text().startsWith("接收:"); },
        10000));
  }
  // The table's cell for the row whose first column is `row`.
  QString Cell(const QString& row, int column) const {
    QTableWidget* table = form->Instrument().View()->Table();
    for (int r = 0; r < table->rowCount(); ++r) {
      if (table->item(r, 0)->text() == row) return table->item(r, column)->text();
    }
    return "(no row " + row + ")";
  }
  bool ReadBack() {
    Click("ReadBack");
    return QTest::qWaitFor([&] { return !form->Instrument().ReadingBack(); }, 60000);
  }

  QTemporaryDir data;
  Answering answering;
};

TEST_F(InstrumentTest, FollowsTheLinesAndReadsBackOnTheSerialLink) {
  Heard heard({"CHA:VPP:3Vpp"}, {"CHB:PHASE"});
  OpenPort(heard.instrument.TerminalPath());
  for (const char* line :
       {"88CHA:AFREQ1000Hz", "88CHA:VPP2Vpp", "CHA:AOFFS:0.5Vdc", "88CHB:BFREQ250Hz",
        "88CHB:VPP1Vpp", "88CHB:SWITCH0No.", "88FSWP:STARF10Hz"}) {
    Send(line);
  }
  form->SetInstrumentShown(true);
  ASSERT_TRUE(form->InstrumentShown());
  EXPECT_FALSE(form->LogShown()) << "one page at a time";
  // Set as the line goes; acknowledged once its reply has ended.
  ASSERT_TRUE(QTest::qWaitFor([&] { return Cell("FSWP:STARF", 1) == "10Hz (set)"; }, 5000))
      << Cell("FSWP:STARF", 1).toStdString();
  EXPECT_EQ(Cell("Frequency", 1), "1000Hz (set)");
  EXPECT_EQ(Cell("Amplitude (Vpp)", 2), "1Vpp (set)");
  EXPECT_EQ(Cell("Offset", 2), "—") << "channel B has none";
  // The switch says it beside its box, the cell under it says nothing.
  EXPECT_EQ(Cell("Output", 2), "");
  EXPECT_EQ(Get<QCheckBox>("OutputB")->text(), "0No. (set)");
  EXPECT_EQ(Cell("Phase", 1), "unknown");
  EXPECT_EQ(Cell("FSWP:STARF", 1), "10Hz (set)");

  ASSERT_TRUE(ReadBack());
  EXPECT_EQ(heard.Frames().filter("?").size(), 14);
  EXPECT_TRUE(heard.Frames().contains("XCHA:AFREQ?"));
  EXPECT_TRUE(Cell("Frequency", 1).startsWith("1000Hz (read back "))
      << Cell("Frequency", 1).toStdString();
  EXPECT_TRUE(Cell("Amplitude (Vpp)", 1).startsWith("≠ 3Vpp (read back "));
  EXPECT_TRUE(Cell("Amplitude (Vpp)", 1).endsWith("; differs from 2Vpp as set)"));
  EXPECT_EQ(Cell("Phase", 2), "unknown (no answer)");
  EXPECT_EQ(form->findChild<QLabel*>("ReadBackProgress")->text(),
            "Read back: 13 of 14 items answered");
  QDir().mkpath(ZRT_SCREENSHOT_DIR);
  EXPECT_TRUE(form->grab().save(QDir(ZRT_SCREENSHOT_DIR).filePath("instrument.png")));

  // The page speaks the operator's language.
  form->SelectLanguage(Language::TraditionalChinese);
  EXPECT_TRUE(Cell("頻率", 1).startsWith("1000Hz（")) << Cell("頻率", 1).toStdString();
  EXPECT_EQ(Cell("相位", 2), "未知（無應答）");
  EXPECT_EQ(form->findChild<QPushButton*>("ReadBack")->text(), "讀回");
  EXPECT_EQ(form->findChild<QLabel*>("ReadBackProgress")->text(), "讀回完成：14 項中 13 項有應答");
  EXPECT_TRUE(form->grab().save(QDir(ZRT_SCREENSHOT_DIR).filePath("instrument-traditional.png")));

  // The port opened again may reach another instrument: what was known is
  // kept, said to be stale, and no longer drawn.
  form->SelectLanguage(Language::English);
  Click("btn106");
  Click("btn106");
  ASSERT_TRUE(form->PortOpen());
  EXPECT_TRUE(Cell("Frequency", 1).startsWith("1000Hz (read back "));
  EXPECT_TRUE(Cell("Frequency", 1).contains("; stale since the link changed at "))
      << Cell("Frequency", 1).toStdString();
  EXPECT_FALSE(settings::OutputOf(form->Session().Known(), 'A').Drawable());
}

TEST(InstrumentUsb, ReadBackOnTheUsbLink) {
  sim::SimulatedCh375 instrument;
  instrument.Keep("CHB:BFREQ:5kHz");
  instrument.Silence("CHA:PHASE");
  TForm1 form(nullptr, link::SystemSerialPlatform(), instrument);
  form.show();
  qobject_cast<RadioGroup*>(form.Control("rg2"))->SetItemIndex(1);
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return form.Usb().DeviceHandle() != link::kInvalidDeviceHandle; }, 5000));
  qobject_cast<QLineEdit*>(form.Control("Edit1"))->setText("88CHB:BFREQ1kHz");
  qobject_cast<QPushButton*>(form.Control("btn96"))->click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return form.ReadyToSend(); }, 5000));
  form.Instrument().ReadBack();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !form.Instrument().ReadingBack(); }, 60000));
  const settings::Setting* frequency = form.Session().Known().Find("CHB", "BFREQ");
  ASSERT_TRUE(frequency);
  EXPECT_TRUE(frequency->Disagrees());
  EXPECT_DOUBLE_EQ(frequency->Current()->number, 5000);
  EXPECT_TRUE(form.Session().Known().Find("CHA", "PHASE")->unanswered);
  EXPECT_EQ(instrument.Frames().size(), 15u);
  form.close();
}

// A limit refuses a line from the operator, a sequence and a program on
// the shared socket alike, and nothing of it reaches the instrument.
TEST_F(InstrumentTest, LimitsRefuseEverySourceBeforeTheWire) {
  Heard heard;
  OpenPort(heard.instrument.TerminalPath());
  guard::Limits limits;
  limits.a.maxFrequencyHz = 10e6;
  limits.a.maxOffsetV = 3;
  limits.b.maxAmplitudeVpp = 2;
  form->Instrument().SetLimits(limits);
  Send("88CHA:VPP2Vpp");

  struct Crossing {
    const char* line;
    const char* said;
  } crossings[] = {
      {"88CHA:AFREQ20MHz", "Channel A's frequency would be 20 MHz; its limit is 10 MHz"},
      {"CHA:AOFFS:2.5Vdc", "Channel A's output would go up to 3.5 V"},
      {"88CHB:VPP2.5Vpp", "Channel B's amplitude would be 2.5 Vpp; its limit is 2 Vpp"},
  };
  for (const Crossing& crossing : crossings) {
    SCOPED_TRACE(crossing.line);
    answering.said.clear();
    Get<QLineEdit>("Edit1")->setText(crossing.line);
    Click("btn96");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !answering.said.empty(); }, 5000));
    EXPECT_TRUE(answering.said[0].startsWith(crossing.said)) << answering.said[0].toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->ReadyToSend(); }, 5000)) << "Send comes back";
  }

  // A sequence stops at the line, with the line after it unsent.
  QTemporaryDir dir;
  QFile file(dir.filePath("over.zrt"));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("88CHA:AFREQ1000Hz\n88CHA:AFREQ11MHz\n88CHA:AFREQ2000Hz\n");
  file.close();
  QSignalSpy loaded(&form->Sequences(), &SequenceBar::LoadFinished);
  ASSERT_TRUE(form->Sequences().Load(file.fileName()));
  ASSERT_TRUE(loaded.wait(10000));
  std::optional<std::pair<sequence::Runner::Outcome, int>> ended;
  QObject::connect(&form->Sequences().Runner(), &sequence::Runner::Finished,
                   [&](sequence::Runner::Outcome outcome, int index) {
                     ended = {outcome, index};
                   });
  form->Sequences().Run();
  ASSERT_TRUE(QTest::qWaitFor([&] { return ended.has_value(); }, 20000));
  EXPECT_EQ(ended->second, 1) << "it ended at the second line";

  // A program on the shared socket is told why.
  form->Sharing().SetAddress("127.0.0.1", 0);
  form->Sharing().SetOn(true);
  const auto client = net::StreamSocket::Connect("127.0.0.1", form->Sharing().Server()->Port());
  client.Write("88CHA:AFREQ50MHz\n", 17);
  QByteArray told;
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        char buffer[256];
        const auto got = client.Read(buffer, sizeof buffer);
        if (got > 0) told.append(buffer, got);
        return told.endsWith('\n');
      },
      10000));
  EXPECT_EQ(told, "ERROR: not sent: channel A's frequency would be 50 MHz; its limit is 10 MHz\n");

  QTest::qWait(300);  // anything sent would have reached the instrument by now
  // The offset and the other amplitudes were not known: asked first, for
  // the amplitude's band; nothing refused was heard.
  QStringList frames = heard.Frames();
  EXPECT_EQ(frames.filter(QRegularExpression("[^?]$")),
            QStringList({"XCHA:VPP2Vpp", "XCHA:AFREQ1000Hz"}));
  EXPECT_LT(frames.indexOf("XCHA:AOFFS?"), frames.indexOf("XCHA:VPP2Vpp"));
}

TEST_F(InstrumentTest, APresetSavedRunsTheSameFramesAsTheLinesTyped) {
  Heard heard;
  OpenPort(heard.instrument.TerminalPath());
  const QStringList typed{"88CHA:AFREQ1000Hz", "88CHA:VPP2Vpp", "88CHB:BTRIG", "88CHB:BFREQ50Hz"};
  for (const QString& line : typed) Send(line);
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        const settings::Setting* last = form->Session().Known().Find("CHB", "BFREQ");
        return last && last->acknowledged;
      },
      5000));
  ASSERT_TRUE(form->Instrument().SavePreset("bench 1"));
  EXPECT_EQ(form->Instrument().Presets(), QStringList{"bench 1"});
  QFile saved(InstrumentControl::PresetFolder() + "/bench 1.zrt");
  ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
  const QString text = QString::fromUtf8(saved.readAll());
  EXPECT_TRUE(
      text.endsWith("88CHA:AFREQ:1000Hz\nexpect OK\n88CHA:VPP:2Vpp\nexpect OK\n"
                    "88CHB:BTRIG\nexpect OK\n88CHB:BFREQ:50Hz\nexpect OK\n"))
      << text.toStdString();

  const QStringList before = heard.Frames();
  std::optional<sequence::Runner::Outcome> ended;
  QObject::connect(&form->Sequences().Runner(), &sequence::Runner::Finished,
                   [&](sequence::Runner::Outcome outcome, int) { ended = outcome; });
  form->Instrument().RunPreset("bench 1");
  ASSERT_TRUE(QTest::qWaitFor([&] { return ended.has_value(); }, 20000));
  EXPECT_EQ(ended, sequence::Runner::Outcome::Completed);
  EXPECT_EQ(heard.Frames().mid(before.size()),
            QStringList({"XCHA:AFREQ:1000Hz", "XCHA:VPP:2Vpp", "XCHB:BTRIG", "XCHB:BFREQ:50Hz"}));
}

}  // namespace
}  // namespace zrt::window::testing
