// Hands a frame to a byte sink one byte at a time, on the event loop: the
// window paints and takes replies between bytes. A byte is handed over only
// once the byte before has left the computer, which the owner reports with
// ByteLeft, so flow control that holds output back holds the frame where it
// stands. The interval between bytes is the sink's to keep (a port that
// times its writes, which a busy machine's event loop does not delay); the
// end of the frame comes the interval after the last byte left. One frame
// at a time.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QTimer>
#include <chrono>
#include <functional>

namespace zrt::protocol {

class PacedSender : public QObject {
  Q_OBJECT

 public:
  // Takes one byte; false when it cannot (the byte and the rest of the frame are dropped).
  using ByteSink = std::function<bool(char)>;

  explicit PacedSender(std::chrono::milliseconds interval, QObject* parent = nullptr);

  // Hands over the first byte at once. False, and nothing starts, while
  // another frame is going out.
  bool Start(QByteArray frame, ByteSink sink);
  // The byte last handed over has left the computer. Ignored while no byte
  // waits to leave.
  void ByteLeft();
  bool Busy() const { return sink_ != nullptr; }
  // Bytes handed over so far, and in all, of the frame going out.
  qsizetype HandedOver() const { return next_; }
  qsizetype FrameSize() const { return frame_.size(); }
  // Drops what is left of the frame; Finished is not emitted.
  void Cancel();

 signals:
  // The interval after the last byte left, or at once when a byte was refused.
  void Finished(bool everyByteHandedOver);

 private:
  void HandOverNext();
  void EndFrame(bool everyByteHandedOver);

  const std::chrono::milliseconds interval_;
  QTimer timer_;
  QByteArray frame_;
  ByteSink sink_;
  qsizetype next_ = 0;
  bool awaitingLeave_ = false;
};

}  // namespace zrt::protocol
