// A request from outside to end the program: SIGINT, SIGTERM, SIGHUP or
// SIGPIPE (its output closed), or on Windows Ctrl+C, Ctrl+Break or the
// console closing. It arrives as a signal on the event loop's thread, once
// per request, so that the program ends the way it chooses (a frame going
// out finished first), not inside a handler.
#pragma once

#include <QObject>
#include <memory>

namespace zrt::cli {

class StopRequest : public QObject {
  Q_OBJECT

 public:
  // The status for SIGPIPE: the program's output was closed.
  static constexpr int kOutputClosed = 141;

  // One at a time in a process: it takes the signals over while it lives.
  explicit StopRequest(QObject* parent = nullptr);
  ~StopRequest() override;

 signals:
  // `status`: what a shell expects of a program ended so, 128 and the
  // signal's number (130 for SIGINT or Ctrl+C, 143 for SIGTERM or another
  // console event, 129 for SIGHUP, 141 for SIGPIPE).
  void Requested(int status);

 private:
  struct Platform;
  std::unique_ptr<Platform> platform_;
};

}  // namespace zrt::cli
