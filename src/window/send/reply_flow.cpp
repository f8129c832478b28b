#include "window/send/reply_flow.h"

#include "protocol/send_steps.h"

namespace zrt::window {

void ReplyFlow::FrameStarted() { framing_ = true; }

QString ReplyFlow::FrameEnded(const QString& echo) {
  framing_ = false;
  reply_.clear();
  lastBlock_.reset();  // a send starts a new reply
  QString shown = echo;
  for (const auto& [block, at] : std::exchange(waiting_, {})) shown = Continue(block, at);
  return shown;
}

std::optional<QString> ReplyFlow::Received(const QByteArray& block, Clock::time_point at) {
  if (framing_) {
    waiting_.emplace_back(block, at);
    return std::nullopt;
  }
  return Continue(block, at);
}

QString ReplyFlow::Fetched(const QByteArray& reply) {
  reply_.clear();
  lastBlock_.reset();
  return protocol::ReceivedEcho(reply);
}

QString ReplyFlow::Continue(const QByteArray& block, Clock::time_point at) {
  const bool continues = lastBlock_ && at - *lastBlock_ <= kContinuation &&
                         reply_.size() + block.size() <= kLongestReply;
  if (continues) {
    reply_ += block;
  } else {
    reply_ = block;
  }
  lastBlock_ = at;
  return protocol::ReceivedEcho(reply_);
}

}  // namespace zrt::window
