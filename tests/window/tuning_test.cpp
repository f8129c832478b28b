// Values set where the Instrument page shows them, against the simulated
// instrument: the wheel on the digit under the pointer, latest wins, Esc,
// limits, the switch's question, the waveform choice and a value changed
// through the accessibility interface.
#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QCheckBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QWheelEvent>

#include "heard_instrument.h"
#include "window/instrument/instrument_view.h"
#include "window/instrument/value_editor.h"
#include "window/send/sequence_bar.h"
#include "window_fixture.h"

namespace zrt::window::testing {
namespace {

class TuningTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    form->SetMessagePresenter(answering);
    Get<QComboBox>("cbo1")->setEditText(QString::fromStdString(heard.instrument.TerminalPath()));
    Click("btn106");
    ASSERT_TRUE(form->PortOpen());
    Get<QLineEdit>("Edit1")->setText("88CHA:AFREQ1000Hz");
    Click("btn96");
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return form->Session().Idle() && form->ReadyToSend(); }, 10000));
    form->SetInstrumentShown(true);
  }
  QTableWidget* Table() const { return form->Instrument().View()->Table(); }
  // Channel A's frequency, edited where it stands (F2, or Enter on the row).
  ValueEditor* EditFrequency(Qt::Key key = Qt::Key_F2) {
    Table()->setCurrentCell(0, 1);
    Table()->setFocus();
    QTest::keyClick(Table(), key);
    auto* editor = Table()->findChild<ValueEditor*>();
    EXPECT_NE(editor, nullptr);
    return editor;
  }
  static void Wheel(ValueEditor* editor, int x, int notches = 1) {
    const QPoint at(x, editor->height() / 2);
    QWheelEvent event(at, editor->mapToGlobal(at), {}, {0, 120 * notches}, Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(editor, &event);
  }
  // Where the character at `index` of what the editor shows ends.
  static int MiddleOf(ValueEditor* editor, int index) {
    QLineEdit* line = editor->findChild<QLineEdit*>();
    int x = 0;
    while (x < line->width() && line->cursorPositionAt({x, line->height() / 2}) <= index) ++x;
    return line->mapTo(editor, QPoint(x, 0)).x();
  }
  QStringList Frequencies() { return heard.Frames().filter("CHA:AFREQ").mid(1); }  // past the first
  static int Hz(const QString& frame) { return frame.mid(10).chopped(2).toInt(); }

  Heard heard;
  Answering answering;
};

TEST_F(TuningTest, TheWheelTurnsTheDigitUnderThePointerAndTheLastValueWins) {
  ValueEditor* editor = EditFrequency();
  ASSERT_TRUE(editor);
  EXPECT_EQ(editor->findChild<QLineEdit*>()->text(), "1000 Hz");
  Wheel(editor, MiddleOf(editor, 1));  // the hundreds
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return Frequencies() == QStringList{"XCHA:AFREQ1100Hz"}; }, 10000));

  const int units = editor->width() - 4;  // past the last digit: the units
  for (int notch = 0; notch < 50; ++notch) {
    Wheel(editor, units);
    QTest::qWait(10);  // a hand turning it over half a second
  }
  ASSERT_TRUE(QTest::qWaitFor([&] { return Frequencies().endsWith("XCHA:AFREQ1150Hz"); }, 10000))
      << Frequencies().join(" ").toStdString();
  EXPECT_LT(Frequencies().size(), 15);
  int last = 1000;
  for (const QString& frame : Frequencies()) {  // in the order turned
    EXPECT_GT(Hz(frame), last) << frame.toStdString();
    last = Hz(frame);
  }
  // Esc: back to the value before editing, which goes out too.
  QTest::keyClick(editor, Qt::Key_Escape);
  ASSERT_TRUE(QTest::qWaitFor([&] { return Frequencies().endsWith("XCHA:AFREQ1000Hz"); }, 10000));
}

TEST_F(TuningTest, AStepStopsAtALimitAndTheValueTurnsThroughAccessibility) {
  guard::Limits limits;
  limits.a.maxFrequencyHz = 1200;
  form->Instrument().SetLimits(limits);
  ValueEditor* editor = EditFrequency(Qt::Key_Return);
  ASSERT_TRUE(editor);
  QTest::keyClick(editor, Qt::Key_Left);
  QTest::keyClick(editor, Qt::Key_Left);  // the hundreds
  for (int step = 0; step < 5; ++step) QTest::keyClick(editor, Qt::Key_Up);
  EXPECT_EQ(editor->Number(), "1200");
  // The reason whole: on the page, in the status line's tooltip, and in the
  // log as the page's.
  const QString why = "channel A's frequency would be 1.3 kHz; its limit is 1.2 kHz";
  EXPECT_EQ(Get<QLabel>("LimitNote")->text(), why);
  EXPECT_EQ(Get<QLabel>("StatusText")->toolTip(), why);
  const LogEntry logged = form->Log().At(form->Log().Size() - 1);
  EXPECT_EQ(logged.text, why);
  EXPECT_TRUE(logged.link.endsWith("(Instrument)")) << logged.link.toStdString();
  EXPECT_EQ(LogTexts().count(why), 1) << "logged once, though three steps stopped at it";
  // Typed beyond it: not taken.
  for (char key : {'5', '0'}) QTest::keyClick(editor, key);
  QTest::keyClick(editor, Qt::Key_Return);
  EXPECT_EQ(editor->Number(), "1200");

  QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(editor);
  ASSERT_TRUE(accessible && accessible->valueInterface());
  EXPECT_EQ(accessible->text(QAccessible::Name), "Channel A Frequency");
  accessible->valueInterface()->setCurrentValue(1150.0);
  EXPECT_EQ(accessible->valueInterface()->currentValue().toDouble(), 1150.0);
  ASSERT_TRUE(QTest::qWaitFor([&] { return Frequencies().endsWith("XCHA:AFREQ1150Hz"); }, 10000))
      << Frequencies().join(" ").toStdString();
  for (const QString& frame : Frequencies()) EXPECT_LE(Hz(frame), 1200) << frame.toStdString();
}

