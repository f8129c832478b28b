// The sequence controls beside the session log: Load (also by dropping a
// file on the window), Run, Step, Pause and Stop, and where the run stands
// (step k of n, the line and its text). A run goes through the window's own
// Send, on the interface chosen, and Send stays disabled while it runs. A
// file refused, an expect missed or a run stopped is said here and in the
// log.
#pragma once

#include <QWidget>

#include "sequence/runner.h"
#include "window/caption_table.h"

class QLabel;
class QPushButton;

namespace zrt::window {

class TForm1;

// The window's Send as a sequence's link.
class FormLink : public sequence::LineLink {
  Q_OBJECT

 public:
  explicit FormLink(TForm1& form);
  bool Ready() const override;
  void Send(const QString& line) override;

 private:
  TForm1& form_;
};

class SequenceBar : public QWidget {
  Q_OBJECT

 public:
  SequenceBar(TForm1& form, QWidget* parent = nullptr);

  // Reads a sequence file; false, and said, when it is refused. Not while
  // a run is under way.
  bool Load(const QString& path);
  sequence::Runner& Runner() { return runner_; }
  void ApplyLanguage(Language language);

 private:
  void AskForFile();
  void ShowState();
  void ShowStep(int index);
  void Ended(sequence::Runner::Outcome outcome, int index);
  void Say(const QString& text, bool trouble);

  TForm1& form_;
  FormLink link_;
  sequence::Runner runner_;
  QString file_;
  QPushButton* load_;
  QPushButton* run_;
  QPushButton* step_;
  QPushButton* pause_;
  QPushButton* stop_;
  QLabel* where_;
  Language language_ = Language::English;
};

}  // namespace zrt::window
