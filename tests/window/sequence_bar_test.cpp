// Sequences run from the window against the simulated instrument and a
// pseudo-terminal: the lines on the wire, Send held while a run goes, Stop
// between frames, a refused file.
#include "window/send/sequence_bar.h"

#include <QApplication>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <mutex>

#include "pty_pair.h"
#include "sim/pty_instrument.h"
#include "window_fixture.h"

namespace zrt::window::testing {
namespace {

using sequence::Runner;

class SequenceBarTest : public WindowTest {
 protected:
  QString Write(const char* name, const QByteArray& text) {
    const QString path = dir.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
    return path;
  }
  void OpenPort(const std::string& path) {
    Get<QComboBox>("cbo1")->setEditText(QString::fromStdString(path));
    Click("btn106");
    ASSERT_TRUE(form->PortOpen());
  }
  bool WaitForEnd(std::optional<Runner::Outcome>& outcome, int timeoutMs = 20000) {
    QObject::connect(&form->Sequences().Runner(), &Runner::Finished,
                     [&](Runner::Outcome o, int) { outcome = o; });
    return QTest::qWaitFor([&] { return outcome.has_value(); }, timeoutMs);
  }
  // Loads the file and waits until it is read: whether it was taken.
  bool Load(const QString& path) {
    QSignalSpy finished(&form->Sequences(), &SequenceBar::LoadFinished);
    return form->Sequences().Load(path) && finished.wait(20000) && finished[0][0].toBool();
  }
  QPushButton* Bar(const char* name) const { return form->findChild<QPushButton*>(name); }
  QString Where() const { return form->findChild<QLabel*>("SequenceWhere")->text(); }

  QTemporaryDir dir;
};

TEST_F(SequenceBarTest, StepsAFrequencyThroughFiveValues) {
  std::mutex mutex;
  std::vector<std::string> heard;
  sim::PtyInstrument instrument({88, {}, [&](const std::string& line) {
                                   std::lock_guard lock(mutex);
                                   heard.push_back(line);
                                 }});
  OpenPort(instrument.TerminalPath());
  const QString path = ZRT_EXAMPLES "/step-frequency.zrt";
  // Dropped on the window: the log opens with the sequence loaded.
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(path)});
  QDragEnterEvent enter(QPoint(400, 300), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(form.get(), &enter);
  ASSERT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(400, 300), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(form.get(), &drop);
  ASSERT_TRUE(form->LogShown());
  ASSERT_TRUE(QTest::qWaitFor([&] { return form->Sequences().Runner().Steps().size() == 20u; }))
      << Where().toStdString();

  std::optional<Runner::Outcome> outcome;
  Bar("SequenceRun")->click();
  EXPECT_FALSE(Button("btn96")->isEnabled()) << "Send is free during a run";
  ASSERT_TRUE(WaitForEnd(outcome)) << Where().toStdString();
  EXPECT_EQ(outcome, Runner::Outcome::Completed) << Where().toStdString();
  EXPECT_TRUE(QTest::qWaitFor([&] { return Button("btn96")->isEnabled(); }));
  std::lock_guard lock(mutex);
  std::vector<std::string> frames;
  for (const std::string& line : heard) {
    if (line.rfind("<- ", 0) == 0) frames.push_back(line.substr(3));
  }
  EXPECT_EQ(frames, (std::vector<std::string>{
                        "XCHA:AFREQ:1000HZ", "CHA:AFREQ?", "XCHA:AFREQ:2000HZ", "CHA:AFREQ?",
                        "XCHA:AFREQ:5000HZ", "CHA:AFREQ?", "XCHA:AFREQ:10000HZ", "CHA:AFREQ?",
                        "XCHA:AFREQ:20000HZ", "CHA:AFREQ?"}));
  EXPECT_TRUE(form->History().Lines().isEmpty()) << "a sequence's lines went into the history";
}

TEST_F(SequenceBarTest, StopEndsAfterTheFrameGoingOut) {
  link::testing::PtyPair pty;
  OpenPort(pty.TerminalPath());
  const QString path = Write("many.zrt", "timeout 100ms\nrepeat 50\n  CHA:AFREQ:1000HZ\nend\n");
  ASSERT_TRUE(Load(path)) << Where().toStdString();
  std::optional<Runner::Outcome> outcome;
  Bar("SequenceRun")->click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return form->Sending(); }));
  QTest::qWait(50);  // into the frame
  Bar("SequenceStop")->click();
  ASSERT_TRUE(WaitForEnd(outcome));
  EXPECT_EQ(outcome, Runner::Outcome::Stopped);
  EXPECT_FALSE(form->Sending()) << "ended inside a frame";
  const QByteArray wire = pty.Receive(17, 1000);
  EXPECT_EQ(wire, "CHA:AFREQ:1000HZ\n");
  EXPECT_TRUE(pty.Receive(1, 300).isEmpty()) << "more went out after Stop";
}

TEST_F(SequenceBarTest, ARefusedFileSendsNothingAndSaysWhere) {
  link::testing::PtyPair pty;
  OpenPort(pty.TerminalPath());
  // A good file first: the refused one must not leave it to be run.
  ASSERT_TRUE(Load(Write("good.zrt", "CHA:AFREQ?\n")));
  ASSERT_TRUE(Bar("SequenceRun")->isEnabled());
  form->SelectLanguage(Language::SimplifiedChinese);
  const QString path = Write("bad.zrt", "CHA:AFREQ:1000HZ\nrepeat 3\n  wait 5 minutes\nend\n");
  EXPECT_FALSE(Load(path));
  EXPECT_TRUE(form->Sequences().Runner().Steps().empty());
  EXPECT_EQ(Where(), "bad.zrt:3:8: 应为时长，例如 500ms 或 2s");
  EXPECT_TRUE(form->Log().LineOf(form->Log().At(form->Log().Size() - 1)).endsWith(Where()));
  EXPECT_FALSE(Bar("SequenceRun")->isEnabled());
  EXPECT_TRUE(pty.Receive(1, 200).isEmpty());
}

