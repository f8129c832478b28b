#include "window/send/history_keys.h"

#include <QKeyEvent>
#include <QLineEdit>

#include "window/send/command_history.h"

namespace zrt::window {

HistoryKeys::HistoryKeys(QLineEdit& edit, CommandHistory& history)
    : QObject(&edit), edit_(edit), history_(history) {
  edit_.installEventFilter(this);
}

bool HistoryKeys::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
  std::optional<QString> recalled;
  switch (static_cast<QKeyEvent*>(event)->key()) {
    case Qt::Key_Up:
      recalled = history_.Older(edit_.text());
      break;
    case Qt::Key_Down:
      recalled = history_.Newer();
      break;
    case Qt::Key_Escape:
      recalled = history_.BackToEdited();
      break;
    default:
      return QObject::eventFilter(watched, event);
  }
  if (recalled) edit_.setText(*recalled);
  return true;
}

}  // namespace zrt::window
