// One function's items as a form, built from the key tables: exactly the
// item keys its function key enables, each with its key's caption in the
// operator's language and its value editor, or a button for an item that
// takes no value (Single trigger). Values known from any source are filled
// in, unknown ones left empty; a change goes out at once as the line the
// keys compose without its address.
//
// The sweeps' forms add where the sweep is expected to be while it runs,
// and hold Single trigger for the time the instrument needs after it. The
// counter's form shows the measurement in large figures and can measure
// again every so often.
#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "settings/digit_value.h"
#include "settings/instrument_settings.h"
#include "window/form/caption_table.h"

class QComboBox;
class QGridLayout;
class QLabel;
class QProgressBar;
class QPushButton;

namespace zrt::window {

class ValueEditor;

class FunctionForm : public QWidget {
  Q_OBJECT

 public:
  // Why a setting may not go ("FSWP:STARF20MHz"), or nothing.
  using Guard = std::function<std::optional<std::string>(const std::string& setting)>;
  // What is left of the hold after a sweep trigger.
  using HoldLeft = std::function<std::chrono::milliseconds()>;

  FunctionForm(int functionCode, HoldLeft holdLeft, QWidget* parent = nullptr);

  int Function() const { return function_; }
  void SetGuard(Guard guard) { guard_ = std::move(guard); }
  // `known` is kept by the caller for as long as this shows it.
  void Show(const settings::InstrumentSettings& known, Language language);
  // What the instrument answered to one of this form's lines.
  void Answered(const QString& setting, const QByteArray& reply);
  // The counter measures no more (its link went away).
  void StopRepeating();
  bool Repeating() const { return repeat_.isActive(); }

 signals:
  void SettingChosen(const QString& item, const QString& setting);
  void LimitNoted(const QString& why);

 private:
  void AddItem(int code);
  // A caption and its field in the next place; a widget across a row.
  void AddPair(QWidget* caption, QWidget* field);
  void AddWide(QWidget* widget);
  void Press(int code);
  void ShowHold();
  void ShowSweep();
  void Measure();
  // The counter's reading as a quantity, or as it came.
  void ShowReading(const QString& reply);

  int function_;
  std::string mnemonic_;  // "FSWP"
  HoldLeft holdLeft_;
  Guard guard_;
  QGridLayout* layout_;  // two items a row
  int row_ = 0;
  int column_ = 0;
  std::map<int, ValueEditor*> editors_;  // by item code
  std::map<int, QPushButton*> buttons_;
  std::map<int, QLabel*> captions_;
  // What the page shows (its owner keeps it); nothing before the first Show.
  const settings::InstrumentSettings* known_ = nullptr;
  Language language_ = Language::English;
  // A sweep's: where it is expected to be, since it was started.
  QProgressBar* sweepBar_ = nullptr;
  QElapsedTimer sweepClock_;
  bool sweepRepeats_ = false;
  QTimer sweepTick_;
  QTimer holdTick_;
  QElapsedTimer holdClock_;  // since Single trigger was pressed
  // The counter's.
  QLabel* reading_ = nullptr;
  bool read_ = false;  // a reading came
  QComboBox* repeatChoice_ = nullptr;
  QLabel* repeatLabel_ = nullptr;
  QTimer repeat_;
};

}  // namespace zrt::window
