// What the window tells the operator in modal messages, and the one way they
// are shown: one at a time, each answered before the next, with what follows
// a message run only once the operator has closed it. Tests put a presenter
// of their own in place of the dialogs.
#pragma once

#include <QMessageBox>
#include <QString>
#include <deque>
#include <exception>
#include <functional>
#include <vector>

#include "window/form/caption_table.h"

class QWidget;

namespace zrt::window {

struct OperatorMessage {
  enum class Kind {
    SendFailure,   // error icon, one Yes button, titled "Error"
    HandlerError,  // error icon, one OK button, titled as the window
    Notice,        // warning icon, one OK button, titled as the window
    Information,   // no icon, one OK button, titled "信息提示"
    Question,      // question icon, Yes and No, titled as the window
  };
  Kind kind = Kind::Notice;
  QString title;
  QString text;
  QString detail;  // the system's reason and what to do; may be empty

  bool operator==(const OperatorMessage&) const = default;
};

// The message and its detail as one line, for the log.
inline QString Said(const OperatorMessage& message) {
  return message.detail.isEmpty() ? message.text : message.text + " " + message.detail;
}

// A send that could not hand over its bytes, with the text the instrument's
// operators know ("请打开串口!").
OperatorMessage SendFailure(const QString& text);

// The report of an error raised by a handler: its message with a final "."
// unless it ends in "." or a character below it (such as "!" or a blank),
// and, for a port that would not open, the system's reason as detail, in the
// operator's language where it has words for it.
OperatorMessage ErrorReport(const QString& title, const std::exception& error,
                            Language language = Language::English);

// What the USB link tells: its plug monitor or its device failed.
OperatorMessage UsbInformation(const QString& text);

// The port was closed because its device went away.
OperatorMessage PortLostNotice(const QString& title, const QString& port, Language language);

// Whether to send a line of `bytes` bytes, which takes `interval` per byte.
OperatorMessage LongLineQuestion(const QString& title, qsizetype bytes, int intervalMs,
                                 Language language);

class MessagePresenter {
 public:
  virtual ~MessagePresenter() = default;
  // Shows the message modally and calls `answered` once the operator has
  // closed it, from the event loop or at once.
  virtual void Present(const OperatorMessage& message, std::function<void()> answered) = 0;
  // Asks the question modally and calls `answered` with the operator's yes
  // or no. A presenter that cannot ask shows it, and takes that as a yes.
  virtual void Ask(const OperatorMessage& question, std::function<void(bool)> answered) {
    Present(question, [answered = std::move(answered)] { answered(true); });
  }
  // Closes the message if it is showing, as if the operator had: it no
  // longer holds (a port it said was lost is back).
  virtual void Withdraw(const OperatorMessage& message) { (void)message; }
};

// Message boxes over the window; the window stays responsive (it paints and
// takes replies) while one is open, but takes no input.
class DialogPresenter : public MessagePresenter {
 public:
  explicit DialogPresenter(QWidget* parent) : parent_(parent) {}
  // Closes open boxes without answering them.
  ~DialogPresenter() override;
  void Present(const OperatorMessage& message, std::function<void()> answered) override;
  void Ask(const OperatorMessage& question, std::function<void(bool)> answered) override;
  void Withdraw(const OperatorMessage& message) override;

 private:
  // Shows a box; `answered` gets the button the operator pressed.
  void Show(const OperatorMessage& message, QFlags<QMessageBox::StandardButton> buttons,
            std::function<void(int)> answered);

  QWidget* parent_;
  std::vector<QMessageBox*> open_;
};

class MessageQueue {
 public:
  explicit MessageQueue(MessagePresenter& presenter) : presenter_(&presenter) {}
  void SetPresenter(MessagePresenter& presenter) { presenter_ = &presenter; }

  // Shows the message after those before it; `then` runs once it is answered.
  void Post(OperatorMessage message, std::function<void()> then = {});
  // Asks the question after the messages before it; `then` gets the answer.
  void Ask(OperatorMessage question, std::function<void(bool)> then);
  // Drops the message if it still waits, and closes it if it shows.
  void Withdraw(const OperatorMessage& message);

 private:
  void ShowNext();

  struct Waiting {
    OperatorMessage message;
    std::function<void()> then;           // a message
    std::function<void(bool)> thenAsked;  // a question
  };
  MessagePresenter* presenter_;
  std::deque<Waiting> waiting_;
  bool showing_ = false;
  OperatorMessage shown_;
};

}  // namespace zrt::window
