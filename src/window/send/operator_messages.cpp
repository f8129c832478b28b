#include "window/send/operator_messages.h"

#include <QMessageBox>
#include <cerrno>
#include <utility>

#include "link/port/ecomms_error.h"
#include "window/form/own_texts.h"

namespace zrt::window {
namespace {

// The system's reason for a failed open, in the operator's language.
QString ReasonIn(const link::SysError& error, Language language) {
  if (error.note.why != link::PortReason::System) {
    return QString::fromStdString(
        link::SayPortNote(error.note, static_cast<std::size_t>(language)));
  }
  OwnText text = OwnText::Count;
  switch (error.code) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
      text = OwnText::NoSuchDevice;
      break;
    case EBUSY:
      text = OwnText::PortBusy;
      break;
    case EACCES:
    case EPERM:
      text = error.group.empty() ? OwnText::PermissionDenied : OwnText::JoinTheGroup;
      break;
    case ENOTTY:
      if (!error.path.empty()) text = OwnText::NotASerialTerminal;
      break;
    case ECONNREFUSED:
      text = OwnText::ConnectionRefused;
      break;
    case EHOSTUNREACH:
    case ENETUNREACH:
    case ETIMEDOUT:
      text = OwnText::ServerUnreachable;
      break;
    case EADDRNOTAVAIL:
      text = OwnText::NameNotResolved;
      break;
    case EPROTO:
      text = OwnText::ServerDidNotAnswer;
      break;
    case EINVAL:  // from a network server, which the path names
      if (!error.path.empty()) text = OwnText::ServerRefusedSettings;
      break;
    default:
      break;
  }
  const QString path = QString::fromStdString(error.path);
  QString said = text == OwnText::Count ? QString() : TextIn(text, language);
  if (said.isEmpty()) {
    said = QString::fromStdString(error.reason);
  } else if (text == OwnText::JoinTheGroup) {
    said = said.arg(path, QString::fromStdString(error.group));
  } else if (said.contains("%1")) {
    said = said.arg(path);
  }
  // The port the reason concerns, named where the reason does not name it.
  return path.isEmpty() || said.contains(path) ? said : path + ": " + said;
}

QString WithFinalStop(QString message) {
  if (!message.isEmpty() && message.back() > u'.') message += u'.';
  return message;
}

}  // namespace

OperatorMessage SendFailure(const QString& text) {
  return {OperatorMessage::Kind::SendFailure, "Error", text, {}};
}

OperatorMessage UsbInformation(const QString& text) {
  return {OperatorMessage::Kind::Information, QString::fromUtf8("信息提示"), text, {}};
}

OperatorMessage ErrorReport(const QString& title, const std::exception& error, Language language) {
  OperatorMessage report{OperatorMessage::Kind::HandlerError,
                         title,
                         WithFinalStop(QString::fromUtf8(error.what())),
                         {}};
  if (const auto* comms = dynamic_cast<const link::ECommsError*>(&error)) {
    const link::SysError& why = comms->Error();
    report.detail = ReasonIn(why, language);
    // A file the system names as no serial port: its words say it plainly,
    // the component's speak of handles the system does not have.
    if (why.code == ENOTTY && !why.path.empty()) {
      report.text = std::exchange(report.detail, {});
    }
  }
  return report;
}

OperatorMessage PortLostNotice(const QString& title, const QString& port, Language language) {
  const QString text = TextIn(OwnText::PortLost, language).arg(port);
  return {OperatorMessage::Kind::Notice, title, text, {}};
}

OperatorMessage LongLineQuestion(const QString& title, qsizetype bytes, int intervalMs,
                                 Language language) {
  const double seconds = static_cast<double>(bytes) * intervalMs / 1000.0;
  return {OperatorMessage::Kind::Question,
          title,
          TextIn(OwnText::LongLine, language).arg(bytes).arg(seconds, 0, 'f', 1),
          {}};
}

DialogPresenter::~DialogPresenter() {
  for (QMessageBox* box : open_) {
    box->disconnect();
    delete box;
  }
}

void DialogPresenter::Present(const OperatorMessage& message, std::function<void()> answered) {
  const QMessageBox::StandardButton button =
      message.kind == OperatorMessage::Kind::SendFailure ? QMessageBox::Yes : QMessageBox::Ok;
  Show(message, button, [answered = std::move(answered)](int) { answered(); });
}

void DialogPresenter::Ask(const OperatorMessage& question, std::function<void(bool)> answered) {
  Show(question, QMessageBox::Yes | QMessageBox::No,
       [answered = std::move(answered)](int button) { answered(button == QMessageBox::Yes); });
}

void DialogPresenter::Withdraw(const OperatorMessage& message) {
  for (QMessageBox* box : std::vector<QMessageBox*>(open_)) {
    if (box->windowTitle() == message.title && box->text() == message.text)
      box->done(QMessageBox::Ok);
  }
}

void DialogPresenter::Show(const OperatorMessage& message,
                           QFlags<QMessageBox::StandardButton> buttons,
                           std::function<void(int)> answered) {
  using Kind = OperatorMessage::Kind;
  const QMessageBox::Icon icon = message.kind == Kind::Notice        ? QMessageBox::Warning
                                 : message.kind == Kind::Information ? QMessageBox::NoIcon
                                 : message.kind == Kind::Question    ? QMessageBox::Question
                                                                     : QMessageBox::Critical;
  auto* box = new QMessageBox(icon, message.title, message.text, buttons, parent_);
  box->setObjectName("OperatorMessage");
  if (!message.detail.isEmpty()) box->setInformativeText(message.detail);
  box->setWindowModality(Qt::ApplicationModal);
  box->setAttribute(Qt::WA_DeleteOnClose);
  open_.push_back(box);
  // The window's event loop keeps running while the box is open: replies
  // still show, and the sender's timers still run.
  QObject::connect(box, &QMessageBox::finished, box,
                   [this, box, answered = std::move(answered)](int button) {
                     std::erase(open_, box);
                     answered(button);
                   });
  box->show();
}

void MessageQueue::Post(OperatorMessage message, std::function<void()> then) {
  waiting_.push_back({std::move(message), std::move(then), {}});
  if (!showing_) ShowNext();
}

void MessageQueue::Ask(OperatorMessage question, std::function<void(bool)> then) {
  waiting_.push_back({std::move(question), {}, std::move(then)});
  if (!showing_) ShowNext();
}

void MessageQueue::Withdraw(const OperatorMessage& message) {
  std::erase_if(waiting_, [&](const Waiting& w) { return !w.thenAsked && w.message == message; });
  if (showing_ && shown_ == message) presenter_->Withdraw(message);
}

void MessageQueue::ShowNext() {
  if (waiting_.empty()) return;
  Waiting next = std::move(waiting_.front());
  waiting_.pop_front();
  showing_ = true;
  shown_ = next.message;
  if (next.thenAsked) {
    presenter_->Ask(next.message, [this, then = std::move(next.thenAsked)](bool yes) {
      showing_ = false;
      then(yes);
      if (!showing_) ShowNext();
    });
    return;
  }
  presenter_->Present(next.message, [this, then = std::move(next.then)] {
    showing_ = false;
    if (then) then();
    if (!showing_) ShowNext();
  });
}

}  // namespace zrt::window
