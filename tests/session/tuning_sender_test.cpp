// Latest wins, against the simulated instrument on a pseudo-terminal: each
// item's newest value replaces its waiting line, and nothing beyond a limit
// goes. (Fifty wheel notches in half a second: the window's tuning test.)
#include "session/tuning_sender.h"

#include <gtest/gtest.h>

#include <QStringList>
#include <QTest>
#include <mutex>

#include "link/tcomm.h"
#include "sim/pty_instrument.h"

namespace zrt::session {
namespace {

TEST(TuningSender, EachItemItsOwnLatestAndNothingBeyondALimit) {
  std::mutex mutex;
  QStringList heard;  // "XCHA:AFREQ1000Hz": the address byte as X
  sim::PtyInstrument instrument({88, {}, [&](const std::string& said) {
                                   const std::lock_guard lock(mutex);
                                   if (said.starts_with("<- ")) heard << said.substr(3).c_str();
                                 }});
  link::TComm comm;
  comm.SetCommName(instrument.TerminalPath());
  comm.OpenPort();
  LineSession session{&comm, nullptr};
  guard::Limits limits;
  limits.a.maxFrequencyHz = 1e6;
  session.SetLimits(limits);
  TuningSender tuning{session, 3, [] { return LineSettings{Interface::Serial, "19200", "88"}; }};
  QStringList notSent;
  QObject::connect(&tuning, &TuningSender::NotSent,
                   [&](const QString& line, const WhyNotSent&) { notSent << line; });

  tuning.Set("CHA:AFREQ", "88CHA:AFREQ1000Hz");  // out at once
  tuning.Set("CHA:AFREQ", "88CHA:AFREQ2000Hz");  // waits
  tuning.Set("CHA:ADUTY", "88CHA:ADUTY30%");
  tuning.Set("CHA:AFREQ", "88CHA:AFREQ2MHz");  // replaces 2000 Hz: beyond
  tuning.Set("CHA:ADUTY", "88CHA:ADUTY40%");   // replaces 30 %
  ASSERT_TRUE(QTest::qWaitFor([&] { return !tuning.Busy() && session.Idle(); }, 20000));
  const auto frames = [&] {
    const std::lock_guard lock(mutex);
    return heard;
  };
  ASSERT_TRUE(QTest::qWaitFor([&] { return frames().size() == 2; }, 5000));
  EXPECT_EQ(frames(), (QStringList{"XCHA:AFREQ1000Hz", "XCHA:ADUTY40%"}));
  EXPECT_EQ(notSent, QStringList{"88CHA:AFREQ2MHz"});
}

}  // namespace
}  // namespace zrt::session
