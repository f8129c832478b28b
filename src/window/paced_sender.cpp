#include "window/paced_sender.h"

#include <utility>

namespace zrt::window {

PacedSender::PacedSender(std::chrono::milliseconds interval, QObject* parent)
    : QObject(parent), interval_(interval) {
  timer_.setSingleShot(true);
  timer_.setTimerType(Qt::PreciseTimer);
  connect(&timer_, &QTimer::timeout, this, &PacedSender::HandOverNext);
}

bool PacedSender::Start(QByteArray frame, ByteSink sink) {
  if (Busy()) return false;
  frame_ = std::move(frame);
  sink_ = std::move(sink);
  next_ = 0;
  due_ = Clock::now();
  HandOverNext();
  return true;
}

void PacedSender::Cancel() {
  timer_.stop();
  sink_ = nullptr;
  frame_.clear();
}

void PacedSender::HandOverNext() {
  if (next_ == frame_.size()) return Finish(true);
  if (!sink_(frame_[next_])) return Finish(false);
  ++next_;
  // Each byte is due a whole interval after the one before it was due, so a
  // late wake-up shortens the next pause instead of stretching the frame.
  due_ += interval_;
  const auto wait = std::chrono::ceil<std::chrono::milliseconds>(due_ - Clock::now());
  timer_.start(std::max(wait, std::chrono::milliseconds::zero()));
}

void PacedSender::Finish(bool everyByteHandedOver) {
  Cancel();
  emit Finished(everyByteHandedOver);
}

}  // namespace zrt::window
