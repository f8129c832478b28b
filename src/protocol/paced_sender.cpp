#include "protocol/paced_sender.h"

#include <utility>

namespace zrt::protocol {

PacedSender::PacedSender(std::chrono::milliseconds interval, Gap gap, QObject* parent)
    : QObject(parent), interval_(interval), gap_(gap) {
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
  if (gap_ == Gap::KeptBySink && next_ < frame_.size()) return HandOverNext();
  // The whole interval from the moment the byte left: a late wake-up never
  // makes the next byte follow sooner, as the instrument takes bytes no faster.
  timer_.start(interval_);
}

void PacedSender::HandOverNext() {
  if (next_ == frame_.size()) return Finish(true);
  if (!sink_(frame_[next_])) return Finish(false);
  ++next_;
  awaitingLeave_ = true;
}

void PacedSender::Finish(bool everyByteHandedOver) {
  Cancel();
  emit Finished(everyByteHandedOver);
}

}  // namespace zrt::protocol
