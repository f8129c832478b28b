// One instrument zrt-serve holds: its link (opened again when it is lost),
// its session and guard, its SCPI face, its own raw socket where it has a
// listen, and the origin its log lines carry. Instruments of one server
// share nothing but the event loop: one lost leaves the others as they are.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <variant>

#include "cli/opened_link.h"
#include "cli/serve_options.h"
#include "link/port_watch.h"
#include "serve/instrument_server.h"
#include "serve/scpi_speech.h"
#include "serve/vxi11_server.h"

namespace zrt::cli {

// One line of the log: who it concerns, and what.
using EventLog = std::function<void(const QString& who, const QString& what)>;

class ServedInstrument : public QObject {
  Q_OBJECT

 public:
  // The instrument `options` name, its link opened; or the status to exit
  // with and why (the link not opened, a reset file not read). `named`:
  // its log lines begin with its name, as several instruments' do.
  static std::variant<std::unique_ptr<ServedInstrument>, Exit> Open(
      const InstrumentOptions& options, const ServeOptions& server, EventLog log, bool named);
  ~ServedInstrument() override;

  // Its raw socket listening, where it has one. Throws net::NetError.
  void Listen();
  void Stop();
  // As a VXI-11 device.
  serve::Vxi11Device Device();
  session::LineSession& Session() { return opened_.link->Session(); }
  // Whose lines `source`'s are, for the log; `vxi11` tells its links.
  void SetVxi11(const serve::Vxi11Server* vxi11) { vxi11_ = vxi11; }

 signals:
  // Its port stayed away past --reopen-within, or could not be opened
  // again after a hold too long: with one instrument the server ends so,
  // for a service manager to start it again.
  void Gone(int status);

 private:
  ServedInstrument(const InstrumentOptions& options, const ServeOptions& server, EventLog log,
                   bool named, OpenedLink opened);
  QString Who(int source) const;
  void Say(const QString& who, const QString& what) const;
  bool OpenPort(const QString& name);
  void Reopen(const QString& name);
  void Lost();

  InstrumentOptions options_;
  const ServeOptions& server_;
  EventLog log_;
  bool named_;
  OpenedLink opened_;
  QString linkName_;
  serve::ScpiSetup scpi_;
  serve::InstrumentServer raw_;
  const serve::Vxi11Server* vxi11_ = nullptr;
  // A serial port that goes away is waited for, and opened again when it
  // comes back: by its stable name, as the panel does, or else at the same
  // path (a pseudo-terminal's link, say).
  link::PortWatch watch_;
  SerialLineLink* serial_ = nullptr;  // the link, when it is a serial one
  QString portName_;                  // as last opened
  QString whyNotOpen_;                // the last attempt's reason
  QTimer samePath_;
  QTimer giveUp_;
};

}  // namespace zrt::cli
