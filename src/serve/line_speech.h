// The plain speech: a client sends the instrument's own command lines, one
// a line, and is given back what the instrument answers to each, as the
// bytes came, with a line feed after it when it has none. A line that
// cannot go is refused with a line "ERROR: ..." saying why.
#pragma once

#include "serve/speech.h"

namespace zrt::serve {

class LineSpeech final : public Speech {
 public:
  using Speech::Speech;

  void TakeTooLong(std::size_t longest) override;
  void Next() override;
  bool Busy() const override { return inSession_ || !waiting_.empty() || answers_ > 0; }
  int Clear() override { return DropWaiting(); }

  void Received(const QByteArray& block) override;
  void ReplyEnded(bool replied) override;
  void NotSent(const session::Frame& frame) override;
  void NotStarted(const session::Frame& frame, const session::Refusal& why) override;
  void LinkLost() override;
  void HeldTooLong(const session::Frame& frame) override;

  // "ERROR: why" and a line feed.
  static QByteArray Refusal(const QString& why);

 private:
  // Why the line may not go out as it stands, said to the client; or false.
  bool RefusedBytes(const QString& text);
  void Say(const QByteArray& bytes);

  int answers_ = 0;  // replies that may still come to its lines
  bool endedWithLineFeed_ = true;
};

}  // namespace zrt::serve
