// What stands below the window's original area: the session log's panel
// with the sequence controls, shown and hidden by a switch (for the status
// bar) or Ctrl+L. Shown, it takes the window's height beyond the original
// area, which the operator may change by resizing the window; the original
// area keeps its place and size. The log itself, and its copy in a file,
// exist from the start; the panel only once it is first shown, since it
// costs start-up half a megabyte. A sequence file dropped on the window is
// loaded, and the log shown with the sequence controls.
#pragma once

#include <QObject>

#include "window/caption_table.h"

class QPushButton;

namespace zrt::window {

class LogFile;
class LogPanel;
class SequenceBar;
class SessionLog;
class TForm1;

class LogArea : public QObject {
  Q_OBJECT

 public:
  static constexpr int kMinHeight = 80;

  explicit LogArea(TForm1& window);

  SessionLog& Log() { return *log_; }
  LogFile& File() { return *file_; }
  QWidget* Panel() const;  // nullptr until the log is first shown
  QPushButton* Toggle() const { return toggle_; }
  SequenceBar& Sequences();

  bool Shown() const { return shown_; }
  void SetShown(bool shown);
  int Height() const { return height_; }
  void SetHeight(int height);
  bool ToFile() const;
  void SetToFile(bool on);

  // The window's size changed: the log takes what is below the original area.
  void WindowResized();
  void ApplyLanguage(Language language);

 signals:
  void LayoutChanged();
  void ToFileChanged(bool on);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void EnsurePanel();

  TForm1& window_;
  SessionLog* log_;  // owned as a child object
  LogFile* file_;    // owned as a child object
  QPushButton* toggle_;
  LogPanel* panel_ = nullptr;
  SequenceBar* sequences_ = nullptr;  // in the panel
  bool shown_ = false;
  int height_ = 200;
};

}  // namespace zrt::window
