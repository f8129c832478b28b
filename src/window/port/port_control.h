// The serial port as the window's controls handle it: Open/Close and its
// caption, the port box and its list of present ports, a port that went
// away (said once, and watched for to be reopened, when the status bar's
// switch says so) and a change of name that closes the port open. What it
// does goes to the log and the status line; failures to open are raised
// to the caller, who tells the operator.
#pragma once

#include <QObject>
#include <QString>

#include "window/form/caption_table.h"
#include "window/port/status_line.h"
#include "window/send/operator_messages.h"

class QCheckBox;
class QComboBox;
class QStatusBar;

namespace zrt::link {
class PortWatch;
class TComm;
}  // namespace zrt::link

namespace zrt::session {
class LineSession;
}

namespace zrt::window {

class Announcer;
class PopupComboBox;

class PortControl : public QObject {
  Q_OBJECT

 public:
  // The window's controls it works.
  struct Controls {
    PopupComboBox& ports;  // the port's name
    QComboBox& rates;      // the rate a closed port would open at
    QWidget& openButton;   // its caption names the port's state
    QWidget& openImage;    // shows while the port is open
  };

  PortControl(link::TComm& comm, session::LineSession& session, Announcer& say, StatusLine& status,
              QStatusBar& bar, Controls controls, QObject* parent = nullptr);

  bool Open() const { return open_; }
  // The port's name as the component has it.
  QString Name() const;
  // Opens the port named in the box, or closes the one open. Raises when
  // the port will not open (or takes no line settings): it stays closed.
  void OpenOrClose();
  // The box names another port: the one open is closed, and named.
  void NameChanged();
  // The port's device went away: it is closed, and its notes logged.
  void Lost();
  // Says it was lost (`cut`: what became of a frame going out), and waits
  // for it to come back when it can be known again.
  void SayLost(const QString& cut);

  // Whether a port that went away is reopened when it comes back.
  bool Reopens() const;
  QCheckBox& ReopenSwitch() const { return *reopen_; }
  void SetReopens(bool reopen);
  link::PortWatch& Watch();

  // The instrument holds output back (XOFF).
  bool Held() const { return held_; }
  void SetHeld(bool held) { held_ = held; }

  // How the port stands, for the status line.
  StatusLine::Serial State() const;
  void ApplyLanguage(Language language);

 signals:
  // How the port stands may show differently.
  void Changed();

 private:
  void OpenNamed();
  void Opened();
  void Show(bool open);
  void LogNotes();
  bool Watching() const;
  void MayBeBack(const QString& name);
  void OpenFinished();
  void RefreshList();

  link::TComm& comm_;
  session::LineSession& session_;
  Announcer& say_;
  StatusLine& status_;
  Controls controls_;
  QCheckBox* reopen_;
  link::PortWatch* watch_ = nullptr;  // owned as a child object, once needed
  int storedPorts_;                   // the box's own entries, before the devices found
  bool open_ = false;
  bool held_ = false;
  QString lastPort_;              // the port last open, named once it is closed
  OperatorMessage lostNotice_;    // while it may still show
  std::string nameBeforeReopen_;  // the port's name before a reopen was tried
};

}  // namespace zrt::window
