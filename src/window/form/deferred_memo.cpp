#include "window/form/deferred_memo.h"

#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace zrt::window {

DeferredMemo::DeferredMemo(QString text, QWidget* parent)
    : QWidget(parent), text_(std::move(text)) {}

QPlainTextEdit* DeferredMemo::Editor() {
  if (!editor_) {
    editor_ = new QPlainTextEdit(text_, this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(editor_);
  }
  return editor_;
}

QString DeferredMemo::Text() const { return editor_ ? editor_->toPlainText() : text_; }

void DeferredMemo::showEvent(QShowEvent* event) {
  Editor();
  QWidget::showEvent(event);
}

}  // namespace zrt::window
