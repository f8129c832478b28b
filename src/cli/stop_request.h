// A request from outside to end the program: SIGINT or SIGTERM, or on
// Windows Ctrl+C, Ctrl+Break or the console closing. It arrives as a
// signal on the event loop's thread, so that the program ends the way it
// chooses (a frame going out finished first), not inside a handler.
#pragma once

#include <QObject>
#include <memory>

namespace zrt::cli {

class StopRequest : public QObject {
  Q_OBJECT

 public:
  // One at a time in a process: it takes the signals over while it lives.
  explicit StopRequest(QObject* parent = nullptr);
  ~StopRequest() override;

 signals:
  void Requested();

 private:
  struct Platform;
  std::unique_ptr<Platform> platform_;
};

}  // namespace zrt::cli
