#include "serve/line_speech.h"

#include <algorithm>

#include "protocol/send_steps.h"

namespace zrt::serve {

QByteArray LineSpeech::Refusal(const QString& why) { return ("ERROR: " + why + "\n").toUtf8(); }

void LineSpeech::Say(const QByteArray& bytes) {
  endedWithLineFeed_ = bytes.endsWith('\n');
  Output(bytes);
}

void LineSpeech::TakeTooLong(std::size_t longest) {
  // Said at once: the lines before it are answered in their turn, each in
  // a line of its own.
  Say(Refusal(QString("line longer than %1 bytes, not sent").arg(longest)));
}

void LineSpeech::Next() {
  while (!closed_ && !inSession_ && !waiting_.empty()) {
    const QString text = Decoded(TakeWaiting());
    if (RefusedBytes(text)) continue;
    ++answers_;  // before the session ends the reply to the line before
    if (const auto failed = Submit(text)) {
      --answers_;
      Emit({ServerEvent::Kind::BadSettings, {}, text, 0});
      Say(Refusal(QString("not sent: %1").arg(QString::fromStdString(*failed))));
    }
  }
}

bool LineSpeech::RefusedBytes(const QString& text) {
  // Control characters first: each has a byte, so the line is shown whole.
  const auto control = std::find_if(
      text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; });
  if (control != text.end()) {
    const int at = static_cast<int>(control - text.begin()) + 1;
    Emit({ServerEvent::Kind::ControlByte, {}, text, at});
    Say(Refusal(QString("not sent: a control byte (0x%1) at byte %2 of the line")
                    .arg(control->unicode(), 2, 16, QChar('0'))
                    .arg(at)));
    return true;
  }
  if (const auto missing = protocol::FirstWithoutByte(text)) {
    Emit({ServerEvent::Kind::NoByte, {}, text, missing->position});
    Say(Refusal("not sent: " + protocol::Describe(*missing) + " has no byte the instrument takes"));
    return true;
  }
  return false;
}

void LineSpeech::Received(const QByteArray& block) {
  if (answers_ > 0) Say(block);
}

void LineSpeech::ReplyEnded(bool replied) {
  answers_ = std::max(answers_ - 1, 0);
  if (replied && !endedWithLineFeed_) Say("\n");
}

void LineSpeech::NotSent(const session::Frame& frame) {
  Emit({ServerEvent::Kind::NotSent, {}, frame.text});
  Say(Refusal("not sent: the port is not open"));
}

void LineSpeech::NotStarted(const session::Frame& frame, const session::Refusal& why) {
  answers_ = std::max(answers_ - 1, 0);  // nothing answers it
  if (why.breach) {
    Emit({ServerEvent::Kind::BeyondLimit, {}, frame.text, 0, why.breach});
    return Say(Refusal("not sent: " + QString::fromStdString(guard::Describe(*why.breach))));
  }
  Emit({ServerEvent::Kind::BadSettings, {}, frame.text, 0});
  Say(Refusal(QString("not sent: the port refused the rate: %1")
                  .arg(QString::fromStdString(why.rateRefused.reason))));
}

void LineSpeech::LinkLost() {
  const int dropped = DropWaiting();
  inSession_ = false;
  answers_ = 0;
  Emit({ServerEvent::Kind::LinkLost, {}, {}, dropped});
  Say(Refusal(
      QString("the link to the instrument was lost; %1 waiting lines dropped").arg(dropped)));
}

void LineSpeech::HeldTooLong(const session::Frame& frame) {
  inSession_ = false;
  answers_ = 0;
  Emit({ServerEvent::Kind::HeldTooLong, {}, frame.text});
  Say(Refusal("the instrument held output back (XOFF) too long: the line was given up"));
  Next();
}

}  // namespace zrt::serve
