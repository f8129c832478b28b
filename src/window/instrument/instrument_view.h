// The "Instrument" page below the window: both channels side by side, a
// row per item (frequency, amplitude, offset, duty cycle, phase, waveform,
// output, harmonic), then the other functions' items that are known, then
// each channel's limits; each value with where it came from. The channel
// rows' numbers, switches and waveforms are set where they stand
// (ChannelCells). Beside them, the "Function" choice shows any other
// function's items as a form (FunctionForm) in the table's place. Beside them,
// the picture of the output. Above, Read back with its progress and Stop,
// Save preset…, the presets' menu, Limits… and All outputs off; below the picture, the time
// it spans (two periods of the slower channel, or one chosen). It only
// shows and asks:
// what the buttons do is the window's.
#pragma once

#include <QWidget>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "guard/limits.h"
#include "settings/instrument_settings.h"
#include "window/form/caption_table.h"

class QComboBox;
class QLabel;
class QMenu;
class QStackedWidget;
class QPushButton;
class QTableWidget;
class QToolButton;

namespace zrt::window {

class ChannelCells;
class FunctionForm;
class OutputPreview;

class InstrumentView : public QWidget {
  Q_OBJECT

 public:
  explicit InstrumentView(QWidget* parent = nullptr);

  // What is known and the limits, as they stand now.
  void Show(const settings::InstrumentSettings& known, const guard::Limits& limits);
  // Where a read back stands ("7 of 14"), and whether one runs.
  void ShowProgress(const QString& text, bool running);
  void ApplyLanguage(Language language);

  // Tall enough for both channels' rows, their limits and the picture.
  QSize sizeHint() const override;

  QTableWidget* Table() const { return table_; }
  OutputPreview* Preview() const { return preview_; }
  QMenu* PresetMenu() const { return presets_; }
  // Why a setting ("CHA:AFREQ20MHz") may not go, or nothing.
  void SetGuard(std::function<std::optional<std::string>(const std::string&)> guard);
  // What is left of the hold after a sweep trigger.
  void SetHoldLeft(std::function<std::chrono::milliseconds()> holdLeft) {
    holdLeft_ = std::move(holdLeft);
  }
  // Shows the form of the function key `code` (-1: the two channels).
  void ChooseFunction(int code);
  // The form of the function key `code`, made when first chosen.
  FunctionForm* Form(int code) const;
  // What the instrument answered to a setting sent from a form.
  void Answered(const QString& setting, const QByteArray& reply);
  // Nothing measures again by itself any more.
  void StopRepeating();
  bool Repeating() const;

 signals:
  void ReadBackClicked();
  void StopClicked();
  void SavePresetClicked();
  void LimitsClicked();
  void AllOffClicked();
  // The presets' menu is about to show: it is to be filled.
  void PresetsOpening();
  // The operator set `item` ("CHA:AFREQ") in its cell: `setting` is the
  // line without the address ("CHA:AFREQ1.1kHz").
  void SettingChosen(const QString& item, const QString& setting);
  // A value stopped at a limit: why.
  void LimitNoted(const QString& why);

 private:
  void Refill();

  QPushButton* readBack_;
  QPushButton* stop_;
  QLabel* progress_;
  QPushButton* savePreset_;
  QToolButton* presetButton_;
  QMenu* presets_;
  QPushButton* limits_;
  QPushButton* allOff_;
  QLabel* functionLabel_;
  QComboBox* functionChoice_;
  QStackedWidget* pages_;
  QTableWidget* table_;
  ChannelCells* cells_;
  std::vector<FunctionForm*> forms_;  // children of pages_, as made
  std::function<std::optional<std::string>(const std::string&)> guard_;
  std::function<std::chrono::milliseconds()> holdLeft_;
  OutputPreview* preview_;
  QLabel* limitNote_;  // why the last value stopped, until another is chosen
  QComboBox* span_;
  Language language_ = Language::English;
  settings::InstrumentSettings known_;
  guard::Limits limitsShown_;
};

}  // namespace zrt::window
