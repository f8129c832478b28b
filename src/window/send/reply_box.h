// The reply box as an exchange goes on: the echo of a line sent, the
// instrument's reply joined as ReplyFlow joins it, and while the
// instrument holds output back, how far the frame got (what stood there
// before comes back when the hold ends).
#pragma once

#include <QByteArray>
#include <QString>

#include "window/send/reply_flow.h"

class QLineEdit;

namespace zrt::window {

class ReplyBox {
 public:
  explicit ReplyBox(QLineEdit& box) : box_(box) {}

  // A serial frame starts going out: blocks wait for its end.
  void FrameStarted() { flow_.FrameStarted(); }
  // The serial frame is through: its echo (empty: it did not go out
  // whole), then the blocks that waited.
  void FrameEnded(const QString& echo);
  // On USB: the line written, then the reply fetched after it.
  void Written(const QByteArray& line);
  void Fetched(const QByteArray& reply);
  // Bytes from the instrument on the serial link.
  void Received(const QByteArray& block);
  // The instrument holds output back (`saying` so), or lets it go.
  void Held(bool held, const QString& saying);

 private:
  QLineEdit& box_;
  ReplyFlow flow_;
  QString beforeHold_;
};

}  // namespace zrt::window
