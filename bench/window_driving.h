// What the window benchmarks share: a probe of the window's event loop, a
// presenter that answers every message at once, and Send as a click.
#pragma once

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>

#include "window/main_window.h"
#include "window/send/operator_messages.h"

namespace zrt::bench {

// Ticks every millisecond on the window's thread and keeps the longest gap.
class StallProbe {
 public:
  using Clock = std::chrono::steady_clock;
  StallProbe() {
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      const auto now = Clock::now();
      longest_ = std::max(longest_, std::chrono::duration<double, std::milli>(now - last_).count());
      last_ = now;
    });
    last_ = Clock::now();
    timer_.start(1);
  }
  double LongestMs() const { return longest_; }

 private:
  QTimer timer_;
  Clock::time_point last_;
  double longest_ = 0;
};

// Answers every message at once; counts them, and prints them unless quiet.
class Answering : public window::MessagePresenter {
 public:
  explicit Answering(const char* program, bool quiet = false) : program_(program), quiet_(quiet) {}
  void Present(const window::OperatorMessage& message, std::function<void()> answered) override {
    ++count;
    if (!quiet_) std::fprintf(stderr, "%s: %s\n", program_, qPrintable(message.text));
    answered();
  }
  int count = 0;

 private:
  const char* program_;
  bool quiet_;
};

template <typename T>
T* Find(window::TForm1& form, const char* name) {
  return qobject_cast<T*>(form.Control(name));
}

// Clicks Send with `line` and runs the event loop until Send is enabled again.
inline void SendAndWait(window::TForm1& form, const QString& line) {
  Find<QLineEdit>(form, "Edit1")->setText(line);
  auto* send = Find<QPushButton>(form, "btn96");
  send->click();
  while (!send->isEnabled()) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
}

}  // namespace zrt::bench
