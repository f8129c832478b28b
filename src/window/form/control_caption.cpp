#include "window/form/control_caption.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QStackedWidget>
#include <QTabWidget>

namespace zrt::window {
namespace {

// A page's caption is its tab text, held by the page control two levels up
// (the page sits in the tab widget's stack).
QTabWidget* PageControlOf(const QWidget* page) {
  QWidget* stack = page->parentWidget();
  if (!qobject_cast<QStackedWidget*>(stack)) return nullptr;
  return qobject_cast<QTabWidget*>(stack->parentWidget());
}

}  // namespace

void SetCaption(QWidget* control, const QString& caption) {
  if (auto* button = qobject_cast<QAbstractButton*>(control)) {
    button->setText(caption);
  } else if (auto* box = qobject_cast<QGroupBox*>(control)) {
    box->setTitle(caption);
  } else if (auto* label = qobject_cast<QLabel*>(control)) {
    label->setText(caption);
  } else if (QTabWidget* tabs = PageControlOf(control)) {
    tabs->setTabText(tabs->indexOf(control), caption);
  }
}

QString Caption(const QWidget* control) {
  if (auto* button = qobject_cast<const QAbstractButton*>(control)) return button->text();
  if (auto* box = qobject_cast<const QGroupBox*>(control)) return box->title();
  if (auto* label = qobject_cast<const QLabel*>(control)) return label->text();
  if (QTabWidget* tabs = PageControlOf(control)) {
    return tabs->tabText(tabs->indexOf(const_cast<QWidget*>(control)));
  }
  return {};
}

}  // namespace zrt::window
