#include "window/form/popup_combo_box.h"

#include <QAbstractItemView>
#include <QFontInfo>
#include <QFontMetrics>
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
  connect(this, &QComboBox::editTextChanged, this, &PopupComboBox::FitText);
}

void PopupComboBox::resizeEvent(QResizeEvent* event) {
  QComboBox::resizeEvent(event);
  FitText();
}

void PopupComboBox::FitText() {
  QLineEdit* edit = lineEdit();
  if (!edit) return;
  // The line edit keeps a small margin either side of its text.
  constexpr int kEditMargins = 4;
  const int room = edit->contentsRect().width() - kEditMargins;
  QFont fitted = font();
  int pixels = QFontInfo(fitted).pixelSize();
  const QString text = edit->text();
  while (pixels > kSmallestPixels && QFontMetrics(fitted).horizontalAdvance(text) > room) {
    fitted.setPixelSize(--pixels);
  }
  if (QFontMetrics(fitted).horizontalAdvance(text) > room) fitted = font();  // its end shows
  if (edit->font() != fitted) edit->setFont(fitted);
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
