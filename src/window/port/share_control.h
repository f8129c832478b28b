// Sharing the instrument with other programs from the window: the status
// bar's switch "Share on ADDRESS" (off until asked for), the pane that
// shows how many clients are connected while it is on, and what the server
// does, in the log in the operator's language. Beside the switch, what the
// clients speak: the instrument's own lines, or SCPI (each command, the
// lines it became and its errors in the log). The server is made when
// sharing is first switched on.
#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>

#include "serve/scpi_speech.h"
#include "session/line_session.h"
#include "window/form/caption_table.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QStatusBar;

namespace zrt::serve {
class InstrumentServer;
struct ServerEvent;
}  // namespace zrt::serve

namespace zrt::window {

class Announcer;
class StatusLine;

class ShareControl : public QObject {
  Q_OBJECT

 public:
  struct Parts {
    session::LineSession& session;
    // What the clients' lines go with: the window's boxes, when each is sent.
    std::function<session::LineSettings()> settings;
    Announcer& say;
    StatusLine& status;
    QStatusBar& bar;
  };
  ShareControl(Parts parts, QObject* parent = nullptr);

  bool On() const;
  // Listens, or stops; a failure to listen is told, and the switch stays off.
  void SetOn(bool on);
  // Where it listens when on (by default 127.0.0.1:5025); applies at once
  // when on.
  void SetAddress(const QString& host, std::uint16_t port);
  QString Address() const;
  bool Scpi() const { return scpi_; }
  // Clients speak SCPI, or lines. While sharing is on, the server starts
  // again: a client never finds the other speech half way.
  void SetScpi(bool scpi);
  // "tcp ADDRESS:PORT" of the client whose lines are `source`'s, or empty.
  QString Origin(int source) const;
  // The server, once sharing has been on (nullptr before).
  serve::InstrumentServer* Server() const { return server_; }
  void ApplyLanguage(Language language);

 signals:
  void Changed(bool on);
  void ScpiChanged(bool scpi);

 private:
  void Say(const serve::ServerEvent& event);
  void ShowClients();

  Parts parts_;
  QCheckBox* toggle_;
  QComboBox* speech_;
  QLabel* pane_;
  serve::InstrumentServer* server_ = nullptr;  // a child, once made
  QString host_ = "127.0.0.1";
  std::uint16_t port_ = 5025;
  bool scpi_ = false;
  serve::ScpiSetup scpiSetup_;  // with no reset preset and no waveform numbers
};

}  // namespace zrt::window
