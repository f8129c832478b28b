// The cells of the instrument table's channel rows that set what they
// show: a number edited where it stands (double-click, F2, or Enter on the
// row) with the value editor, the output switch as a check box, and the
// waveform as a choice of the shapes the key tables name for the channel
// and of the numbered waveforms. Each change goes out at once, as the line
// the keys compose without its address ("CHA:AFREQ1.1kHz"); the table
// then shows what the session learns, so nothing is written into it here.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <optional>
#include <string>

#include "settings/instrument_settings.h"
#include "window/form/caption_table.h"

class QTableWidget;

namespace zrt::window {

class ChannelCells : public QObject {
  Q_OBJECT

 public:
  // Why a setting may not go ("CHA:AFREQ20MHz"), or nothing.
  using Guard = std::function<std::optional<std::string>(const std::string& setting)>;

  // The channel rows are the table's first rows, in settings::ChannelRows'
  // order; column 1 is channel A's, column 2 channel B's.
  explicit ChannelCells(QTableWidget& table, QObject* parent = nullptr);

  void SetGuard(Guard guard) { guard_ = std::move(guard); }
  // The switches and choices as the instrument stands, as far as known.
  // `known` is kept by the caller for as long as this shows it.
  void Show(const settings::InstrumentSettings& known, Language language);

 signals:
  // `setting` for `item` ("CHA:AFREQ"; one item for a waveform's number
  // and shapes, "CHA:AWAVE").
  void SettingChosen(const QString& item, const QString& setting);
  // A value stopped at a limit, or was not taken: why.
  void LimitNoted(const QString& why);

 private:
  QWidget* MakeEditor(QWidget* parent, int row, int column);
  void MakeSwitchesAndChoices();

  QTableWidget& table_;
  Guard guard_;
  // What the page shows (its owner keeps it); nothing before the first Show.
  const settings::InstrumentSettings* known_ = nullptr;
  Language language_ = Language::English;
};

}  // namespace zrt::window