TEST_F(TuningTest, TheSwitchAsksUnderLimitsAndTheWaveformIsAChoice) {
  guard::Limits limits;
  limits.a.maxAmplitudeVpp = 5;
  form->Instrument().SetLimits(limits);
  auto* output = Get<QCheckBox>("OutputA");
  answering.yes = false;
  output->click();
  EXPECT_EQ(answering.said.size(), 1);
  EXPECT_FALSE(output->isChecked()) << "as the instrument still stands";
  answering.yes = true;
  output->click();
  auto* waveform = Get<QComboBox>("WaveformA");
  waveform->activated(waveform->findText("SQUAR"));
  waveform->activated(waveform->findText("No. 3"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return heard.Frames().contains("XCHA:AWAVE3No."); }, 10000));
  const QStringList frames = heard.Frames();
  EXPECT_EQ(frames.filter("SWITCH"), QStringList{"XCHA:SWITCH1No."});
  EXPECT_LT(frames.indexOf("XCHA:VPP?"), frames.indexOf("XCHA:SWITCH1No.")) << "read back first";
  ASSERT_TRUE(QTest::qWaitFor([&] { return output->isChecked(); }, 5000));
  EXPECT_TRUE(QTest::qWaitFor([&] { return waveform->currentText() == "No. 3"; }, 5000));
}

// All outputs off goes ahead of every waiting line, and a waiting line of
// any source that would switch an output on again is not sent.
TEST_F(TuningTest, AllOutputsOffGoesAheadAndRefusesWaitingSwitchesOn) {
  session::LineSession& session = form->Session();
  std::vector<guard::Limit> refused;
  QObject::connect(&session, &session::LineSession::NotStarted,
                   [&](const session::Frame&, const session::Refusal& why) {
                     refused.push_back(why.breach->limit);
                   });
  Get<QLineEdit>("Edit1")->setText("88CHA:AFREQ1234567890Hz");
  Click("btn96");
  ASSERT_TRUE(QTest::qWaitFor([&] { return form->Sending(); }, 10000));
  // Another program's lines, waiting behind the operator's frame.
  const session::LineSettings settings{session::Interface::Serial, "19200", "88"};
  session.Submit(session.Prepare(42, "88CHB:SWITCH1No.", settings));
  session.Submit(session.Prepare(42, "88CHA:AFREQ3000Hz", settings));
  ASSERT_TRUE(session.Sending());
  QTest::keyClick(form.get(), Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
  ASSERT_TRUE(QTest::qWaitFor([&] { return session.Idle() && session.SourceIdle(42); }, 20000));
  EXPECT_EQ(refused, std::vector<guard::Limit>{guard::Limit::OutputsOff});
  ASSERT_TRUE(QTest::qWaitFor([&] { return heard.Frames().contains("XCHA:AFREQ3000Hz"); }, 5000));
  EXPECT_EQ(heard.Frames().mid(1), (QStringList{"XCHA:AFREQ1234567890Hz", "XCHA:SWITCH0No.",
                                                "XCHB:SWITCH0No.", "XCHA:AFREQ3000Hz"}));
  EXPECT_TRUE(
      LogTexts().contains("All outputs off: sent ahead of the 2 lines waiting; 1 of them "
                          "that would switch an output on again were not sent"));
}

// A setting the instrument answered otherwise than OK is marked as a value
// read back otherwise is.
TEST(InstrumentViewMarks, ASettingTheInstrumentRefused) {
  settings::InstrumentSettings known;
  known.RecordReply("CHA:AFREQ:1kHz", "ERROR\n");
  known.RecordReply("CHB:VPP:2Vpp", "OK\n");
  InstrumentView view;
  view.Show(known, {});
  EXPECT_TRUE(view.Table()->item(0, 1)->font().bold()) << "the frequency's row";
  EXPECT_FALSE(view.Table()->item(1, 2)->font().bold()) << "the amplitude's row";
}

}  // namespace
}  // namespace zrt::window::testing
