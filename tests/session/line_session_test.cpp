// The send path on its own, against the simulated instrument and a
// pseudo-terminal: two sources, each given its own replies; holds; a frame
// cut. The frames' bytes and pacing are the window's and zrt-send's tests',
// which send through it.
#include "session/line_session.h"

#include <gtest/gtest.h>

#include <QTest>
#include <map>
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

// The simulated instrument on a pseudo-terminal, a port open on it, a
// session sending through it and what each source was given.
struct Bench {
  Bench() : instrument({88, {}, {}}) {
    comm.SetCommName(instrument.TerminalPath());
    comm.OpenPort();
    QObject::connect(&session, &LineSession::Received,
                     [this](int source, const QByteArray& block) { replies[source] += block; });
  }
  void Send(int source, const QString& text) {
    session.Submit(session.Prepare(source, text, {Interface::Serial, "19200", "88"}));
  }
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

// Two sources at once: each given the replies to its own lines, which an
// instrument gives only to frames that came whole and in order.
TEST(LineSession, TwoSourcesGetTheirOwnReplies) {
  Bench bench;
  bench.Send(1, "CHA:AFREQ:1000HZ");
  bench.Send(2, "CHA:AFREQ?");
  bench.Send(1, "CHB:AFREQ?");
  ASSERT_TRUE(QTest::qWaitFor([&] { return bench.replies[1].count('\n') == 2; }, 20000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return bench.replies[2].count('\n') == 1; }, 20000));
  EXPECT_EQ(bench.replies[1], "OK\n0\n");
  EXPECT_EQ(bench.replies[2], "1000HZ\n");
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
