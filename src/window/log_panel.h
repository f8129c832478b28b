// The session log as the operator sees it, below the window's original
// area: the entries in a view that scrolls, read-only and selectable, a
// switch between the text and the hex view, Clear, and Save (as text or as
// CSV, by the file's name).
#pragma once

#include <QWidget>

#include "window/caption_table.h"
#include "window/session_log.h"

class QLabel;
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

 private:
  void AskWhereToSave();
  void ShowDropped();

  SessionLog& log_;
  LogView* view_;
  QPushButton* hex_;
  QPushButton* clear_;
  QPushButton* save_;
  QLabel* dropped_;
  QTimer* droppedLater_;
  Language language_ = Language::English;
};

}  // namespace zrt::window
