// What the instrument's page does: it follows what the session knows of
// the settings, reads them back (a source of its own in the session), sends
// what the operator sets in its cells (another source, latest wins), keeps
// the operator's limits in the session, and saves and runs presets, which
// are sequence files in the presets' folder
// (~/.local/share/zrt-panel/presets on Linux).
#pragma once

#include <QObject>
#include <functional>
#include <optional>
#include <string>

#include "session/line_session.h"
#include "session/read_back_run.h"
#include "session/tuning_sender.h"
#include "window/form/caption_table.h"

namespace zrt::window {

class Announcer;
class InstrumentView;
class MessageQueue;
class SequenceBar;

class InstrumentControl : public QObject {
  Q_OBJECT

 public:
  struct Parts {
    QWidget& window;                          // what its dialogs stand over
    std::function<SequenceBar&()> sequences;  // where presets run
    session::LineSession& session;
    Announcer& say;
    MessageQueue& messages;  // where it asks
    // What the read back's lines go with, and whether a link is open.
    std::function<session::LineSettings()> settings;
    std::function<bool()> linkOpen;
    // Says something briefly in the status line (a limit a value stopped at).
    std::function<void(const QString&)> note;
    // What the log names the page's lines by ("/dev/ttyUSB0 (Instrument)").
    std::function<QString()> logName;
  };
  static constexpr int kSource = 2;      // the read back's, in the session
  static constexpr int kTuneSource = 3;  // what is set in the page's cells
  static constexpr int kOffSource = 4;   // all outputs off

  InstrumentControl(Parts parts, QObject* parent = nullptr);

  // The page, made for the area below the window (parented to `parent`).
  QWidget* MakeView(QWidget* parent);
  InstrumentView* View() const { return view_; }

  // Switches both channels' outputs off, ahead of every line waiting from
  // any source (the frame on the wire ends first), and says so in the log.
  // Also Ctrl+Shift+O anywhere in the window.
  void AllOutputsOff();

  // Asks for every item, or says why it cannot.
  void ReadBack();
  void StopReadBack() { readBack_.Stop(); }
  bool ReadingBack() const { return readBack_.Running(); }

  const guard::Limits& Limits() const { return parts_.session.Limits(); }
  void SetLimits(const guard::Limits& limits);
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
  void LimitsChanged(const guard::Limits& limits);

 private:
  void Refresh();
  // A setting chosen in a cell goes out, once the operator agrees where
  // switching an output on needs it.
  void SendSetting(const QString& item, const QString& setting);
  // Why a setting may not go: a limit it would pass. A value the check
  // needs and nobody knows lets it through here: the session asks for it
  // when the line's turn comes, and refuses it then.
  std::optional<std::string> Beyond(const std::string& setting) const;
  // Why a line of the page did not go, in the operator's language.
  QString NotSentText(const QString& line, const session::WhyNotSent& why) const;
  // The counter's form measures again no more, and the log says why.
  void StopRepeating(const QString& why);
  // Switching `item` on with a limit set, and the channel's amplitude and
  // offset not all read back.
  bool NeedsConfirmation(const QString& item, const QString& setting) const;
  // Where the read back stands, in the language chosen.
  void ShowProgress();
  // A value stopped at a limit: said in the status line and the log.
  void NoteLimit(const QString& why);
  void AskForPresetName();
  void FillPresetMenu();
  QString PresetPath(const QString& name) const;

  Parts parts_;
  session::ReadBackRun readBack_;
  session::TuningSender tuning_;
  InstrumentView* view_ = nullptr;
  Language language_ = Language::English;
  QString limitLogged_;  // the limit last logged, until a value goes out
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
