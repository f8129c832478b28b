#include "session/line_session.h"

#include <QScopeGuard>
#include <algorithm>
#include <utility>
#include <vector>

#include "link/tcomm.h"
#include "link/usb_link.h"
#include "protocol/send_steps.h"

namespace zrt::session {

using namespace protocol;

namespace {

// A serial rate as the settings give it: a positive integer.
std::uint32_t RateOf(const LineSettings& settings) {
  const std::int32_t rate = StrToInt(settings.rate);
  if (rate <= 0) throw BadRate(settings.rate, {});
  return static_cast<std::uint32_t>(rate);
}

}  // namespace

QByteArray Frame::Address() const {
  if (link == Interface::Serial) return addressed ? QByteArray(1, addressByte) : QByteArray();
  const auto digits =
      std::find_if(line.begin(), line.end(), [](char c) { return c < '0' || c > '9'; });
  return QByteArray(line.begin(), digits - line.begin());
}

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
    connect(serial_, &link::TComm::OnReceiveData, this, &LineSession::BlockReceived);
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
    EndFrame(everyByte, handedOver_);
  });
  sweepHold_.setSingleShot(true);
  sweepHold_.setTimerType(Qt::PreciseTimer);
  sweepHold_.setInterval(kSweepTriggerHoldMs);
  connect(&sweepHold_, &QTimer::timeout, this, &LineSession::ReleaseFrame);
  replyWait_.setSingleShot(true);
  connect(&replyWait_, &QTimer::timeout, this, [this] {
    EndReply();
    StartWaiting();
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
  Frame frame{source, text, ToLine(text), settings.link, 0, false, 0};
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
  frame.rate = RateOf(settings);
  const QByteArray addressText = ToLine(settings.address);
  frame.addressByte = AddressByte(StrToInt(settings.address));
  frame.addressed = StartsWithAddress(frame.line, addressText);
  frame.line = SubstituteAddress(frame.line, addressText, frame.addressByte);
  return frame;
}

void LineSession::SetRateWhenIdle(const LineSettings& settings) {
  if (settings.link != Interface::Serial || !serial_ || !Idle()) return;
  if (link::SysError refused = ApplyRate(RateOf(settings))) {
    throw BadRate(settings.rate, std::move(refused));
  }
}

link::SysError LineSession::ApplyRate(std::uint32_t rate) {
  serial_->SetBaudRate(rate);
  return serial_->SettingsError();
}

void LineSession::Submit(Frame frame) { Enqueue({std::move(frame)}); }

void LineSession::SubmitFirst(Frame frame) {
  Enqueue({.frame = std::move(frame), .first = true, .pressed = true});
}

void LineSession::SubmitAhead(Frame frame) {
  Enqueue({.frame = std::move(frame), .first = true, .ahead = true});
}

void LineSession::Enqueue(Queued queued) {
  auto at = waiting_.end();
  if (queued.ahead) {
    at = std::find_if(waiting_.begin(), waiting_.end(), [](const Queued& q) { return !q.ahead; });
  } else if (queued.first) {
    at = std::find_if(waiting_.begin(), waiting_.end(), [](const Queued& q) { return !q.first; });
  }
  waiting_.insert(at, std::move(queued));
  StartWaiting();
}

bool LineSession::Idle() const { return !current_ && waiting_.empty(); }

bool LineSession::SourceIdle(int source) const {
  if (current_ && current_->source == source) return false;
  return std::none_of(waiting_.begin(), waiting_.end(),
                      [source](const Queued& q) { return q.frame.source == source; });
}

void LineSession::StartWaiting() {
  // Called again from inside (a frame that ends at once, a refusal whose
  // source sends its next line): the loop below takes it.
  if (starting_) return;
  starting_ = true;
  const auto done = qScopeGuard([this] { starting_ = false; });
  while (!current_) {
    if (waiting_.empty()) {
      emit Ready();
      if (waiting_.empty()) return;
      continue;
    }
    // The reply to the frame before ends first, so that no source is given
    // another's; only the operator's next line goes when pressed after its
    // own, as Send always has: a reply late to it is still the operator's.
    const Queued& front = waiting_.front();
    const bool operatorsOwn = front.pressed && front.frame.source == answering_;
    if (!replyEnded_ && !operatorsOwn) return;
    StartFront();
  }
}

void LineSession::StartFront() {
  Queued queued = std::move(waiting_.front());
  waiting_.pop_front();
  if (queued.holdOnly) {
    current_ = std::move(queued.frame);
    if (IsSweepTrigger(current_->line, current_->addressByte)) return sweepHold_.start();
    return ReleaseFrame();
  }
  if (!PassesGate(queued)) return;
  Frame& frame = queued.frame;
  if (frame.link == Interface::Serial) {
    // The rate is the port's for this frame, set between frames only.
    if (link::SysError refused = ApplyRate(frame.rate)) {
      return Refuse(frame, {std::nullopt, std::move(refused)});
    }
  }
  current_ = std::move(frame);
  guard_.Sent(ToLine(current_->text).toStdString());
  replyWait_.stop();
  EndReply();
  learning_.clear();
  gathered_.clear();
  answering_ = current_->source;
  replyCame_ = false;
  replyWhole_ = false;
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

bool LineSession::PassesGate(Queued& queued) {
  const Frame& frame = queued.frame;
  if (frame.source == kLimitsSource) return true;
  guard::Verdict verdict = guard_.Judge(ToLine(frame.text).toStdString());
  if (verdict.Passes()) return true;
  if (!verdict.readFirst.empty() && !queued.askedBack) {
    // Asked of the instrument, then judged again with its answers.
    Frame base = frame;
    queued.askedBack = true;
    waiting_.push_front(std::move(queued));
    for (auto item = verdict.readFirst.rbegin(); item != verdict.readFirst.rend(); ++item) {
      Frame ask = base;
      ask.source = kLimitsSource;
      ask.text = QString::fromStdString(*item) + "?";
      ask.line = base.Address() + ToLine(ask.text);
      waiting_.push_front({.frame = std::move(ask), .first = true});
    }
    return false;
  }
  verdict.breach->line = frame.text.toStdString();
  Refuse(frame, {std::move(verdict.breach), {}});
  return false;
}

void LineSession::Refuse(const Frame& frame, const Refusal& why) {
  emit NotStarted(frame, why);
  if (SourceIdle(frame.source)) emit SourceReady(frame.source);
}

void LineSession::CutFrame() {
  if (!sender_.Busy()) return;
  const qsizetype handedOver = sender_.HandedOver();
  sender_.Cancel();
  holdLimitTimer_.stop();
  EndFrame(false, handedOver);
}

std::chrono::milliseconds LineSession::HoldLeft() const {
  return std::chrono::milliseconds(sweepHold_.isActive() ? sweepHold_.remainingTime() : 0);
}

void LineSession::HoldAfter(const Frame& frame) {
  waiting_.push_front({.frame = frame, .first = true, .holdOnly = true});
  StartWaiting();
}

void LineSession::Abandon() {
  for (const auto& [source, current] : DropAll()) emit Abandoned(source, current);
}

int LineSession::RefuseWaitingOutputsOn() {
  std::vector<std::pair<Frame, guard::LimitBreach>> refused;
  std::erase_if(waiting_, [&](const Queued& queued) {
    auto breach = guard::SwitchesOutputOn(ToLine(queued.frame.text).toStdString());
    if (!breach || queued.holdOnly) return false;
    breach->line = queued.frame.text.toStdString();
    refused.emplace_back(queued.frame, std::move(*breach));
    return true;
  });
  for (auto& [frame, breach] : refused) Refuse(frame, {std::move(breach), {}});
  return static_cast<int>(refused.size());
}

void LineSession::DropWaiting() {
  std::vector<int> sources;
  for (const Queued& queued : waiting_) sources.push_back(queued.frame.source);
  waiting_.clear();
  for (const int source : sources) emit Abandoned(source, false);
}

std::vector<std::pair<int, bool>> LineSession::DropAll() {
  sender_.Cancel();
  holdLimitTimer_.stop();
  sweepHold_.stop();
  replyWait_.stop();
  replyEnded_ = true;  // nobody waits for it any more
  std::vector<std::pair<int, bool>> dropped;
  if (current_) dropped.emplace_back(current_->source, true);
  for (const Queued& queued : waiting_) dropped.emplace_back(queued.frame.source, false);
  current_.reset();
  waiting_.clear();
  return dropped;
}

void LineSession::EndFrame(bool sent, qsizetype handedOver) {
  const Frame frame = *current_;
  emit FrameDone(frame, sent, handedOver);
  if (sent && frame.link == Interface::Serial) {
    // What comes now answers the line; what it sets counts at once, for
    // the limits of the lines after it.
    learning_ = frame.text;
    if (known_.RecordSent(ToLine(frame.text).toStdString())) emit KnownChanged();
  } else if (!sent) {
    EndReply();  // a frame that did not go out whole is answered by nothing
  }
  // The instrument needs a while after the sweep trigger before the next line.
  if (sent && IsSweepTrigger(frame.line, frame.addressByte)) return sweepHold_.start();
  ReleaseFrame();
}

void LineSession::ReleaseFrame() {
  if (!current_) return;
  const int source = current_->source;
  current_.reset();
  // The reply ends at its line feed, else kReplyQuiet after its last block,
  // or kReplyWait after the frame when none comes.
  if (!replyEnded_ && replyWhole_) {
    EndReply();
  } else if (!replyEnded_) {
    replyWait_.start(replyCame_ ? kReplyQuiet : kReplyWait);
  }
  if (SourceIdle(source)) emit SourceReady(source);
  StartWaiting();
}

void LineSession::BlockReceived(const QByteArray& block) {
  replyCame_ = true;
  replyWhole_ = block.endsWith('\n');
  // A value is a few bytes; the rest of a long reply tells nothing of it.
  constexpr qsizetype kValueBytes = 256;
  if (gathered_.size() < kValueBytes) gathered_ += block.left(kValueBytes - gathered_.size());
  emit Received(answering_, block);
  if (!replyWait_.isActive()) return;  // the frame is still going out, or held after
  // A reply whole at its line feed lets the next line go at once; one that
  // goes on without one holds it back a little longer.
  if (replyWhole_) {
    replyWait_.stop();
    EndReply();
    return StartWaiting();
  }
  replyWait_.start(kReplyQuiet);
}

void LineSession::EndReply() {
  if (std::exchange(replyEnded_, true)) return;
  if (!learning_.isEmpty()) RecordReply(std::exchange(learning_, {}), std::exchange(gathered_, {}));
  emit ReplyEnded(answering_, replyCame_);
}

void LineSession::LinkChanged() {
  known_.MarkStale();
  guard_.Forget();
  emit KnownChanged();
}

void LineSession::RecordReply(const QString& text, const QByteArray& reply) {
  const std::string line = ToLine(text).toStdString();
  guard_.Answered(line, reply.toStdString());
  if (known_.RecordReply(line, reply.toStdString())) emit KnownChanged();
}

void LineSession::UsbTransferred(bool written, const QByteArray& reply) {
  if (!current_ || current_->link != Interface::Usb) return;
  if (written) emit FrameOnWire(*current_);
  emit UsbReplied(*current_, written, reply);
  if (written) RecordReply(current_->text, reply);
  if (!reply.isEmpty()) {
    replyCame_ = true;
    emit Received(answering_, reply);
  }
  EndReply();  // fetched whole with the write
  EndFrame(written, written ? current_->Bytes().size() : 0);
}

void LineSession::Held(bool held) {
  emit OutputHeld(held);
  if (!held) return holdLimitTimer_.stop();
  if (sender_.Busy() && holdLimit_.count() > 0) holdLimitTimer_.start(holdLimit_);
}

}  // namespace zrt::session
