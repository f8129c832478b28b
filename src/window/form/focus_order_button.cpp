#include "window/form/focus_order_button.h"

#include <QKeyEvent>

namespace zrt::window {

void FocusOrderButton::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  if (key != Qt::Key_Up && key != Qt::Key_Down && key != Qt::Key_Left && key != Qt::Key_Right) {
    QPushButton::keyPressEvent(event);
    return;
  }
  // As QAbstractButton moves on from a button outside any group: up and left
  // go back, down goes on, and right goes on unless the parent reads right
  // to left.
  const QWidget* reading = parentWidget() ? parentWidget() : this;
  const bool back = key == Qt::Key_Up || key == Qt::Key_Left ||
                    (key == Qt::Key_Right && reading->layoutDirection() == Qt::RightToLeft);
  focusNextPrevChild(!back);
}

}  // namespace zrt::window
