#include "window/popup_combo_box.h"

#include <QAbstractItemView>
#include <QLineEdit>
#include <QScrollBar>
#include <QStyle>

namespace zrt::window {

PopupComboBox::PopupComboBox(QWidget* parent) : QComboBox(parent) {
  // Editable through a line edit of its own: setEditable(true) would also
  // build the drop-down list at once, which then waits for its first
  // opening.
  auto* edit = new QLineEdit(this);
  edit->setPalette(palette());
  setLineEdit(edit);
  connect(this, &QComboBox::editTextChanged, this, &QWidget::setToolTip);
}

void PopupComboBox::showPopup() {
  emit AboutToPopup();
  int widest = 0;
  for (int i = 0; i < count(); ++i) {
    widest = std::max(widest, view()->fontMetrics().horizontalAdvance(itemText(i)));
  }
  const int chrome = view()->verticalScrollBar()->sizeHint().width() +
                     2 * style()->pixelMetric(QStyle::PM_DefaultFrameWidth) + 16;
  view()->setMinimumWidth(std::max(width(), widest + chrome));
  QComboBox::showPopup();
  // The list opens at the entry the box shows (its text may have been typed
  // or set without choosing an entry), not at whichever was chosen last.
  if (const int shown = findText(currentText()); shown >= 0) {
    const QModelIndex entry = model()->index(shown, modelColumn(), rootModelIndex());
    view()->setCurrentIndex(entry);
    view()->scrollTo(entry);
  }
}

}  // namespace zrt::window
