// The session log as the operator sees it, below the window's original
// area: the entries in a view that scrolls, read-only and selectable, a
// switch between the text and the hex view, Clear, Save (as text or as
// CSV, by the file's name), the switch that keeps the log in a file as it
// goes, and a filter field that shows only the entries containing its text,
// with their count; Enter and F3 go to the next of them, with Shift to the
// one before.
#pragma once

#include <QWidget>

#include "window/form/caption_table.h"
#include "window/log/session_log.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace zrt::window {

class LogView;

class LogPanel : public QWidget {
  Q_OBJECT

 public:
  LogPanel(SessionLog& log, QWidget* parent = nullptr);

  LogView* View() const { return view_; }
  // Writes the log to `path`: CSV when the name ends in ".csv", else text.
  bool SaveTo(const QString& path) const;
  void ApplyLanguage(Language language);
  // Adds a row of controls above the entries.
  void AddRow(QWidget* row);
  QCheckBox* LogToFileSwitch() const { return toFile_; }
  // Shows only the entries that contain `text` (all when it is empty).
  void Filter(const QString& text);
  // The entry after (or before) the one selected among those shown.
  void NextMatch(bool backwards);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void AskWhereToSave();
  void ShowDropped();
  void ShowMatches();

  SessionLog& log_;
  LogView* view_;
  QPushButton* hex_;
  QPushButton* clear_;
  QPushButton* save_;
  QCheckBox* toFile_;
  QLineEdit* search_;
  QLabel* matches_;
  class LogFilter* filter_;
  QLabel* dropped_;
  QTimer* droppedLater_;
  Language language_ = Language::English;
};

}  // namespace zrt::window
