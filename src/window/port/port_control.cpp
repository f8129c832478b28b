#include "window/port/port_control.h"

#include <QCheckBox>
#include <QFile>
#include <QStatusBar>

#include "link/port/serial_ports.h"
#include "link/port_watch.h"
#include "link/tcomm.h"
#include "session/line_session.h"
#include "window/form/control_caption.h"
#include "window/form/own_texts.h"
#include "window/form/popup_combo_box.h"
#include "window/send/announcer.h"

namespace zrt::window {

PortControl::PortControl(link::TComm& comm, session::LineSession& session, Announcer& say,
                         StatusLine& status, QStatusBar& bar, Controls controls, QObject* parent)
    : QObject(parent),
      comm_(comm),
      session_(session),
      say_(say),
      status_(status),
      controls_(controls),
      reopen_(new QCheckBox(bar.parentWidget())),
      storedPorts_(controls.ports.count()) {
  reopen_->setObjectName("ReopenToggle");
  reopen_->setChecked(true);
  bar.addPermanentWidget(reopen_);
  connect(reopen_, &QCheckBox::toggled, this, &PortControl::SetReopens);
  connect(&comm_, &link::TComm::OnOpenFinished, this, &PortControl::OpenFinished);
  connect(&controls_.ports, &PopupComboBox::AboutToPopup, this, &PortControl::RefreshList);
}

QString PortControl::Name() const { return QFile::decodeName(comm_.CommName().c_str()); }

link::PortWatch& PortControl::Watch() {
  if (!watch_) {
    watch_ = new link::PortWatch("/dev/serial/by-id", this);
    connect(watch_, &link::PortWatch::Back, this, &PortControl::MayBeBack);
  }
  return *watch_;
}

bool PortControl::Watching() const { return watch_ && watch_->Watching(); }

void PortControl::OpenOrClose() {
  if (watch_) watch_->Stop();  // the operator's own action ends any wait for a lost port
  emit Changed();
  comm_.SetCommName(QFile::encodeName(controls_.ports.currentText()).toStdString());
  if (open_) {
    Show(false);
    comm_.ClosePort();
    return;
  }
  OpenNamed();
}

void PortControl::OpenNamed() {
  comm_.OpenPort();  // raises when the port will not open: the controls stay closed
  if (const link::SysError refused = comm_.SettingsError()) {
    // A port that takes no line settings is as good as not open.
    comm_.ClosePort();
    throw link::ECommsError("Error opening serial port", refused);
  }
  Opened();
}

void PortControl::Opened() {
  session_.LinkChanged();
  lastPort_ = Name();
  Show(true);
  Watch().Opened(comm_.CommName());
  LogNotes();
}

void PortControl::LogNotes() {
  for (const link::PortNote& note : comm_.TakeNotes()) {
    say_.Event(Name(), QString::fromStdString(link::SayPortNote(
                           note, static_cast<std::size_t>(say_.CurrentLanguage()))));
  }
}

// The lost port may be back: it is opened quietly, by its stable name, off
// the window's thread (a server may take seconds to confirm the settings);
// a try that fails waits for the next.
void PortControl::MayBeBack(const QString& name) {
  if (open_ || session_.Sending() || comm_.Opening()) return;
  nameBeforeReopen_ = comm_.CommName();
  comm_.SetCommName(QFile::encodeName(name).toStdString());
  comm_.OpenPortInBackground();
}

void PortControl::OpenFinished() {
  const QString name = Name();
  if (!comm_.IsOpen() || comm_.SettingsError() || !Watching()) {
    comm_.ClosePort();  // refused, or no longer waited for
    comm_.SetCommName(nameBeforeReopen_);
    return;
  }
  Opened();
  if (controls_.ports.currentText() != name) {
    const QSignalBlocker quiet(controls_.ports);  // no change of port
    controls_.ports.setEditText(name);
  }
  const QString reopened = TextIn(OwnText::PortReopened, say_.CurrentLanguage()).arg(name);
  say_.Event(name, reopened);
  // The notice that it was lost no longer holds.
  say_.Withdraw(std::exchange(lostNotice_, {}));
  status_.Note(reopened);
  emit Changed();
}

bool PortControl::Reopens() const { return reopen_->isChecked(); }

void PortControl::SetReopens(bool reopen) {
  if (reopen_->isChecked() != reopen) reopen_->setChecked(reopen);
  if (!reopen && watch_) watch_->Stop();
  emit Changed();
}

void PortControl::NameChanged() {
  if (watch_) watch_->Stop();
  // The port that was open is the one closed, and the one named.
  if (open_) {
    const QString closed = Name();
    comm_.ClosePort();
    Show(false);
    status_.Note(TextIn(OwnText::PortRenamed, say_.CurrentLanguage()).arg(closed));
  }
  comm_.SetCommName(QFile::encodeName(controls_.ports.currentText()).toStdString());
  emit Changed();
}

void PortControl::Lost() {
  LogNotes();  // why a network server's connection ended
  comm_.ClosePort();
  Show(false);
}

void PortControl::SayLost(const QString& cut) {
  const Language language = say_.CurrentLanguage();
  lostNotice_ = PortLostNotice(say_.Title(), Name(), language);
  if (link::IsNetworkPortName(comm_.CommName())) {
    lostNotice_.text = TextIn(OwnText::PortServerLost, language).arg(Name());
  }
  lostNotice_.detail = cut;
  say_.Tell(lostNotice_);
  if (!Reopens()) return;
  if (!Watch().Lost()) {
    // A pseudo-terminal or a built-in port has nothing to know it again by.
    say_.Event(Name(), TextIn(OwnText::PortNotAwaitable, language).arg(Name()));
    return;
  }
  const QString stable =
      watch_->StableName().empty() ? Name() : QString::fromStdString(watch_->StableName());
  say_.Event(stable, TextIn(OwnText::PortAwaited, language).arg(stable));
  emit Changed();
}

// The caption names the state the port is in now; every language but
// English shows the simplified text until the next language switch.
void PortControl::Show(bool open) {
  controls_.openImage.setVisible(open);
  const std::string_view caption = PortButtonCaption(say_.CurrentLanguage(), open);
  SetCaption(&controls_.openButton, QString::fromUtf8(caption.data(), caption.size()));
  const bool changed = open_ != open;
  open_ = open;
  emit Changed();
  if (changed) say_.Event(Name(), StatusLine::SerialText(State(), say_.CurrentLanguage()));
}

StatusLine::Serial PortControl::State() const {
  using State = StatusLine::Serial::State;
  const State state = Watching() ? State::ComingBack
                      : !open_   ? State::Closed
                      : held_    ? State::Held
                                 : State::Open;
  // The port open now, or the one last open, whatever the box says since;
  // an open port runs at the rate it was last given.
  const QString name = open_ || Watching()   ? Name()
                       : lastPort_.isEmpty() ? controls_.ports.currentText()
                                             : lastPort_;
  const QString rate = open_ ? QString::number(comm_.BaudRate()) : controls_.rates.currentText();
  return {state, name, rate};
}

void PortControl::ApplyLanguage(Language language) {
  reopen_->setText(TextIn(OwnText::ReopenToggle, language));
}

void PortControl::RefreshList() {
  QComboBox& ports = controls_.ports;
  // Rebuilding the list is no change of port.
  const QSignalBlocker quiet(ports);
  const QString typed = ports.currentText();
  while (ports.count() > storedPorts_) ports.removeItem(ports.count() - 1);
  for (const std::string& port : link::PresentSerialPorts()) {
    const QString name = QFile::decodeName(port.c_str());
    if (ports.findText(name) < 0) ports.addItem(name);
  }
  ports.setEditText(typed);
}

}  // namespace zrt::window
