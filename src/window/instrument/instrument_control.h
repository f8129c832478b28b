// What the instrument's page does: it follows what the session knows of
// the settings, reads them back (a source of its own in the session), keeps
// the operator's limits in the session, and saves and runs presets, which
// are sequence files in the presets' folder
// (~/.local/share/zrt-panel/presets on Linux).
#pragma once

#include <QObject>
#include <functional>

#include "session/line_session.h"
#include "session/read_back_run.h"
#include "window/form/caption_table.h"

namespace zrt::window {

class Announcer;
class InstrumentView;
class SequenceBar;

class InstrumentControl : public QObject {
  Q_OBJECT

 public:
  struct Parts {
    QWidget& window;                          // what its dialogs stand over
    std::function<SequenceBar&()> sequences;  // where presets run
    session::LineSession& session;
    Announcer& say;
    // What the read back's lines go with, and whether a link is open.
    std::function<session::LineSettings()> settings;
    std::function<bool()> linkOpen;
  };
  static constexpr int kSource = 2;  // the read back's, in the session

  InstrumentControl(Parts parts, QObject* parent = nullptr);

  // The page, made for the area below the window (parented to `parent`).
  QWidget* MakeView(QWidget* parent);
  InstrumentView* View() const { return view_; }

  // Asks for every item, or says why it cannot.
  void ReadBack();
  void StopReadBack() { readBack_.Stop(); }
  bool ReadingBack() const { return readBack_.Running(); }

  const settings::Limits& Limits() const { return parts_.session.Limits(); }
  void SetLimits(const settings::Limits& limits);
  // Offers the limits to change.
  void AskForLimits();

  static QString PresetFolder();
  // The presets saved, by name.
  QStringList Presets() const;
  // Writes the known settings as the preset `name`; says whether it could.
  bool SavePreset(const QString& name);
  // Runs a preset through the sequence runner.
  void RunPreset(const QString& name);

  void ApplyLanguage(Language language);

 signals:
  void LimitsChanged(const settings::Limits& limits);

 private:
  void Refresh();
  // Where the read back stands, in the language chosen.
  void ShowProgress();
  void AskForPresetName();
  void FillPresetMenu();
  QString PresetPath(const QString& name) const;

  Parts parts_;
  session::ReadBackRun readBack_;
  InstrumentView* view_ = nullptr;
  Language language_ = Language::English;
  // The read back: the item asked for (from 1), of how many, and how many
  // answered once it is over; 0 asked: none yet.
  struct Progress {
    int at = 0;
    int of = 0;
    int answered = 0;
    bool over = false;
    bool completed = false;
  } progress_;
};

}  // namespace zrt::window
