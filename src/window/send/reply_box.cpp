#include "window/send/reply_box.h"

#include <QLineEdit>

#include "protocol/send_steps.h"

namespace zrt::window {

void ReplyBox::FrameEnded(const QString& echo) {
  box_.clear();
  if (const QString shown = flow_.FrameEnded(echo); !shown.isEmpty()) box_.setText(shown);
}

void ReplyBox::Written(const QByteArray& line) { box_.setText(protocol::SentEcho(line)); }

void ReplyBox::Fetched(const QByteArray& reply) { box_.setText(flow_.Fetched(reply)); }

void ReplyBox::Received(const QByteArray& block) {
  if (const auto shown = flow_.Received(block, ReplyFlow::Clock::now())) box_.setText(*shown);
}

void ReplyBox::Held(bool held, const QString& saying) {
  if (held) {
    beforeHold_ = box_.text();
    box_.setText(saying);
  } else {
    box_.setText(beforeHold_);
  }
}

}  // namespace zrt::window
