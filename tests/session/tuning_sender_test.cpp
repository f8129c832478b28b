// Latest wins: values turned faster than the instrument takes lines, against
// the simulated instrument on a pseudo-terminal.
#include "session/tuning_sender.h"

#include <gtest/gtest.h>

#include <QStringList>
#include <QTest>
#include <mutex>

#include "link/tcomm.h"
#include "sim/pty_instrument.h"

namespace zrt::session {
namespace {

struct Bench {
  Bench()
      : instrument({88, {}, [this](const std::string& said) {
                      // "- XCHA:AFREQ1000Hz > OK\x0A": a frame, its address byte as X
                      const QString text = QString::fromStdString(said);
                      const qsizetype from = text.indexOf("- X") + 3;
                      if (from < 3) return;
                      const std::lock_guard lock(mutex);
                      heard << text.mid(from, text.indexOf(" > ") - from);
                    }}) {
    comm.SetCommName(instrument.TerminalPath());
    comm.OpenPort();
    QObject::connect(&tuning, &TuningSender::NotSent,
                     [this](const QString& line, const WhyNotSent&) { notSent << line; });
  }
  QStringList Heard() {
    const std::lock_guard lock(mutex);
    return heard;
  }
  std::mutex mutex;
  QStringList heard;
  QStringList notSent;
  sim::PtyInstrument instrument;
  link::TComm comm;
  LineSession session{&comm, nullptr};
  TuningSender tuning{session, 3, [] { return LineSettings{Interface::Serial, "19200", "88"}; }};
};

TEST(TuningSender, FiftyStepsInHalfASecondEndAtTheLastValue) {
  Bench bench;
  settings::Limits limits;
  limits.a.maxFrequencyHz = 10e6;
  bench.session.SetLimits(limits);
  QStringList turned;
  for (int step = 1; step <= 50; ++step) {
    turned << QString("CHA:AFREQ%1Hz").arg(1000 + step * 10);
    bench.tuning.Set("CHA:AFREQ", "88" + turned.back());
    QTest::qWait(10);  // the wheel's notches, as a hand turns it
  }
  ASSERT_TRUE(QTest::qWaitFor([&] { return !bench.tuning.Busy() && bench.session.Idle(); }, 20000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return bench.Heard().endsWith(turned.back()); }, 5000))
      << bench.Heard().join(" ").toStdString();
  const QStringList heard = bench.Heard();
  EXPECT_LT(heard.size(), 15);
  int at = -1;
  for (const QString& line : heard) {  // in the order turned
    const int index = turned.indexOf(line);
    EXPECT_GT(index, at) << line.toStdString();
    at = index;
  }
  EXPECT_TRUE(bench.notSent.isEmpty());
}

// Items do not replace each other, and a value beyond a limit never goes.
TEST(TuningSender, EachItemItsOwnLatestAndNothingBeyondALimit) {
  Bench bench;
  settings::Limits limits;
  limits.a.maxFrequencyHz = 1e6;
  bench.session.SetLimits(limits);
  bench.tuning.Set("CHA:AFREQ", "88CHA:AFREQ1000Hz");  // out at once
  bench.tuning.Set("CHA:AFREQ", "88CHA:AFREQ2000Hz");  // waits
  bench.tuning.Set("CHA:ADUTY", "88CHA:ADUTY30%");
  bench.tuning.Set("CHA:AFREQ", "88CHA:AFREQ2MHz");  // replaces 2000 Hz: beyond
  bench.tuning.Set("CHA:ADUTY", "88CHA:ADUTY40%");   // replaces 30 %
  ASSERT_TRUE(QTest::qWaitFor([&] { return !bench.tuning.Busy() && bench.session.Idle(); }, 20000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return bench.Heard().size() == 2; }, 5000));
  EXPECT_EQ(bench.Heard(), (QStringList{"CHA:AFREQ1000Hz", "CHA:ADUTY40%"}));
  EXPECT_EQ(bench.notSent, QStringList{"88CHA:AFREQ2MHz"});
}

}  // namespace
}  // namespace zrt::session
