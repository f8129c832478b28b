// The floor the panel's start-up is measured against: a bare Qt Widgets
// window of the panel's size with 100 plain buttons captioned in English and
// Chinese as the panel's keys are (so that it, too, loads a CJK font),
// reporting its first paint the way the panel does (bench-startup runs both
// side by side).
#include <QApplication>
#include <QPushButton>
#include <QWidget>
#include <array>

#include "app/startup_report.h"

namespace {

// Captions of the kind the panel's keys carry; every fourth button is Chinese.
constexpr std::array<const char*, 10> kEnglish = {
    "CHA Freq", "Sweep Mode", "Start A",      "Stop A", "Interval time",
    "Return",   "RS232",      "Single Burst", "USB",    "Auto Sweep"};
constexpr std::array<const char*, 10> kChinese = {"A路频率",  "单次触发", "扫描方式", "起始频率",
                                                  "终止频率", "间隔时间", "载波频率", "任意波",
                                                  "调制频率", "峰峰值"};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget window;
  window.setFixedSize(801, 502);
  for (int i = 0; i < 100; ++i) {
    const char* caption =
        i % 4 == 3 ? kChinese[(i / 4) % kChinese.size()] : kEnglish[i % kEnglish.size()];
    auto* button = new QPushButton(QString::fromUtf8(caption), &window);
    button->setGeometry(8 + (i % 10) * 78, 8 + (i / 10) * 34, 75, 25);
  }
  zrt::app::ReportStartupWhenShown(&window);
  window.show();
  return QApplication::exec();
}
