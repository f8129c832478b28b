// Up, Down and Escape in a line edit recall the lines of a CommandHistory.
#pragma once

#include <QObject>

class QLineEdit;

namespace zrt::window {

class CommandHistory;

class HistoryKeys : public QObject {
  Q_OBJECT

 public:
  // Watches `edit`'s keys for as long as it lives.
  HistoryKeys(QLineEdit& edit, CommandHistory& history);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QLineEdit& edit_;
  CommandHistory& history_;
};

}  // namespace zrt::window
