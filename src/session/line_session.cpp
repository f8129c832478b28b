#include "session/line_session.h"

#include <utility>
#include <vector>

#include "link/tcomm.h"
#include "link/usb_link.h"
#include "protocol/send_steps.h"

namespace zrt::session {

using namespace protocol;

LineSession::LineSession(link::TComm* serial, link::UsbLink* usb, QObject* parent)
    : QObject(parent),
      serial_(serial),
      usb_(usb),
      sender_(std::chrono::milliseconds(kSerialByteIntervalMs)) {
  if (serial_) {
    // The port's writer keeps a frame's bytes apart, on a thread an owner's
    // busy event loop cannot hold up.
    serial_->SetMinimumGap(std::chrono::milliseconds(kSerialByteIntervalMs));
    connect(serial_, &link::TComm::OnOutputSent, &sender_, &PacedSender::ByteLeft);
    connect(serial_, &link::TComm::OnReceiveData, this, &LineSession::Block);
    connect(serial_, &link::TComm::OnOutputHeld, this, &LineSession::Held);
  }
  if (usb_) {
    connect(usb_, &link::UsbLink::Transferred, this,
            [this](bool written, const QByteArray& reply, const QByteArray&) {
              UsbTransferred(written, reply);
            });
  }
  connect(&sender_, &PacedSender::Finished, this, [this](bool everyByte) {
    holdLimitTimer_.stop();
    Through(everyByte, handedOver_);
  });
  sweepHold_.setSingleShot(true);
  sweepHold_.setTimerType(Qt::PreciseTimer);
  sweepHold_.setInterval(kSweepTriggerHoldMs);
  connect(&sweepHold_, &QTimer::timeout, this, &LineSession::Finish);
  replyWait_.setSingleShot(true);
  connect(&replyWait_, &QTimer::timeout, this, [this] {
    EndReply();
    Proceed();
  });
  holdLimitTimer_.setSingleShot(true);
  connect(&holdLimitTimer_, &QTimer::timeout, this, [this] {
    // Given up whole: nothing more goes out after it, nor after those waiting.
    const Frame frame = *current_;
    current_.reset();
    const auto dropped = DropAll();
    emit HeldTooLong(frame);
    for (const auto& [source, current] : dropped) emit Abandoned(source, current);
  });
}

Frame LineSession::Prepare(int source, const QString& text, const LineSettings& settings) {
  Frame frame{source, text, ToLine(text), settings.link, 0, false};
  if (auto breach = settings::Check(limits_, frame.line.toStdString(), known_)) {
    breach->line = text.toStdString();
    throw BeyondLimit(std::move(*breach));
  }
  if (settings.link == Interface::Usb) {
    // As typed; the address only counts for the sweep rule, and a line
    // goes whatever it says.
    try {
      frame.addressByte = AddressByte(StrToInt(settings.address));
    } catch (const EConvertError&) {
      frame.addressByte = 0;
    }
    return frame;
  }
  const std::int32_t rate = StrToInt(settings.rate);
  if (rate <= 0) throw BadRate(settings.rate, {});
  serial_->SetBaudRate(static_cast<std::uint32_t>(rate));
  if (const link::SysError& refused = serial_->SettingsError())
    throw BadRate(settings.rate, refused);
  const QByteArray addressText = ToLine(settings.address);
  frame.addressByte = AddressByte(StrToInt(settings.address));
  frame.addressed = StartsWithAddress(frame.line, addressText);
  frame.line = SubstituteAddress(frame.line, addressText, frame.addressByte);
  return frame;
}

void LineSession::Submit(Frame frame) {
  waiting_.push_back(std::move(frame));
  Proceed();
}

bool LineSession::Idle() const { return !current_ && waiting_.empty(); }

bool LineSession::SourceIdle(int source) const {
  if (current_ && current_->source == source) return false;
  return std::none_of(waiting_.begin(), waiting_.end(),
                      [source](const Frame& f) { return f.source == source; });
}

void LineSession::Proceed() {
  if (current_) return;
  if (waiting_.empty()) return emit Ready();
  // Another source waits until the reply to the frame before has ended
  // (replyWait_ says so); the same source's next line goes at once.
  if (waiting_.front().source != answering_ && !replyEnded_) return;
  StartNext();
}

void LineSession::StartNext() {
  current_ = std::move(waiting_.front());
  waiting_.pop_front();
  replyWait_.stop();
  EndReply();
  learning_.clear();
  gathered_.clear();
  answering_ = current_->source;
  replyCame_ = false;
  replyEnded_ = false;
  handedOver_ = 0;
  if (current_->link == Interface::Usb) return usb_->Transfer(current_->Bytes(), current_->line);
  // May end at once, inside Start, when the port takes no byte.
  sender_.Start(current_->Bytes(), [this](char byte) {
    if (!serial_->SendData(&byte, 1)) return false;
    if (handedOver_++ == 0) emit FrameOnWire(*current_);
    return true;
  });
}

void LineSession::CutFrame() {
  if (!sender_.Busy()) return;
  const qsizetype handedOver = sender_.HandedOver();
  sender_.Cancel();
  holdLimitTimer_.stop();
  Through(false, handedOver);
}

std::chrono::milliseconds LineSession::HoldLeft() const {
  return std::chrono::milliseconds(sweepHold_.isActive() ? sweepHold_.remainingTime() : 0);
}

void LineSession::HoldAfter(const Frame& frame) {
  // Asked while the frame is being reported through: the hold follows that.
  if (reporting_) return void(holdAsked_ = true);
  if (current_) return;  // another frame has begun meanwhile
  current_ = frame;
  if (IsSweepTrigger(frame.line, frame.addressByte)) return sweepHold_.start();
  Finish();
}

void LineSession::Abandon() {
  for (const auto& [source, current] : DropAll()) emit Abandoned(source, current);
}

std::vector<std::pair<int, bool>> LineSession::DropAll() {
  sender_.Cancel();
  holdLimitTimer_.stop();
  sweepHold_.stop();
  replyWait_.stop();
  replyEnded_ = true;  // nobody waits for it any more
  std::vector<std::pair<int, bool>> dropped;
  if (current_) dropped.emplace_back(current_->source, true);
  for (const Frame& frame : waiting_) dropped.emplace_back(frame.source, false);
  current_.reset();
  waiting_.clear();
  return dropped;
}

void LineSession::Through(bool sent, qsizetype handedOver) {
  const Frame frame = *current_;
  reporting_ = true;
  holdAsked_ = false;
  emit FrameDone(frame, sent, handedOver);
  reporting_ = false;
  // What comes now answers the line, if it went out whole; what it sets
  // counts at once, for the limits of the lines after it.
  if (sent && frame.link == Interface::Serial) {
    learning_ = frame.text;
    if (known_.Sent(ToLine(frame.text).toStdString())) emit KnownChanged();
  }
  // The instrument needs a while after the sweep trigger before the next line.
  const bool hold = sent || std::exchange(holdAsked_, false);
  if (hold && IsSweepTrigger(frame.line, frame.addressByte)) return sweepHold_.start();
  Finish();
}

void LineSession::Finish() {
  if (!current_) return;
  const int source = current_->source;
  current_.reset();
  // The reply ends kReplyQuiet after its last block, or kReplyWait after
  // the frame when none comes.
  if (!replyEnded_) replyWait_.start(replyCame_ ? kReplyQuiet : kReplyWait);
  emit SourceReady(source);
  Proceed();
}

void LineSession::Block(const QByteArray& block) {
  replyCame_ = true;
  // A value is a few bytes; the rest of a long reply tells nothing of it.
  constexpr qsizetype kValueBytes = 256;
  if (gathered_.size() < kValueBytes) gathered_ += block.left(kValueBytes - gathered_.size());
  // A reply that goes on holds back another source's line a little longer.
  if (replyWait_.isActive()) replyWait_.start(kReplyQuiet);
  emit Received(answering_, block);
}

void LineSession::EndReply() {
  if (std::exchange(replyEnded_, true)) return;
  if (!learning_.isEmpty()) Learn(std::exchange(learning_, {}), std::exchange(gathered_, {}));
  emit ReplyEnded(answering_, replyCame_);
}

void LineSession::Learn(const QString& text, const QByteArray& reply) {
  if (known_.Took(ToLine(text).toStdString(), reply.toStdString())) emit KnownChanged();
}

void LineSession::UsbTransferred(bool written, const QByteArray& reply) {
  if (!current_ || current_->link != Interface::Usb) return;
  if (written) emit FrameOnWire(*current_);
  emit UsbReplied(*current_, written, reply);
  if (written) Learn(current_->text, reply);
  if (!reply.isEmpty()) {
    replyCame_ = true;
    emit Received(answering_, reply);
  }
  EndReply();  // fetched whole with the write
  Through(written, written ? current_->Bytes().size() : 0);
}

void LineSession::Held(bool held) {
  emit OutputHeld(held);
  if (!held) return holdLimitTimer_.stop();
  if (sender_.Busy() && holdLimit_.count() > 0) holdLimitTimer_.start(holdLimit_);
}

}  // namespace zrt::session
