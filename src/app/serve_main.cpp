// zrt-serve: the instrument's link held without a window and shared with
// other programs over TCP; every event logged to standard error.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <cstdio>

#include "cli/opened_link.h"
#include "cli/serve_options.h"
#include "cli/stop_request.h"
#include "link/port_watch.h"
#include "rpc/vxi11.h"
#include "sequence/runner.h"
#include "sequence/sequence.h"
#include "serve/instrument_server.h"
#include "serve/rpc_publication.h"
#include "serve/vxi11_server.h"

namespace {

using namespace zrt;

int Fail(int status, const QString& text) {
  std::fprintf(stderr, "zrt-serve: %s\n", text.toLocal8Bit().constData());
  return status;
}

// One line an event: the time since the start in ms, who it concerns, what.
class EventLog {
 public:
  EventLog() { clock_.start(); }
  void operator()(const QString& who, const QString& what) const {
    std::fprintf(stderr, "%8lld ms  %s%s%s\n", static_cast<long long>(clock_.elapsed()),
                 who.toLocal8Bit().constData(), who.isEmpty() ? "" : ": ",
                 what.toLocal8Bit().constData());
    std::fflush(stderr);
  }

 private:
  QElapsedTimer clock_;
};

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const auto parsed = cli::ParseServeOptions(app.arguments());
  if (const auto* exit = std::get_if<cli::Exit>(&parsed)) {
    std::fputs(exit->text.toLocal8Bit().constData(), exit->status == 0 ? stdout : stderr);
    return exit->status;
  }
  const cli::ServeOptions& options = std::get<cli::ServeOptions>(parsed);
  auto opening = cli::OpenLink(options.link);
  if (const auto* exit = std::get_if<cli::Exit>(&opening)) {
    return Fail(exit->status == cli::kUsage ? cli::kUsage : cli::kCannotOpen, exit->text);
  }
  cli::OpenedLink& opened = std::get<cli::OpenedLink>(opening);
  cli::AddressedLink& link = *opened.link;
  session::LineSession& session = link.Session();
  const QString linkName = options.link.usb ? QString("USB") : opened.port;

