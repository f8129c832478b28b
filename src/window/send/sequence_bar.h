// The sequence controls beside the session log: Load (also by dropping a
// file on the window), Reload, Run, Step, Pause and Stop, Run from here
// after a run stopped at a step that failed, and where the run stands (step
// k of n, the line and its text). A run goes through the window's own Send,
// on the interface chosen, and Send stays disabled while it runs. Run reads
// the file again when it has changed since it was loaded. A file refused
// leaves nothing loaded. Each expect met or missed, and a run's end with its
// summary, are said here and in the log.
#pragma once

#include <QDateTime>
#include <QThread>
#include <QWidget>
#include <memory>

#include "sequence/runner.h"
#include "window/form/caption_table.h"

class QLabel;
class QPushButton;

namespace zrt::window {

class SessionLog;

class SequenceBar : public QWidget {
  Q_OBJECT

 public:
  // Runs through `link`; says each expect and each run's end in `log`.
  SequenceBar(sequence::LineLink& link, SessionLog& log, QWidget* parent = nullptr);
  ~SequenceBar() override;

  // Reads a sequence file off the window's thread; LoadFinished says
  // whether it was taken, and a refusal is said. False, and nothing read,
  // while a run is under way or another file is being read.
  bool Load(const QString& path);
  // Runs from the first step, once the file is read again if it changed.
  void Run();
  // Continues from the step where the last run failed.
  void RunFromHere();
  sequence::Runner& Runner() { return runner_; }
  void ApplyLanguage(Language language);

 signals:
  void LoadFinished(bool taken);
  // A run began (true) or ended.
  void RunningChanged(bool running);

 private:
  void AskForFile();
  void Loaded(const QString& path, const QString& unreadable, const sequence::Parsed& parsed);
  void ShowState();
  void ShowStep(int index);
  void Ended(sequence::Runner::Outcome outcome, int index);
  void Say(const QString& text, bool trouble);
  // The text in the trouble colour, or not; the colour is the palette's.
  void ShowTrouble(bool trouble);
  void changeEvent(QEvent* event) override;
  // The file as it stands on disk now: when it was written, and its size.
  std::pair<QDateTime, qint64> Stamp() const;

  SessionLog& log_;
  sequence::Runner runner_;
  QString file_;
  QString path_;                        // of the file loaded
  std::pair<QDateTime, qint64> stamp_;  // its stamp when it was read
  bool runWhenLoaded_ = false;          // Run read it again first
  int failedAt_ = -1;                   // the step to run from, after a failure
  bool loading_ = false;
  bool trouble_ = false;             // what is said now went wrong
  std::unique_ptr<QThread> reader_;  // the file being read, or the last one read
  QPushButton* load_;
  QPushButton* reload_;
  QPushButton* run_;
  QPushButton* runFromHere_;
  QPushButton* step_;
  QPushButton* pause_;
  QPushButton* stop_;
  QLabel* where_;
  Language language_ = Language::English;
};

}  // namespace zrt::window
