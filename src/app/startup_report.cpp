#include "app/startup_report.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QTimer>
#include <QWidget>
#include <cstdio>

namespace zrt::app {

long ResidentKilobytes() {
  QFile status("/proc/self/status");
  if (!status.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray& line : status.readAll().split('\n')) {
    if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').first().toLong();
  }
  return -1;
}

namespace {

class FirstPaintWatcher : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && !reported_) {
      reported_ = true;
      // Report after the paint has finished and reached the screen.
      QTimer::singleShot(0, this, [] {
        std::printf("shown rss_kb=%ld\n", ResidentKilobytes());
        std::fflush(stdout);
        QCoreApplication::quit();
      });
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  bool reported_ = false;
};

}  // namespace

void ReportStartupWhenShown(QWidget* window) {
  window->installEventFilter(new FirstPaintWatcher(window));
}

}  // namespace zrt::app
