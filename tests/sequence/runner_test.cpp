#include "sequence/runner.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>

namespace zrt::sequence {
namespace {

using namespace std::chrono_literals;

// A link the test drives: frames go out and replies come when it says.
class FakeLink : public LineLink {
 public:
  bool Ready() const override { return ready; }
  void Send(const QString& line) override {
    sent << line;
    ready = false;
  }
  // The frame is through; the link may send again unless `hold`.
  void FrameThrough(bool ok = true, bool hold = false) {
    emit FrameSent(ok);
    if (!hold) Release();
  }
  void Release() {
    ready = true;
    emit BecameReady();
  }
  bool ready = true;
  QStringList sent;
};

struct Trial {
  explicit Trial(const char* text) : runner(link) {
    runner.Load(std::get<std::vector<Step>>(Parse(text, "t.zrt", 200ms)));
    QObject::connect(&runner, &Runner::Finished, [this](Runner::Outcome o, int index) {
      outcome = o;
      endedAt = index;
    });
    QObject::connect(&runner, &Runner::RepliedLate, [this](int index, const QByteArray& bytes) {
      late << QString("%1:%2").arg(index).arg(QString::fromLatin1(bytes));
    });
    QObject::connect(&runner, &Runner::Replied, [this](int index, const QByteArray& reply) {
      replies << QString("%1:%2").arg(index).arg(QString::fromLatin1(reply));
    });
  }
  bool WaitForSent(int count) {
    return QTest::qWaitFor([&] { return link.sent.size() >= count; }, 5000);
  }
  bool WaitForEnd() {
    return QTest::qWaitFor([&] { return outcome.has_value(); }, 5000);
  }
  FakeLink link;
  Runner runner;
  std::optional<Runner::Outcome> outcome;
  int endedAt = -1;
  QStringList replies;
  QStringList late;
};

TEST(Runner, SendsEachLineAfterTheOneBeforeHasItsReply) {
  Trial run("A\nexpect OK\nwait 50ms\nB\nC");
  run.runner.Run();
  ASSERT_TRUE(run.WaitForSent(1));
  emit run.link.Received("O");  // while the frame goes out
  run.link.FrameThrough();
  emit run.link.Received("K\n");
  ASSERT_TRUE(run.WaitForSent(2));
  EXPECT_EQ(run.link.sent, QStringList({"A", "B"}));
  // B has no reply: after its timeout, C goes, held until the link is free.
  run.link.FrameThrough(true, true);
  ASSERT_TRUE(QTest::qWaitFor([&] { return run.replies.contains("3:"); }));
  QCoreApplication::processEvents();
  EXPECT_EQ(run.link.sent.size(), 2) << "sent while the link was held";
  emit run.link.Received("late");  // after B's reply ended: B's, late
  EXPECT_EQ(run.late, QStringList{"3:late"});
  run.link.Release();
  ASSERT_TRUE(run.WaitForSent(3));
  run.link.FrameThrough();
  emit run.link.Received("done");
  ASSERT_TRUE(run.WaitForEnd());
  EXPECT_EQ(run.outcome, Runner::Outcome::Completed);
  EXPECT_EQ(run.replies, QStringList({"0:OK\n", "3:", "4:done"}));
  EXPECT_EQ(run.runner.MissingReplies(), 1);
  const Runner::Tally tally = run.runner.Summary();
  EXPECT_EQ(std::make_tuple(tally.lines, tally.replies, tally.met, tally.missed),
            std::make_tuple(3, 2, 1, 0));
  EXPECT_GE(tally.took, 50ms);
}

TEST(Runner, EndsWhereItCannotGoOn) {
  struct Case {
    const char* how;
    const char* text;
    std::function<void(Trial&)> act;
    Runner::Outcome outcome;
    int endedAt;
    QString explained;
  } cases[] = {
      // A reply that has ended without a match misses at once; no reply,
      // once the expect's own timeout has passed too.
      {"expect unmatched", "timeout 3600s\nA\nexpect /^OK$/\nB",
       [](Trial& r) {
         r.link.FrameThrough();
         emit r.link.Received("ERR\n");
       },
       Runner::Outcome::ExpectUnmatched, 1,
       "t.zrt:3: the reply had no /^OK$/; received: \"ERR\\n\""},
      {"expect missed", "A\nexpect OK\nB", [](Trial& r) { r.link.FrameThrough(); },
       Runner::Outcome::ExpectMissed, 1,
       "t.zrt:2: no reply with \"OK\" came within 0.2 s; received: \"\""},
      {"not sent", "A\nB", [](Trial& r) { r.link.FrameThrough(false); }, Runner::Outcome::NotSent,
       0, "t.zrt:1: the line was not sent"},
      {"link lost", "A\nB", [](Trial& r) { emit r.link.Lost(); }, Runner::Outcome::LinkLost, 0,
       "t.zrt:1: the link went away"},
      // Stop while a frame goes out: the run ends once it is through, and
      // nothing more is sent.
      {"stopped in a frame", "A\nB",
       [](Trial& r) {
         r.runner.Stop();
         QTest::qWait(50);
         EXPECT_FALSE(r.outcome.has_value()) << "ended inside a frame";
         r.link.FrameThrough();
       },
       Runner::Outcome::Stopped, 0, "t.zrt:1: stopped"},
  };
  for (const Case& c : cases) {
    Trial run(c.text);
    run.runner.Run();
    ASSERT_TRUE(run.WaitForSent(1)) << c.how;
    c.act(run);
    ASSERT_TRUE(run.WaitForEnd()) << c.how;
    EXPECT_EQ(run.outcome, c.outcome) << c.how;
    EXPECT_EQ(run.endedAt, c.endedAt) << c.how;
    EXPECT_EQ(run.link.sent, QStringList{"A"}) << c.how;
    EXPECT_EQ(Explain(c.outcome, "t.zrt", run.runner.Steps()[static_cast<std::size_t>(c.endedAt)],
                      run.runner.Reply()),
              c.explained)
        << c.how;
  }
}

TEST(Runner, StepsOneAtATimeAndPausesBetweenSteps) {
  Trial run("A\nB\nC");
  std::vector<Runner::State> states;
  QObject::connect(&run.runner, &Runner::StateChanged,
                   [&](Runner::State s) { states.push_back(s); });
  run.runner.StepOnce();
  ASSERT_TRUE(run.WaitForSent(1));
  run.link.FrameThrough();
  emit run.link.Received("OK");
  ASSERT_TRUE(QTest::qWaitFor([&] { return run.runner.CurrentState() == Runner::State::Paused; }));
  EXPECT_EQ(run.runner.Current(), 1);
  EXPECT_EQ(run.link.sent.size(), 1);

  run.runner.Run();
  ASSERT_TRUE(run.WaitForSent(2));
  run.runner.Pause();  // takes effect once B's step is done
  run.link.FrameThrough();
  emit run.link.Received("OK");
  ASSERT_TRUE(QTest::qWaitFor([&] { return run.runner.CurrentState() == Runner::State::Paused; }));
  EXPECT_EQ(run.link.sent.size(), 2);
  run.runner.Stop();
  ASSERT_TRUE(run.WaitForEnd());
  EXPECT_EQ(run.outcome, Runner::Outcome::Stopped);
  EXPECT_EQ(run.link.sent.size(), 2);
  EXPECT_EQ(states, (std::vector<Runner::State>{Runner::State::Running, Runner::State::Paused,
                                                Runner::State::Running, Runner::State::Paused,
                                                Runner::State::Idle}));
}

TEST(Runner, EscapesEveryByteOutsidePrintableAscii) {
  EXPECT_EQ(Escaped(QByteArray("OK\r\n\t\\ \x7f\x00\xff", 10)), "OK\\r\\n\\t\\\\ \\x7F\\x00\\xFF");
  // For a shell: control bytes only; a backslash and Latin-1 letters as they are.
  EXPECT_EQ(Escaped(QByteArray("a\\b\x9f\xe9\n", 6), EscapeStyle::ControlsOnly),
            QString::fromUtf8("a\\b\\x9Fé\\n"));
}

}  // namespace
}  // namespace zrt::sequence

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
