// The send path on its own, against the simulated instrument and a
// pseudo-terminal: two sources, each given its own replies; holds; a frame
// cut. The frames' bytes and pacing are the window's and zrt-send's tests',
// which send through it.
#include "session/line_session.h"

#include <gtest/gtest.h>

#include <QTest>
#include <map>
#include <mutex>
#include <optional>
#include <tuple>
#include <vector>

#include "link/tcomm.h"
#include "pty_pair.h"
#include "session/read_back_run.h"
#include "sim/pty_instrument.h"

namespace zrt::session {
namespace {

using namespace std::chrono_literals;

// The simulated instrument on a pseudo-terminal (doing as `options` say),
// a port open on it, a session sending through it, what each source was
// given and the frames the instrument heard ("XCHA:VPP4Vpp").
struct Bench {
  explicit Bench(sim::PtyInstrument::Options options = {})
      : instrument([&] {
          options.log = [this](const std::string& line) {
            std::lock_guard lock(mutex);
            if (line.starts_with("<- ")) heard.push_back(line.substr(3));
          };
          return options;
        }()) {
    comm.SetCommName(instrument.TerminalPath());
    comm.OpenPort();
    QObject::connect(&session, &LineSession::Received,
                     [this](int source, const QByteArray& block) { replies[source] += block; });
  }
  void Send(int source, const QString& text) {
    session.Submit(session.Prepare(source, text, {Interface::Serial, "19200", "88"}));
  }
  std::vector<std::string> Heard() {
    std::lock_guard lock(mutex);
    return heard;
  }
  std::mutex mutex;
  std::vector<std::string> heard;
  sim::PtyInstrument instrument;
  link::TComm comm;
  LineSession session{&comm, nullptr};
  std::map<int, QByteArray> replies;
};

// A session on a port open on a bare pseudo-terminal, whose other side the
// test plays.
struct PtyBench {
  PtyBench() {
    comm.SetCommName(pty.TerminalPath());
    comm.OpenPort();
  }
  void Send(int source, const char* text) {
    session.Submit(session.Prepare(source, text, {Interface::Serial, "19200", "88"}));
  }
  link::testing::PtyPair pty;
  link::TComm comm;
  LineSession session{&comm, nullptr};
};

// Two sources at once, one sending without waiting: each given the replies
// to its own lines, in order (which an instrument gives only to frames that
// came whole), and the known settings learn each reply for the line that
// asked.
TEST(LineSession, TwoSourcesGetTheirOwnReplies) {
  Bench bench;
  bench.Send(1, "CHA:AFREQ:1000HZ");
  bench.Send(2, "CHA:AFREQ?");
  bench.Send(1, "CHB:AFREQ?");
  bench.Send(1, "CHA:AFREQ?");
  ASSERT_TRUE(QTest::qWaitFor([&] { return bench.replies[1].count('\n') == 3; }, 20000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return bench.replies[2].count('\n') == 1; }, 20000));
  EXPECT_EQ(bench.replies[1], "OK\n0\n1000HZ\n");
  EXPECT_EQ(bench.replies[2], "1000HZ\n");
  auto read = [&](const char* function) {
    const settings::Setting* setting = bench.session.Known().Find(function, "AFREQ");
    return setting && setting->read && setting->readLast ? setting->read->number : -1;
  };
  ASSERT_TRUE(QTest::qWaitFor([&] { return read("CHA") == 1000; }, 5000));
  EXPECT_EQ(read("CHB"), 0);
}

// Two sources set the offset and the amplitude at the same moment: each is
// judged when its frame starts, with the other's answer counted, so the
// output's band holds; what nobody confirmed is read back before it counts.
TEST(LineSession, LimitsCountTheFramesAheadAndAskWhatIsNotKnown) {
  Bench bench;
  guard::Limits limits;
  limits.a.maxOffsetV = 3;
  bench.session.SetLimits(limits);
  std::vector<std::pair<int, guard::Limit>> refused;
  QObject::connect(&bench.session, &LineSession::NotStarted, [&](const Frame& f, const Refusal& why) {
    refused.emplace_back(f.source, why.breach->limit);
  });
  bench.Send(1, "CHA:VPP:2Vpp");  // the offset and the other amplitudes are asked first
  ASSERT_TRUE(QTest::qWaitFor([&] { return bench.session.Idle(); }, 20000));
  EXPECT_EQ(bench.replies[LineSession::kLimitsSource].count('\n'), bench.Heard().size() - 1)
      << "every question the guard asked was answered";
  EXPECT_EQ(bench.Heard().back(), "CHA:VPP:2Vpp");
  bench.Send(1, "CHA:AOFFS:2Vdc");  // 2 V and 1 V: 3 V
  bench.Send(2, "CHA:VPP:4Vpp");    // with the offset ahead of it: 4 V
  ASSERT_TRUE(QTest::qWaitFor([&] { return bench.session.Idle() && !refused.empty(); }, 20000));
  EXPECT_EQ(refused, (std::vector<std::pair<int, guard::Limit>>{{2, guard::Limit::MaxOffset}}));
  EXPECT_EQ(bench.Heard().back(), "CHA:AOFFS:2Vdc");
}

// An instrument that refuses a setting, takes it without a word, or never
// tells a value: the guard goes by what it reads back, never by what was
// sent, and refuses what it cannot learn. Nothing beyond the band is heard.
TEST(LineSession, TheGuardTrustsOnlyWhatTheInstrumentConfirmed) {
  struct Case {
    const char* what;
    sim::PtyInstrument::Options options;
    std::vector<QString> lines;  // the last is refused
    guard::Limit refusal;
  };
  // The instrument's offset stays at 2.5 V whatever it is told.
  const Case table[] = {
      {"an offset refused",
       {.keep = {"CHA:AOFFS:2.5Vdc"}, .refuse = {"CHA:AOFFS"}},
       {"CHA:AOFFS:0Vdc", "CHA:VPP:4Vpp"},
       guard::Limit::MaxOffset},
      {"an offset taken without a word",
       {.keep = {"CHA:AOFFS:2.5Vdc"}, .mute = {"CHA:AOFFS"}},
       {"CHA:AOFFS:0Vdc", "CHA:VPP:4Vpp"},
       guard::Limit::MaxOffset},
      {"an offset never told", {.silent = {"CHA:AOFFS"}}, {"CHA:VPP:4Vpp"}, guard::Limit::Unknown},
  };
  for (const Case& row : table) {
    SCOPED_TRACE(row.what);
    Bench bench(row.options);
    guard::Limits limits;
    limits.a.maxOffsetV = 3;
    bench.session.SetLimits(limits);
    std::vector<guard::LimitBreach> refused;
    QObject::connect(&bench.session, &LineSession::NotStarted,
                     [&](const Frame&, const Refusal& why) { refused.push_back(*why.breach); });
    for (const QString& line : row.lines) bench.Send(1, line);
    ASSERT_TRUE(QTest::qWaitFor([&] { return bench.session.Idle() && !refused.empty(); }, 30000));
    ASSERT_EQ(refused.size(), 1u);
    EXPECT_EQ(refused[0].limit, row.refusal) << guard::Describe(refused[0]);
    EXPECT_EQ(refused[0].line, "CHA:VPP:4Vpp");
    if (row.refusal == guard::Limit::Unknown) {
      EXPECT_EQ(refused[0].part, "CHA:AOFFS");
    }
    for (const std::string& frame : bench.Heard()) EXPECT_NE(frame, "CHA:VPP:4Vpp");
  }
}

// What makes the instrument safe goes ahead of every waiting frame, the
// operator's too, in the order it was sent; the frame on the wire ends first.
TEST(LineSession, FramesSentAheadPassEveryWaitingFrame) {
  Bench bench;
  std::vector<int> order;
  QObject::connect(&bench.session, &LineSession::FrameOnWire,
                   [&](const Frame& frame) { order.push_back(frame.source); });
  const LineSettings settings{Interface::Serial, "19200", "88"};
  bench.Send(1, "CHA:AFREQ:1000HZ");  // on the wire at once
  bench.Send(2, "CHB:AFREQ?");
  bench.session.SubmitFirst(bench.session.Prepare(0, "CHA:VPP?", settings));
  bench.session.SubmitAhead(bench.session.Prepare(4, "CHA:SWITCH0No.", settings));
  bench.session.SubmitAhead(bench.session.Prepare(5, "CHB:SWITCH0No.", settings));
  EXPECT_EQ(bench.session.Waiting(), 4u);
  ASSERT_TRUE(QTest::qWaitFor([&] { return order.size() == 5 && bench.session.Idle(); }, 20000));
  EXPECT_EQ(order, (std::vector<int>{1, 4, 5, 0, 2}));
}

// Lines that fail one after another on a closed port, each sending the next
// as the instrument server does, run in a loop: the test also runs with a
// small stack (see CMakeLists.txt).
TEST(LineSession, AFloodOfFailingLinesRunsInALoop) {
  link::TComm comm;  // never opened
  LineSession session{&comm, nullptr};
  int failed = 0;
  QObject::connect(&session, &LineSession::FrameDone, [&](const Frame&, bool sent, qsizetype) {
    if (!sent) ++failed;
  });
  constexpr int kLines = 2048;
  int sent = 0;
  auto next = [&] {
    if (sent++ < kLines) {
      session.Submit(session.Prepare(1, "CHA:AFREQ:1000HZ", {Interface::Serial, "19200", "88"}));
    }
  };
  QObject::connect(&session, &LineSession::SourceReady, next);
  next();
  ASSERT_TRUE(QTest::qWaitFor([&] { return failed == kLines; }, 20000)) << failed;
  EXPECT_TRUE(session.Idle());
}

// A reply ends once the instrument has paused, or the next frame begins;
// a frame with no reply ends empty; a frame abandoned keeps nobody waiting.
TEST(LineSession, RepliesEnd) {
  PtyBench bench;
  auto& [pty, comm, session] = bench;
  QByteArray received;
  std::vector<std::tuple<int, bool, QByteArray>> ends;  // source, replied, what came by then
  QObject::connect(&session, &LineSession::Received,
                   [&](int, const QByteArray& block) { received += block; });
  QObject::connect(&session, &LineSession::ReplyEnded,
                   [&](int source, bool replied) { ends.emplace_back(source, replied, received); });
  auto send = [&](int source, const char* text) { bench.Send(source, text); };
  send(1, "Q");
  ASSERT_TRUE(QTest::qWaitFor([&] { return session.SourceIdle(1); }, 5000));
  ASSERT_EQ(pty.Receive(2, 5000), "Q\n");
  pty.Send("12");
  pty.Send("34\n");
  ASSERT_TRUE(QTest::qWaitFor([&] { return !ends.empty(); }, 5000));
  EXPECT_EQ(ends[0], std::make_tuple(1, true, QByteArray("1234\n")));

  send(2, "S");  // nothing answers it
  ASSERT_TRUE(QTest::qWaitFor([&] { return ends.size() == 2; }, 5000));
  EXPECT_EQ(ends[1], std::make_tuple(2, false, QByteArray("1234\n")));

  send(2, "ABCDEFGH");
  ASSERT_TRUE(QTest::qWaitFor([&] { return session.HandedOver() >= 1; }, 5000));
  session.Abandon();
  send(1, "R");
  ASSERT_TRUE(QTest::qWaitFor([&] { return session.SourceIdle(1); }, 5000))
      << "the other source's line waits for ever";
  QByteArray wire;  // what the abandoned frame had handed over may come first
  for (QByteArray got; !(got = pty.Receive(1, 500)).isEmpty();) wire += got;
  EXPECT_TRUE(wire.endsWith("R\n"));
  EXPECT_EQ(ends.size(), 2u) << "an abandoned frame's reply is not reported";
}

// A reply whole at its line feed ends there. After a line left
// unanswered, the operator's next line goes at once, as Send always has;
// another source's waits for the reply to end, so it is never given one
// meant for the operator.
TEST(LineSession, RepliesEndAtTheirLineFeedAndTheOperatorSendsWhenPressed) {
  PtyBench bench;
  auto& [pty, comm, session] = bench;
  std::vector<std::pair<int, bool>> ends;
  QObject::connect(&session, &LineSession::ReplyEnded,
                   [&](int source, bool replied) { ends.emplace_back(source, replied); });
  const LineSettings settings{Interface::Serial, "19200", "88"};
  // The next frame the instrument's side reads, whole.
  auto frame = [&pty] {
    QByteArray bytes;
    (void)QTest::qWaitFor(
        [&] {
          bytes += pty.Receive(1, 10);
          return bytes.endsWith('\n');
        },
        5000);
    return bytes;
  };
  bench.Send(1, "Q");
  ASSERT_EQ(frame(), "Q\n");
  pty.Send("OK\n");
  ASSERT_TRUE(QTest::qWaitFor([&] { return !ends.empty(); }, 5000));
  EXPECT_EQ(ends[0], std::make_pair(1, true));
  EXPECT_TRUE(session.Idle()) << "no quiet time after a whole line";

  session.SubmitFirst(session.Prepare(0, "A", settings));  // nothing answers it
  ASSERT_EQ(frame(), "A\n");
  ASSERT_TRUE(QTest::qWaitFor([&] { return session.SourceIdle(0); }, 5000));
  session.Submit(session.Prepare(2, "C", settings));
  EXPECT_FALSE(session.Sending()) << "another source waits for the reply's end";
  session.SubmitFirst(session.Prepare(0, "B", settings));
  EXPECT_TRUE(session.Sending() && session.Current()->text == "B") << "the operator's goes";
  EXPECT_EQ(ends.back(), std::make_pair(0, false));
  ASSERT_EQ(frame(), "B\n");
  pty.Send("late\n");
  ASSERT_TRUE(QTest::qWaitFor([&] { return session.Idle(); }, 5000));
  EXPECT_EQ(frame(), "C\n");
}

// XOFF holds a frame where it stands; a hold past the limit gives it up.
// The sweep trigger holds the next line; a frame cut says how much went.
TEST(LineSession, HoldsAndCuts) {
  PtyBench bench;
  auto& [pty, comm, session] = bench;
  session.SetHoldLimit(300ms);
  std::optional<qsizetype> cutAt;
  bool givenUp = false;
  QObject::connect(&session, &LineSession::HeldTooLong, [&] { givenUp = true; });
  QObject::connect(&session, &LineSession::FrameDone,
                   [&](const Frame&, bool sent, qsizetype handedOver) {
                     if (!sent) cutAt = handedOver;
                   });
  auto send = [&](const char* text) { bench.Send(0, text); };
  send("ABCDEFGH");
  ASSERT_EQ(pty.Receive(1, 5000), "A");
  pty.Send("\x13");  // XOFF
  ASSERT_TRUE(QTest::qWaitFor([&] { return givenUp; }, 5000));
  EXPECT_FALSE(cutAt.has_value()) << "a frame given up is not reported as through";
  pty.Send("\x11");
  while (!pty.Receive(1, 100).isEmpty()) {
  }

  send("88ASWP:TRIGG");
  ASSERT_TRUE(QTest::qWaitFor([&] { return !session.Sending(); }, 5000));
  EXPECT_FALSE(session.Idle()) << "no hold after the sweep trigger";
  ASSERT_TRUE(QTest::qWaitFor([&] { return session.Idle(); }, 10000));

  send("0123456789");
  ASSERT_TRUE(QTest::qWaitFor([&] { return session.HandedOver() >= 2; }, 5000));
  session.CutFrame();
  ASSERT_TRUE(cutAt.has_value());
  EXPECT_GE(*cutAt, 2);
  EXPECT_LT(*cutAt, 11);
  EXPECT_TRUE(session.Idle());
}

// The hold after a frame that did not go out whole, asked for while another
// source's frame is on the wire, comes after that frame: its source is
// ready again, whatever else was going out.
TEST(LineSession, AHoldAskedDuringAnotherFrameEndsInReady) {
  PtyBench bench;
  auto& [pty, comm, session] = bench;
  std::vector<int> ready;
  QObject::connect(&session, &LineSession::SourceReady,
                   [&](int source) { ready.push_back(source); });
  const Frame notSent = session.Prepare(0, "88ASWP:TRIGG", {Interface::Serial, "19200", "88"});
  bench.Send(7, "0123456789");
  ASSERT_TRUE(QTest::qWaitFor([&] { return session.Sending(); }, 5000));
  session.HoldAfter(notSent);
  ASSERT_TRUE(QTest::qWaitFor([&] { return ready.size() == 2; }, 10000));
  EXPECT_EQ(ready, (std::vector<int>{7, 0})) << "after the frame on the wire and the hold";
}

// A read back whose link goes away ends there rather than waiting for ever.
TEST(ReadBackRun, EndsWhenTheLinkGoes) {
  Bench bench;
  ReadBackRun read(bench.session, 2, [] { return LineSettings{}; });
  std::optional<std::tuple<int, int, bool>> finished;
  QObject::connect(&read, &ReadBackRun::Finished, [&](int answered, int asked, bool completed) {
    finished = {answered, asked, completed};
  });
  read.Start();
  ASSERT_TRUE(QTest::qWaitFor([&] { return bench.session.Sending(); }, 5000));
  bench.session.Abandon();  // as the window does when the port goes
  ASSERT_TRUE(QTest::qWaitFor([&] { return finished.has_value(); }, 5000));
  EXPECT_FALSE(std::get<2>(*finished));
  EXPECT_FALSE(read.Running());
}

}  // namespace
}  // namespace zrt::session
