// Hands a frame to a byte sink one byte at a time, a fixed interval after
// each byte (also after the last), on the event loop's timer: the window
// paints and takes replies between bytes. One frame at a time.
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

  // Hands over the first byte at once and each next one at least
  // `interval` after the one before.
  // False, and nothing starts, while another frame is going out.
  bool Start(QByteArray frame, ByteSink sink);
  bool Busy() const { return sink_ != nullptr; }
  // Drops what is left of the frame; Finished is not emitted.
  void Cancel();

 signals:
  // The interval after the last byte, or at once when a byte was refused.
  void Finished(bool everyByteHandedOver);

 private:
  void HandOverNext();
  void Finish(bool everyByteHandedOver);

  const std::chrono::milliseconds interval_;
  QTimer timer_;
  QByteArray frame_;
  ByteSink sink_;
  qsizetype next_ = 0;
};

}  // namespace zrt::protocol
