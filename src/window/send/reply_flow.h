// What the reply box shows as an exchange goes on. A send's echo starts
// afresh. A block from the instrument that follows the one before within a
// second, with no send between, continues the same reply ("接收:" once, then
// every block), so that an answer with a pause inside is seen whole. Blocks
// that arrive while a frame goes out wait, and show after its echo in their
// order, as they would if the window had waited for the frame.
#pragma once

#include <QByteArray>
#include <QString>
#include <chrono>
#include <optional>
#include <utility>
#include <vector>

namespace zrt::window {

class ReplyFlow {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::chrono::milliseconds kContinuation{1000};
  // A reply that would grow beyond this starts anew with the next block, so
  // that an instrument that never pauses cannot make each block cost more.
  static constexpr qsizetype kLongestReply = 1 << 20;

  // A frame starts going out: blocks wait until it ends.
  void FrameStarted();
  // The frame has ended: the box shows `echo` (empty after a failure), then
  // each block that waited. Returns the box's text.
  QString FrameEnded(const QString& echo);
  // A block arrived at `at`: the box's text, or nothing while a frame goes out.
  std::optional<QString> Received(const QByteArray& block, Clock::time_point at);
  // A reply fetched whole after a send (USB): the box's text.
  QString Fetched(const QByteArray& reply);

 private:
  QString Continue(const QByteArray& block, Clock::time_point at);

  QByteArray reply_;  // every block of the reply shown
  std::optional<Clock::time_point> lastBlock_;
  bool framing_ = false;
  std::vector<std::pair<QByteArray, Clock::time_point>> waiting_;
};

}  // namespace zrt::window
