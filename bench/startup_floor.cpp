// The floor the panel's start-up is measured against: a plain Qt Widgets
// window of the panel's size with the same kinds of widgets (tab widgets,
// group boxes, editable combo boxes, line edits, radio buttons, a check
// box, 100 buttons and labels), captioned in English and Chinese as the
// panel's are (so that it, too, loads a CJK font), reporting its first
// paint the way the panel does (bench-startup runs both side by side).
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
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

QWidget* Page(QTabWidget* tabs, const char* caption) {
  auto* page = new QWidget;
  tabs->addTab(page, QString::fromUtf8(caption));
  return page;
}

// The panel's lower right: settings pages with a group of radio buttons,
// an address, a rate and a port.
void AddSettings(QWidget* window) {
  auto* tabs = new QTabWidget(window);
  tabs->setGeometry(472, 362, 329, 120);
  for (const char* caption : {"Parameter select", "Version"}) Page(tabs, caption);
  QWidget* page = Page(tabs, "Parameter set");
  tabs->setCurrentWidget(page);
  auto* group = new QGroupBox("Serial Port", page);
  group->setGeometry(4, 4, 316, 80);
  for (int i = 0; i < 2; ++i) {
    auto* combo = new QComboBox(group);
    combo->setEditable(true);
    combo->addItems({"19200", "9600", "COM1"});
    combo->setGeometry(230, 10 + i * 30, 60, 22);
    auto* label = new QLabel(i ? "Serial" : "BaudRate", group);
    label->setGeometry(170, 10 + i * 30, 56, 22);
  }
  auto* address = new QLineEdit("88", group);
  address->setGeometry(120, 10, 40, 28);
  auto* interfaces = new QGroupBox(QString::fromUtf8("接口"), window);
  interfaces->setGeometry(584, 10, 100, 60);
  for (int i = 0; i < 2; ++i) {
    auto* radio = new QRadioButton(i ? "USB" : "RS232", interfaces);
    radio->setGeometry(6, 16 + i * 20, 80, 18);
    radio->setChecked(i == 0);
  }
  auto* languages = new QGroupBox("Language", window);
  languages->setGeometry(690, 10, 100, 80);
  for (int i = 0; i < 3; ++i) {
    auto* radio = new QRadioButton(QString::fromUtf8(i ? (i == 1 ? "简体" : "繁體") : "English"),
                                   languages);
    radio->setGeometry(6, 16 + i * 20, 80, 18);
    radio->setChecked(i == 0);
  }
  new QCheckBox(window);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget window;
  window.setFixedSize(801, 502);
  auto* keys = new QTabWidget(&window);
  keys->setGeometry(4, 10, 570, 340);
  QWidget* page = Page(keys, "Page1");
  for (int i = 0; i < 100; ++i) {
    const char* caption =
        i % 4 == 3 ? kChinese[(i / 4) % kChinese.size()] : kEnglish[i % kEnglish.size()];
    auto* button = new QPushButton(QString::fromUtf8(caption), page);
    button->setGeometry(8 + (i % 10) * 55, 8 + (i / 10) * 30, 52, 25);
  }
  for (int i = 0; i < 2; ++i) {
    auto* label = new QLabel(i ? "Display" : "Order", &window);
    label->setGeometry(16, 362 + i * 60, 60, 24);
    auto* edit = new QLineEdit(&window);
    edit->setGeometry(96, 360 + i * 48, 272, 32 + i * 40);
  }
  AddSettings(&window);
  zrt::app::ReportStartupWhenShown(&window);
  window.show();
  return QApplication::exec();
}