  const EventLog log;
  serve::InstrumentServer server(session, [&link] { return link.Settings(); });
  // Speaking SCPI: the face the clients see, and the lines *RST sends.
  serve::ScpiSetup scpiSetup;
  if (options.scpi || options.vxi11) {
    std::vector<QString> resetLines;
    if (!options.resetFile.isEmpty()) {
      QFile file(options.resetFile);
      if (!file.open(QIODevice::ReadOnly)) {
        return Fail(cli::kUsage, options.resetFile + ": " + file.errorString());
      }
      const sequence::Parsed steps = sequence::ParseDevice(file, options.resetFile);
      if (const auto* error = std::get_if<sequence::ParseError>(&steps)) {
        return Fail(cli::kUsage, sequence::Describe(*error));
      }
      for (const sequence::Step& step : std::get<std::vector<sequence::Step>>(steps)) {
        if (step.kind == sequence::Step::Kind::Send) resetLines.push_back(step.text);
      }
    }
    scpiSetup.face.identity = options.identity.isEmpty() ? scpi::DefaultIdentity(ZRT_VERSION)
                                                         : options.identity.toStdString();
    scpiSetup.face.waveforms = options.waveforms;
    scpiSetup.face.resetConfigured = !options.resetFile.isEmpty();
    scpiSetup.resetLines = std::move(resetLines);
    if (options.scpi) server.SetScpi(&scpiSetup);
  }
  // VXI-11: the same SCPI face, as device inst0.
  std::unique_ptr<serve::Vxi11Server> vxi11;
  if (options.vxi11) {
    vxi11 = std::make_unique<serve::Vxi11Server>(
        std::vector<serve::Vxi11Device>{{"inst0", &session, [&link] { return link.Settings(); },
                                         &scpiSetup, static_cast<std::size_t>(options.maxLine)}});
    QObject::connect(vxi11.get(), &serve::Vxi11Server::Event,
                     [&](const serve::ServerEvent& e) { log(e.origin, serve::Describe(e)); });
  }
  server.SetMaxClients(options.maxClients);
  server.SetMaxLine(static_cast<std::size_t>(options.maxLine));
  auto who = [&](int source) {
    QString origin = server.Origin(source);
    if (origin.isEmpty() && vxi11) origin = vxi11->Origin(source);
    return origin.isEmpty() ? linkName : origin;
  };
  QObject::connect(&server, &serve::InstrumentServer::Event,
                   [&](const serve::ServerEvent& e) { log(e.origin, serve::Describe(e)); });
  QObject::connect(&session, &session::LineSession::FrameOnWire, [&](const session::Frame& f) {
    log(who(f.source), "sent " + sequence::Escaped(f.Bytes()));
  });
  QObject::connect(&session, &session::LineSession::Received, [&](int source, const QByteArray& b) {
    log(who(source), "received " + sequence::Escaped(b));
  });
  // A serial port that goes away is waited for, and opened again when it
  // comes back: by its stable name, as the panel does, or else at the same
  // path (a pseudo-terminal's link, say). One not back within
  // --reopen-within ends the server with the port's status, so that a
  // service manager starts it again rather than it answering every client
  // that the port is not open.
  link::PortWatch watch;
  auto* serial = dynamic_cast<cli::SerialLineLink*>(&link);
  QString portName = opened.port;  // as last opened
  if (serial) watch.Opened(QFile::encodeName(portName).toStdString());
  QTimer samePath;
  samePath.setInterval(link::PortWatch::kPeriod);
  QTimer giveUp;
  giveUp.setSingleShot(true);
  QString whyNotOpen;  // the last attempt's reason
  auto open = [&](const QString& name) {
    try {
      serial->Open(QFile::encodeName(name).toStdString(), options.link.baud);
      return true;
    } catch (const std::exception& error) {
      whyNotOpen = QString::fromLocal8Bit(error.what());
      return false;
    }
  };
  auto reopen = [&](const QString& name) {
    if (!open(name)) return;  // not yet: the next look tries again
    samePath.stop();
    giveUp.stop();
    watch.Stop();
    watch.Opened(QFile::encodeName(name).toStdString());
    portName = name;
    session.LinkChanged();
    log(name, "reopened");
  };
  QObject::connect(&samePath, &QTimer::timeout, [&] { reopen(portName); });
  QObject::connect(&giveUp, &QTimer::timeout, [&] {
    log(portName, QString("not back within %1 s: ending (%2)")
                      .arg(options.reopenWithin.count())
                      .arg(whyNotOpen.isEmpty() ? QString("it did not come back") : whyNotOpen));
    QCoreApplication::exit(cli::kCannotOpen);
  });
  // A frame the instrument held back too long is given up with the port,
  // and what waited in it: the port is opened afresh for the next lines.
  QObject::connect(&session, &session::LineSession::HeldTooLong, [&](const session::Frame& f) {
    log(who(f.source), "the instrument held output back too long: the line was given up");
    if (!serial) return;
    if (!open(portName)) {
      log(portName, "cannot be opened again: " + whyNotOpen);
      return QCoreApplication::exit(cli::kCannotOpen);
    }
    log(portName, "opened afresh");
  });
  QObject::connect(&link.Line(), &sequence::LineLink::Lost, [&] {
    log(linkName, "lost" + (link.LostReason().isEmpty() ? QString() : ": " + link.LostReason()));
    if (!serial) return;  // the USB bridge is opened again when it is plugged in
    if (watch.Lost()) {
      log(linkName, "waiting for it to come back");
    } else {
      log(linkName, "waiting for it to come back at the same path");
      samePath.start();
    }
    giveUp.start(options.reopenWithin);
  });
  QObject::connect(&watch, &link::PortWatch::Back, reopen);

  try {
    server.Listen(options.listenHost.toStdString(), options.listenPort);
    if (vxi11) vxi11->Listen(options.listenHost.toStdString());
  } catch (const net::NetError& error) {
    return Fail(cli::kCannotListen, QString::fromStdString(error.what()));
  }
  // Found through the port mapper; without one, VXI-11 clients find nothing.
  std::unique_ptr<serve::RpcPublication> publication;
  if (vxi11) {
    publication = std::make_unique<serve::RpcPublication>(
        std::vector<rpc::Mapping>{
            {rpc::vxi11::kCoreProgram, rpc::vxi11::kVersion, rpc::kTcp, vxi11->CorePort()}},
        options.listenHost.toStdString());
    QObject::connect(
        publication.get(), &serve::RpcPublication::Done, &app,
        [&](bool published, const QString& text) {
          if (published) return log("VXI-11", text);
          std::fprintf(stderr, "zrt-serve: %s\n", text.toLocal8Bit().constData());
          QCoreApplication::exit(cli::kCannotListen);
        },
        Qt::QueuedConnection);  // after the event loop has started
    publication->Start();
  }

  // A stop waits for the frame going out, which the hold limit bounds.
  cli::StopRequest stop;
  bool stopping = false;
  auto finishWhenIdle = [&] {
    if (stopping && !session.Sending()) QCoreApplication::quit();
  };
  QObject::connect(&stop, &cli::StopRequest::Requested, [&] {
    if (std::exchange(stopping, true)) return QCoreApplication::quit();  // asked twice
    log({}, "stopping");
    server.Stop();
    if (vxi11) vxi11->Stop();
    finishWhenIdle();
  });
  QObject::connect(&session, &session::LineSession::FrameDone, finishWhenIdle);
  QObject::connect(&session, &session::LineSession::HeldTooLong, finishWhenIdle);
  const int status = QCoreApplication::exec();
  log({}, "stopped");
  return status;
}
