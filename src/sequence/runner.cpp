#include "sequence/runner.h"

#include <QRegularExpression>

namespace zrt::sequence {
namespace {

// What an expect looks at is bounded: an instrument that never stops
// talking keeps its latest bytes.
constexpr qsizetype kLongestReply = 1 << 20;

}  // namespace

Runner::Runner(LineLink& link, QObject* parent) : QObject(parent), link_(link) {
  timer_.setSingleShot(true);
  connect(&timer_, &QTimer::timeout, this, &Runner::ReplyTimerFired);
  connect(&link_, &LineLink::BecameReady, this, &Runner::LinkReady);
  connect(&link_, &LineLink::FrameSent, this, &Runner::FrameOut);
  connect(&link_, &LineLink::BeyondLimit, this, [this](const guard::LimitBreach& breach) {
    if (waiting_ != Waiting::Frame) return;
    breach_ = breach;
    End(Outcome::BeyondLimit);
  });
  connect(&link_, &LineLink::Received, this, &Runner::Block);
  connect(&link_, &LineLink::Lost, this, [this] {
    if (state_ != State::Idle) End(Outcome::LinkLost);
  });
}

void Runner::Load(std::vector<Step> steps) {
  if (state_ != State::Idle) return;
  steps_ = std::move(steps);
  next_ = 0;
}

void Runner::Run() {
  pauseAfterStep_ = false;
  Start(State::Running);
}

void Runner::RunFrom(int index) {
  if (state_ != State::Idle || index < 0 || index >= static_cast<int>(steps_.size())) return;
  next_ = index;
  Run();
}

void Runner::StepOnce() {
  pauseAfterStep_ = true;
  Start(State::Running);
}

void Runner::Start(State state) {
  if (steps_.empty()) return;
  if (state_ == State::Running) return;  // under way: Run and Step only change where it stops
  if (state_ == State::Idle) {
    missing_ = 0;
    lastLine_ = -1;
    lastReplyEnded_ = false;
    reply_.clear();
    tally_ = {};
    breach_.reset();
    startedAt_ = std::chrono::steady_clock::now();
    ended_ = false;
  }
  state_ = state;
  emit StateChanged(state_);
  StartStep();
}

void Runner::Pause() {
  if (state_ != State::Running) return;
  if (waiting_ == Waiting::Ready && !replyEnded_) {
    // Nothing of this step has happened yet.
    waiting_ = Waiting::Nothing;
    state_ = State::Paused;
    emit StateChanged(state_);
    return;
  }
  pauseAfterStep_ = true;
}

void Runner::Stop() {
  if (state_ == State::Idle) return;
  if (waiting_ == Waiting::Frame) {
    stopRequested_ = true;  // never half a line: once the frame is through
    return;
  }
  End(Outcome::Stopped);
}

void Runner::Advance() {
  waiting_ = Waiting::Nothing;
  ++next_;
  if (next_ >= static_cast<int>(steps_.size())) return End(Outcome::Completed);
  if (stopRequested_) return End(Outcome::Stopped);
  if (std::exchange(pauseAfterStep_, false)) {
    state_ = State::Paused;
    emit StateChanged(state_);
    return;
  }
  // Through the event loop, so that a long run of steps that end at once
  // neither deepens the stack nor keeps the window from painting.
  waiting_ = Waiting::Ready;
  replyEnded_ = false;
  QMetaObject::invokeMethod(
      this,
      [this] {
        if (state_ == State::Running && waiting_ == Waiting::Ready && !replyEnded_) StartStep();
      },
      Qt::QueuedConnection);
}

void Runner::StartStep() {
  const Step& step = steps_[static_cast<std::size_t>(next_)];
  replyEnded_ = false;
  emit StepStarted(next_);
  switch (step.kind) {
    case Step::Kind::Send:
      if (!link_.Ready()) {
        waiting_ = Waiting::Ready;
        return;
      }
      reply_.clear();
      lastLine_ = next_;
      lastReplyEnded_ = false;
      waiting_ = Waiting::Frame;
      link_.Send(step.text);
      return;
    case Step::Kind::Wait:
      waiting_ = Waiting::Timer;
      timer_.start(step.duration);
      return;
    case Step::Kind::Expect:
      // Compiled once for the step, however many blocks it looks at.
      if (step.pattern) pattern_.setPattern(step.text);
      if (Matches()) return ExpectDone(true);
      // A reply that has ended will not come to match.
      if (lastReplyEnded_ && !reply_.isEmpty()) return ExpectDone(false);
      waiting_ = Waiting::Expect;
      timer_.start(step.duration);
      return;
  }
}

void Runner::ExpectDone(bool met) {
  timer_.stop();
  ++(met ? tally_.met : tally_.missed);
  emit ExpectChecked(next_, met);
  if (met) return Advance();
  End(waiting_ == Waiting::Expect ? Outcome::ExpectMissed : Outcome::ExpectUnmatched);
}

Runner::Tally Runner::Summary() const {
  Tally tally = tally_;
  if (!ended_) {
    tally.took = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - startedAt_);
  }
  return tally;
}

void Runner::End(Outcome outcome) {
  tally_.took = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - startedAt_);
  ended_ = true;
  timer_.stop();
  waiting_ = Waiting::Nothing;
  stopRequested_ = false;
  pauseAfterStep_ = false;
  const int index = next_;
  next_ = 0;
  state_ = State::Idle;
  emit StateChanged(state_);
  emit Finished(outcome, index);
}

void Runner::LinkReady() {
  if (waiting_ != Waiting::Ready || state_ != State::Running) return;
  if (replyEnded_) return Advance();  // the line's hold has passed
  StartStep();
}

void Runner::FrameOut(bool sent) {
  if (waiting_ != Waiting::Frame) return;
  if (!sent) return End(Outcome::NotSent);
  ++tally_.lines;
  if (stopRequested_) return End(Outcome::Stopped);
  waiting_ = Waiting::Reply;
  // A reply that came while the frame went out is the line's.
  timer_.start(reply_.isEmpty() ? steps_[static_cast<std::size_t>(next_)].duration
                                : std::chrono::milliseconds(0));
}

void Runner::Block(const QByteArray& block) {
  if (state_ == State::Idle) return;
  reply_ += block;
  if (reply_.size() > kLongestReply) reply_.remove(0, reply_.size() - kLongestReply);
  if (waiting_ == Waiting::Reply) {
    // Delivered once the line went quiet: the blocks delivered with it
    // (a long reply fills several) are taken before it ends.
    timer_.start(0);
  } else if (waiting_ != Waiting::Frame && lastLine_ >= 0) {
    emit RepliedLate(lastLine_, block);
  }
  if (waiting_ == Waiting::Expect && Matches()) ExpectDone(true);
}

void Runner::ReplyTimerFired() {
  switch (waiting_) {
    case Waiting::Reply:
      replyEnded_ = true;
      lastReplyEnded_ = true;
      if (reply_.isEmpty()) ++missing_;
      if (!reply_.isEmpty()) ++tally_.replies;
      emit Replied(next_, reply_);
      if (link_.Ready()) return Advance();
      waiting_ = Waiting::Ready;  // the hold after the line
      return;
    case Waiting::Timer:
      return Advance();
    case Waiting::Expect:
      return ExpectDone(false);
    default:
      return;
  }
}

bool Runner::Matches() const {
  const Step& step = steps_[static_cast<std::size_t>(next_)];
  const QString reply = QString::fromLatin1(reply_);
  if (!step.pattern) return reply.contains(step.text);
  return pattern_.match(reply).hasMatch();
}

}  // namespace zrt::sequence
