#include "cli/served_instrument.h"

#include <QCoreApplication>
#include <QFile>

#include "sequence/runner.h"
#include "sequence/sequence.h"

namespace zrt::cli {

namespace {

// The lines of the sequence file *RST runs; or why it cannot be read.
std::variant<std::vector<QString>, Exit> ResetLines(const QString& path) {
  std::vector<QString> lines;
  if (path.isEmpty()) return lines;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    return Exit{kUsage, path + ": " + file.errorString()};
  }
  const sequence::Parsed steps = sequence::ParseDevice(file, path);
  if (const auto* error = std::get_if<sequence::ParseError>(&steps)) {
    return Exit{kUsage, sequence::Describe(*error)};
  }
  for (const sequence::Step& step : std::get<std::vector<sequence::Step>>(steps)) {
    if (step.kind == sequence::Step::Kind::Send) lines.push_back(step.text);
  }
  return lines;
}

}  // namespace

std::variant<std::unique_ptr<ServedInstrument>, Exit> ServedInstrument::Open(
    const InstrumentOptions& options, const ServeOptions& server, EventLog log, bool named) {
  auto reset = ResetLines(options.resetFile);
  if (auto* exit = std::get_if<Exit>(&reset)) return std::move(*exit);
  auto opening = OpenLink(options.link);
  if (auto* exit = std::get_if<Exit>(&opening)) {
    if (exit->status != kUsage) exit->status = kCannotOpen;
    if (named) exit->text = options.name + ": " + exit->text;
    return std::move(*exit);
  }
  std::unique_ptr<ServedInstrument> instrument(new ServedInstrument(
      options, server, std::move(log), named, std::move(std::get<OpenedLink>(opening))));
  instrument->scpi_.resetLines = std::move(std::get<std::vector<QString>>(reset));
  return instrument;
}

ServedInstrument::ServedInstrument(const InstrumentOptions& options, const ServeOptions& server,
                                   EventLog log, bool named, OpenedLink opened)
    : options_(options),
      server_(server),
      log_(std::move(log)),
      named_(named),
      opened_(std::move(opened)),
      linkName_(options.link.usb ? QString("USB") : opened_.port),
      raw_(Session(), [this] { return opened_.link->Settings(); }),
      serial_(dynamic_cast<SerialLineLink*>(opened_.link.get())),
      portName_(opened_.port) {
  scpi_.face.identity = options.identity.isEmpty() ? scpi::DefaultIdentity(ZRT_VERSION)
                                                   : options.identity.toStdString();
  scpi_.face.waveforms = options.waveforms;
  scpi_.face.ranges = options.ranges;
  scpi_.face.resetConfigured = !options.resetFile.isEmpty();
  if (options.scpi) raw_.SetScpi(&scpi_);
  raw_.SetMaxClients(server.maxClients);
  raw_.SetMaxLine(static_cast<std::size_t>(server.maxLine));

  session::LineSession& session = Session();
  connect(&raw_, &serve::InstrumentServer::Event, this,
          [this](const serve::ServerEvent& e) { Say(e.origin, serve::Describe(e)); });
  connect(&session, &session::LineSession::FrameOnWire, this, [this](const session::Frame& f) {
    Say(Who(f.source), "sent " + sequence::Escaped(f.Bytes()));
  });
  connect(&session, &session::LineSession::Received, this, [this](int source, const QByteArray& b) {
    Say(Who(source), "received " + sequence::Escaped(b));
  });
  if (serial_) {
    serial_->DeliverAtOnce();
    watch_.Opened(QFile::encodeName(portName_).toStdString());
  }
  samePath_.setInterval(link::PortWatch::kPeriod);
  giveUp_.setSingleShot(true);
  connect(&samePath_, &QTimer::timeout, this, [this] { Reopen(portName_); });
  connect(&giveUp_, &QTimer::timeout, this, [this] {
    Say(portName_, QString("not back within %1 s (%2)")
                       .arg(server_.reopenWithin.count())
                       .arg(whyNotOpen_.isEmpty() ? QString("it did not come back") : whyNotOpen_));
    emit Gone(kCannotOpen);
  });
  // A frame the instrument held back too long is given up with the port,
  // and what waited in it: the port is opened afresh for the next lines.
  connect(&session, &session::LineSession::HeldTooLong, this, [this](const session::Frame& f) {
    Say(Who(f.source), "the instrument held output back too long: the line was given up");
    if (!serial_) return;
    if (!OpenPort(portName_)) {
      Say(portName_, "cannot be opened again: " + whyNotOpen_);
      return emit Gone(kCannotOpen);
    }
    Say(portName_, "opened afresh");
  });
  connect(&opened_.link->Line(), &sequence::LineLink::Lost, this, &ServedInstrument::Lost);
  connect(&watch_, &link::PortWatch::Back, this, &ServedInstrument::Reopen);
}

ServedInstrument::~ServedInstrument() = default;

void ServedInstrument::Listen() {
  if (options_.listening) {
    raw_.Listen(options_.listenHost.toStdString(), options_.listenPort);
  }
}

void ServedInstrument::Stop() { raw_.Stop(); }

serve::Vxi11Device ServedInstrument::Device() {
  return {options_.name, &Session(), [this] { return opened_.link->Settings(); }, &scpi_,
          static_cast<std::size_t>(server_.maxLine)};
}

QString ServedInstrument::Who(int source) const {
  QString origin = raw_.Origin(source);
  if (origin.isEmpty() && vxi11_) origin = vxi11_->Origin(source);
  return origin.isEmpty() ? linkName_ : origin;
}

void ServedInstrument::Say(const QString& who, const QString& what) const {
  log_(named_ ? options_.name + (who.isEmpty() ? QString() : " " + who) : who, what);
}

bool ServedInstrument::OpenPort(const QString& name) {
  try {
    serial_->Open(QFile::encodeName(name).toStdString(), options_.link.baud);
    return true;
  } catch (const std::exception& error) {
    whyNotOpen_ = QString::fromLocal8Bit(error.what());
    return false;
  }
}

void ServedInstrument::Reopen(const QString& name) {
  if (!OpenPort(name)) return;  // not yet: the next look tries again
  samePath_.stop();
  giveUp_.stop();
  watch_.Stop();
  watch_.Opened(QFile::encodeName(name).toStdString());
  portName_ = name;
  Session().LinkChanged();
  Say(name, "reopened");
}

void ServedInstrument::Lost() {
  const QString why = opened_.link->LostReason();
  Say(linkName_, "lost" + (why.isEmpty() ? QString() : ": " + why));
  if (!serial_) return;  // the USB bridge is opened again when it is plugged in
  if (watch_.Lost()) {
    Say(linkName_, "waiting for it to come back");
  } else {
    Say(linkName_, "waiting for it to come back at the same path");
    samePath_.start();
  }
  giveUp_.start(server_.reopenWithin);
}

}  // namespace zrt::cli
