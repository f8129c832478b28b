// The floor the panel's start-up is measured against: a bare Qt Widgets
// window of the panel's size with 100 plain buttons, reporting its first
// paint the way the panel does (bench-startup runs both side by side).
#include <QApplication>
#include <QPushButton>
#include <QWidget>

#include "app/startup_report.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget window;
  window.setFixedSize(801, 502);
  for (int i = 0; i < 100; ++i) {
    auto* button = new QPushButton(QString("Button %1").arg(i + 1), &window);
    button->setGeometry(8 + (i % 10) * 78, 8 + (i / 10) * 34, 75, 25);
  }
  zrt::app::ReportStartupWhenShown(&window);
  window.show();
  return QApplication::exec();
}
