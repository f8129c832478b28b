#include "protocol/paced_sender.h"

#include <utility>

namespace zrt::protocol {

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
  HandOverNext();
  return true;
}

void PacedSender::Cancel() {
  timer_.stop();
  sink_ = nullptr;
  frame_.clear();
  next_ = 0;
  awaitingLeave_ = false;
}

void PacedSender::ByteLeft() {
  if (!awaitingLeave_) return;
  awaitingLeave_ = false;
  if (next_ < frame_.size()) return HandOverNext();
  // The whole interval after the last byte left, before the frame counts as sent.
  timer_.start(interval_);
}

void PacedSender::HandOverNext() {
  if (next_ == frame_.size()) return EndFrame(true);
  if (!sink_(frame_[next_])) return EndFrame(false);
  ++next_;
  awaitingLeave_ = true;
}

void PacedSender::EndFrame(bool everyByteHandedOver) {
  Cancel();
  emit Finished(everyByteHandedOver);
}

}  // namespace zrt::protocol
