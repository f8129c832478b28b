// A memo whose text editor is made when the memo is first shown. The
// window's one memo is hidden for the whole run, and an editor would cost
// start-up a text document and the code behind it for nothing.
#pragma once

#include <QString>
#include <QWidget>

class QPlainTextEdit;

namespace zrt::window {

class DeferredMemo : public QWidget {
  Q_OBJECT

 public:
  DeferredMemo(QString text, QWidget* parent = nullptr);

  // The editor, filling the memo and holding its text; made on first use.
  QPlainTextEdit* Editor();
  // The text, without making the editor.
  QString Text() const;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QString text_;
  QPlainTextEdit* editor_ = nullptr;  // a child once made
};

}  // namespace zrt::window