// Run reads a file that changed since it was loaded; Reload reads it on demand.
TEST_F(SequenceBarTest, RunReadsAChangedFileAgain) {
  link::testing::PtyPair pty;
  OpenPort(pty.TerminalPath());
  const QString path = Write("edited.zrt", "timeout 100ms\nA\n");
  ASSERT_TRUE(Load(path));
  Write("edited.zrt", "timeout 100ms\nBB\n");
  std::optional<Runner::Outcome> outcome;
  Bar("SequenceRun")->click();
  ASSERT_TRUE(WaitForEnd(outcome)) << Where().toStdString();
  EXPECT_EQ(pty.Receive(3, 1000), "BB\n");
  QStringList log;
  for (qsizetype i = 0; i < form->Log().Size(); ++i) log << form->Log().At(i).text;
  EXPECT_EQ(log.filter("edited.zrt changed since it was loaded: read again").size(), 1);
  Write("edited.zrt", "timeout 100ms\nC\nD\nE\n");
  Bar("SequenceReload")->click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return form->Sequences().Runner().Steps().size() == 3u; }));
}

// Each expect's result is in the log, the run's summary in the bar and the
// log; after a failed expect, Run from here sends its line again and goes on.
TEST_F(SequenceBarTest, ExpectsAreRecordedAndARunGoesOnFromWhereItFailed) {
  link::testing::PtyPair pty;
  OpenPort(pty.TerminalPath());
  ASSERT_TRUE(Load(Write("check.zrt", "timeout 5s\nA\nexpect OK\nB\n")));
  // The bytes come one at a time, 10 ms apart.
  auto heard = [&](qsizetype count) {
    QByteArray bytes;
    (void)QTest::qWaitFor([&] { return (bytes += pty.Receive(1, 0)).size() >= count; }, 5000);
    return bytes;
  };
  std::optional<Runner::Outcome> outcome;
  Bar("SequenceRun")->click();
  ASSERT_EQ(heard(2), "A\n");
  pty.Send("ERR\n");
  ASSERT_TRUE(WaitForEnd(outcome)) << Where().toStdString();
  EXPECT_EQ(outcome, Runner::Outcome::ExpectUnmatched);
  EXPECT_TRUE(Where().contains("1 lines sent, 1 replies, 0 expects met, 1 missed"))
      << Where().toStdString();
  QStringList log;
  for (qsizetype i = 0; i < form->Log().Size(); ++i) log << form->Log().At(i).text;
  EXPECT_EQ(log.filter("expect \"OK\": missed").size(), 1) << log.join('\n').toStdString();

  ASSERT_TRUE(Bar("SequenceRunFromHere")->isEnabled());
  outcome.reset();
  Bar("SequenceRunFromHere")->click();
  ASSERT_EQ(heard(2), "A\n");
  pty.Send("OK\n");
  ASSERT_EQ(heard(2), "B\n");
  pty.Send("OK\n");
  ASSERT_TRUE(QTest::qWaitFor([&] { return outcome.has_value(); }, 20000));
  EXPECT_EQ(outcome, Runner::Outcome::Completed);
  EXPECT_FALSE(Bar("SequenceRunFromHere")->isVisible());
  log.clear();
  for (qsizetype i = 0; i < form->Log().Size(); ++i) log << form->Log().At(i).text;
  EXPECT_EQ(log.filter("expect \"OK\": met").size(), 1);
}

// A file over the limit is refused unread, off the window's thread: the
// window answers meanwhile.
TEST_F(SequenceBarTest, AHugeFileIsRefusedWithoutFreezingTheWindow) {
  QByteArray text;
  text.reserve(sequence::kMaxFileBytes + 16);
  while (text.size() <= sequence::kMaxFileBytes) text += "wait 1ms\n";
  const QString path = Write("huge%2.zrt", text);
  EXPECT_FALSE(Load(path));
  EXPECT_EQ(Where(), "huge%2.zrt:1:1: the file is larger than 8388608 bytes");
  EXPECT_FALSE(Bar("SequenceRun")->isEnabled());
}

// A run keeps the interface, rate and address it started with: the boxes
// are locked, and what they are made to say meanwhile changes nothing.
TEST_F(SequenceBarTest, ARunKeepsItsSettings) {
  link::testing::PtyPair pty;
  OpenPort(pty.TerminalPath());
  const QString path = Write("three.zrt", "timeout 100ms\nrepeat 3\n  88A\nend\n");
  ASSERT_TRUE(Load(path)) << Where().toStdString();
  std::optional<Runner::Outcome> outcome;
  Bar("SequenceRun")->click();
  for (const char* name : {"rg2", "cob2", "Edit2"}) {
    EXPECT_FALSE(form->Control(name)->isEnabled()) << name;
  }
  Get<QLineEdit>("Edit2")->setText("77");
  Get<QComboBox>("cob2")->setEditText("96");
  ASSERT_TRUE(WaitForEnd(outcome));
  EXPECT_EQ(outcome, Runner::Outcome::Completed) << Where().toStdString();
  EXPECT_EQ(pty.Receive(6, 1000), "XA\nXA\nXA\n");
  EXPECT_TRUE(form->Control("Edit2")->isEnabled());
}

}  // namespace
}  // namespace zrt::window::testing
