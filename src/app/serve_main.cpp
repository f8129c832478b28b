// zrt-serve: the instruments' links held without a window and shared with
// other programs over TCP (raw sockets, VXI-11); every event logged to
// standard error.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <memory>
#include <vector>

#include "cli/serve_options.h"
#include "cli/served_instrument.h"
#include "cli/stop_request.h"
#include "rpc/vxi11.h"
#include "serve/rpc_publication.h"
#include "serve/vxi11_server.h"

namespace {

using namespace zrt;

int Fail(int status, const QString& text) {
  std::fprintf(stderr, "zrt-serve: %s\n", text.toLocal8Bit().constData());
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const auto parsed = cli::ParseServeOptions(app.arguments());
  if (const auto* exit = std::get_if<cli::Exit>(&parsed)) {
    std::fputs(exit->text.toLocal8Bit().constData(), exit->status == 0 ? stdout : stderr);
    return exit->status;
  }
  const cli::ServeOptions& options = std::get<cli::ServeOptions>(parsed);

  // One line an event: the time since the start in ms, who it concerns, what.
  QElapsedTimer clock;
  clock.start();
  const cli::EventLog log = [&clock](const QString& who, const QString& what) {
    std::fprintf(stderr, "%8lld ms  %s%s%s\n", static_cast<long long>(clock.elapsed()),
                 who.toLocal8Bit().constData(), who.isEmpty() ? "" : ": ",
                 what.toLocal8Bit().constData());
    std::fflush(stderr);
  };

  const bool several = options.instruments.size() > 1;
  std::vector<std::unique_ptr<cli::ServedInstrument>> instruments;
  for (const cli::InstrumentOptions& each : options.instruments) {
    auto opened = cli::ServedInstrument::Open(each, options, log, several);
    if (auto* exit = std::get_if<cli::Exit>(&opened)) return Fail(exit->status, exit->text);
    instruments.push_back(std::move(std::get<std::unique_ptr<cli::ServedInstrument>>(opened)));
    // A port not back in time ends a server of one instrument, for a
    // service manager to start it again rather than it answering every
    // client that the port is not open; with several, the others go on
    // and it is waited for still.
    QObject::connect(instruments.back().get(), &cli::ServedInstrument::Gone, [&, several](int s) {
      if (several) return log(each.name, "still waited for; the other instruments go on");
      log({}, "ending");
      QCoreApplication::exit(s);
    });
  }

  // VXI-11: each instrument a device, on the same SCPI face as its raw socket.
  std::unique_ptr<serve::Vxi11Server> vxi11;
  if (options.vxi11) {
    std::vector<serve::Vxi11Device> devices;
    for (const auto& instrument : instruments) devices.push_back(instrument->Device());
    vxi11 = std::make_unique<serve::Vxi11Server>(std::move(devices));
    for (const auto& instrument : instruments) instrument->SetVxi11(vxi11.get());
    QObject::connect(vxi11.get(), &serve::Vxi11Server::Event,
                     [&](const serve::ServerEvent& e) { log(e.origin, serve::Describe(e)); });
  }
  try {
    for (const auto& instrument : instruments) instrument->Listen();
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
          Fail(cli::kCannotListen, text);
          QCoreApplication::exit(cli::kCannotListen);
        },
        Qt::QueuedConnection);  // after the event loop has started
    publication->Start();
  }

  // A stop waits for the frames going out, which the hold limit bounds.
  cli::StopRequest stop;
  bool stopping = false;
  auto finishWhenIdle = [&] {
    if (!stopping) return;
    for (const auto& instrument : instruments) {
      if (instrument->Session().Sending()) return;
    }
    QCoreApplication::quit();
  };
  QObject::connect(&stop, &cli::StopRequest::Requested, [&] {
    if (std::exchange(stopping, true)) return QCoreApplication::quit();  // asked twice
    log({}, "stopping");
    for (const auto& instrument : instruments) instrument->Stop();
    if (vxi11) vxi11->Stop();
    finishWhenIdle();
  });
  for (const auto& instrument : instruments) {
    session::LineSession& session = instrument->Session();
    QObject::connect(&session, &session::LineSession::FrameDone, finishWhenIdle);
    QObject::connect(&session, &session::LineSession::HeldTooLong, finishWhenIdle);
  }
  const int status = QCoreApplication::exec();
  log({}, "stopped");
  return status;
}
