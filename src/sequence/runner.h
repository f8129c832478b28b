// Runs a sequence's steps through a link that sends lines as the window's
// Send does. A line's step ends when the link may send again (its frame is
// through and any hold after it has passed) and its reply has ended. The
// links deliver a reply once the instrument has been quiet for a while
// (the serial port's read interval, the USB reply's quiet time: 100 ms
// after the last byte), so the reply ends with the blocks delivered
// together; when nothing comes within the step's timeout it is missing.
// Bytes that come later, before the next line, are reported as late. An
// expect looks at everything received since the last line was sent: a
// reply that has ended without what it expects misses it at once; while no
// reply has come, it waits for one up to its timeout.
//
// Pause and Stop take effect between steps, never inside a frame: Stop
// during a frame ends the run once the frame is through.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QRegularExpression>
#include <QTimer>
#include <vector>

#include "guard/breach.h"
#include "sequence/sequence.h"

namespace zrt::sequence {

// What a run sends through.
class LineLink : public QObject {
  Q_OBJECT

 public:
  using QObject::QObject;
  // Whether a line may be sent now.
  virtual bool Ready() const = 0;
  // Sends a line as typed: FrameSent follows, at once when it could not start.
  virtual void Send(const QString& line) = 0;

 signals:
  void FrameSent(bool sent);
  void BecameReady();
  void Received(const QByteArray& block);
  // The link went away; the run ends.
  void Lost();
  // The line would go beyond a limit and was not sent; the run ends.
  void BeyondLimit(const guard::LimitBreach& breach);
};

class Runner : public QObject {
  Q_OBJECT

 public:
  enum class State { Idle, Running, Paused };
  enum class Outcome {
    Completed,
    Stopped,
    ExpectMissed,
    NotSent,
    LinkLost,
    ExpectUnmatched,
    BeyondLimit,  // Breach() says which
  };
  // What a run did, for its summary.
  struct Tally {
    int lines = 0;    // sent whole
    int replies = 0;  // lines that had a reply
    int met = 0;      // expects
    int missed = 0;
    std::chrono::milliseconds took{0};
  };

  explicit Runner(LineLink& link, QObject* parent = nullptr);

  // A new sequence, from its first step; not while one runs.
  void Load(std::vector<Step> steps);
  const std::vector<Step>& Steps() const { return steps_; }
  // The step under way or next, from 0.
  int Current() const { return next_; }
  State CurrentState() const { return state_; }
  // Lines that had no reply so far.
  int MissingReplies() const { return missing_; }
  // Everything received since the last line was sent.
  const QByteArray& Reply() const { return reply_; }
  // The run under way, or the last one, so far.
  Tally Summary() const;
  // The limit the last run's line would have gone beyond.
  const std::optional<guard::LimitBreach>& Breach() const { return breach_; }

  void Run();
  // A run from the step at `index` rather than the first; only when idle.
  void RunFrom(int index);
  // One step, then paused.
  void StepOnce();
  void Pause();
  void Stop();

 signals:
  void StateChanged(State state);
  void StepStarted(int index);
  // A line's reply, whole; empty when none came.
  void Replied(int index, const QByteArray& reply);
  // Bytes that came after the reply to the line at `index` had ended.
  void RepliedLate(int index, const QByteArray& bytes);
  // The expect at `index` was met, or missed.
  void ExpectChecked(int index, bool met);
  // The run ended at step `index` (Steps().size() when it completed).
  void Finished(Outcome outcome, int index);

 private:
  void Start(State state);
  void Advance();
  void StartStep();
  void StepDone();
  void End(Outcome outcome);
  void ExpectDone(bool met);
  void LinkReady();
  void FrameOut(bool sent);
  void Block(const QByteArray& block);
  void ReplyTimerFired();
  bool Matches() const;

  LineLink& link_;
  std::vector<Step> steps_;
  int next_ = 0;
  State state_ = State::Idle;
  bool pauseAfterStep_ = false;
  bool stopRequested_ = false;
  // The step under way.
  enum class Waiting { Nothing, Ready, Frame, Reply, Timer, Expect };
  Waiting waiting_ = Waiting::Nothing;
  bool replyEnded_ = false;
  QByteArray reply_;
  QRegularExpression pattern_;  // of the expect under way
  int missing_ = 0;
  int lastLine_ = -1;            // the step of the line sent last
  bool lastReplyEnded_ = false;  // and its reply has ended
  Tally tally_;
  std::optional<guard::LimitBreach> breach_;
  std::chrono::steady_clock::time_point startedAt_;
  bool ended_ = true;
  QTimer timer_;
};

// How a run ended, in the language of that index: "FILE:LINE: " and what
// happened at the step where it ended (for an expect missed, what was
// expected, how long it was waited for and what came; for a line refused,
// the limit).
QString Explain(Runner::Outcome outcome, const QString& file, const Step& step,
                QByteArrayView reply, int language = 0,
                const std::optional<guard::LimitBreach>& breach = std::nullopt);

// Bytes as one line of text: printable ASCII as it is, "\\", "\n", "\r",
// "\t", and "\xNN" for every other byte. For a shell, only control bytes
// are written so: a backslash stays one, and bytes from 0xA0 up are the
// Latin-1 characters they stand for.
enum class EscapeStyle { Everything, ControlsOnly };
QString Escaped(QByteArrayView bytes, EscapeStyle style = EscapeStyle::Everything);

}  // namespace zrt::sequence
