#include "serve/instrument_server.h"

#include <QSocketNotifier>
#include <QTimer>
#include <array>

#include "serve/line_speech.h"
#include "serve/listen_address.h"

namespace zrt::serve {

namespace {

// How much of a client's bytes is read at a time: one notification's worth,
// so that a client that floods does not hold up the others.
constexpr std::size_t kReadChunk = 4096;

}  // namespace

struct InstrumentServer::Client {
  QSocketNotifier* reading = nullptr;  // children of the server
  QSocketNotifier* writing = nullptr;
  net::StreamSocket socket;
  std::unique_ptr<Speech> speech;
  LineSplitter splitter;
  QByteArray output;          // not yet taken by the socket
  bool sendingEnded = false;  // it has shut its side: served, then closed
  std::chrono::steady_clock::time_point lastLine = std::chrono::steady_clock::now();
};

InstrumentServer::InstrumentServer(session::LineSession& session,
                                   std::function<session::LineSettings()> settings, QObject* parent)
    : QObject(parent), session_(session), settings_(std::move(settings)) {
  RouteSession(
      this, session_,
      [this](int source) -> Speech* {
        Client* client = Find(source);
        return client ? client->speech.get() : nullptr;
      },
      [this](Speech& speech) {
        if (Client* client = Find(speech.Source())) AfterWork(*client);
      });
}

InstrumentServer::~InstrumentServer() {
  blockSignals(true);  // whoever listened may be going too
  Stop();
}

void InstrumentServer::Listen(const std::string& host, std::uint16_t port) {
  Stop();
  listener_ = net::StreamSocket::Listen(host, port);
  host_ = host;
  port_ = listener_.LocalPort();
  accepting_ = new QSocketNotifier(listener_.Native(), QSocketNotifier::Read, this);
  connect(accepting_, &QSocketNotifier::activated, this, &InstrumentServer::Accept);
  const QString address = ListenAddressText(QString::fromStdString(host), port_);
  emit Event({ServerEvent::Kind::Listening, {}, address, net::IsLoopback(host) ? 0 : 1});
}

void InstrumentServer::Stop() {
  while (!clients_.empty()) Drop(*clients_.begin()->second);
  if (!listener_) return;
  accepting_->setEnabled(false);
  accepting_->deleteLater();
  accepting_ = nullptr;
  listener_.Close();
  emit Event({ServerEvent::Kind::Stopped, {}, {}});
}

int InstrumentServer::Clients() const { return static_cast<int>(clients_.size()); }

QString InstrumentServer::Origin(int source) const {
  const Client* client = Find(source);
  return client ? client->speech->Origin() : QString();
}

InstrumentServer::Client* InstrumentServer::Find(int source) const {
  const auto found = clients_.find(source);
  return found == clients_.end() ? nullptr : found->second.get();
}

void InstrumentServer::Accept() {
  for (;;) {
    std::string peer;
    std::string failure;
    net::StreamSocket socket = listener_.Accept(peer, &failure);
    if (!failure.empty()) return AcceptFailed(failure);
    if (!socket) return;
    acceptTrouble_ = false;
    const QString origin = "tcp " + QString::fromStdString(peer);
    if (Clients() >= maxClients_) {
      if (Client* idle = IdleLongest()) {
        Output(*idle, LineSpeech::Refusal("closed: another client came, and this one had sent "
                                          "nothing for longer than the server allows"));
        Drop(*idle, ServerEvent::Kind::Replaced);
      } else {
        const QByteArray why = LineSpeech::Refusal(
            QString("the instrument is shared with at most %1 clients").arg(maxClients_));
        socket.Write(why.constData(), static_cast<std::size_t>(why.size()));
        emit Event({ServerEvent::Kind::TooMany, origin, {}, maxClients_});
        continue;
      }
    }
    const int source = nextSource_++;
    auto client = std::make_unique<Client>();
    client->socket = std::move(socket);
    client->splitter = LineSplitter(maxLine_);
    SpeechContext context{session_,
                          settings_,
                          source,
                          origin,
                          [this](const ServerEvent& event) { emit Event(event); },
                          [this, source](const QByteArray& bytes) {
                            if (Client* c = Find(source)) Output(*c, bytes);
                          }};
    if (scpi_) {
      client->speech = std::make_unique<ScpiSpeech>(std::move(context), *scpi_);
    } else {
      client->speech = std::make_unique<LineSpeech>(std::move(context));
    }
    client->reading = new QSocketNotifier(client->socket.Native(), QSocketNotifier::Read, this);
    client->writing = new QSocketNotifier(client->socket.Native(), QSocketNotifier::Write, this);
    client->writing->setEnabled(false);
    connect(client->reading, &QSocketNotifier::activated, this, [this, source] {
      if (Client* c = Find(source)) Readable(*c);
    });
    connect(client->writing, &QSocketNotifier::activated, this, [this, source] {
      if (Client* c = Find(source)) Flush(*c);
    });
    clients_.emplace(source, std::move(client));
    emit Event({ServerEvent::Kind::Connected, origin, {}});
    emit ClientsChanged(Clients());
  }
}

void InstrumentServer::AcceptFailed(const std::string& why) {
  // The connection stays in the backlog: looked at again later, not at once.
  accepting_->setEnabled(false);
  QTimer::singleShot(std::chrono::seconds(1), accepting_, [this] { accepting_->setEnabled(true); });
  if (std::exchange(acceptTrouble_, true)) return;
  emit Event({ServerEvent::Kind::AcceptFailed, {}, QString::fromStdString(why)});
}

InstrumentServer::Client* InstrumentServer::IdleLongest() const {
  const auto now = std::chrono::steady_clock::now();
  Client* idle = nullptr;
  for (const auto& [source, client] : clients_) {
    if (client->sendingEnded || client->speech->Busy() || now - client->lastLine <= idleLimit_) {
      continue;
    }
    if (!idle || client->lastLine < idle->lastLine) idle = client.get();
  }
  return idle;
}

void InstrumentServer::Readable(Client& client) {
  std::array<char, kReadChunk> bytes;
  const std::ptrdiff_t got = client.socket.Read(bytes.data(), bytes.size());
  if (got == net::StreamSocket::kWouldBlock) return;
  if (got == net::StreamSocket::kFailed) return Drop(client);
  if (got == 0) {
    // Done sending (a pipe through socat, say): what it sent is still
    // served, a last line without its line feed too, and it is closed once
    // answered; its place is held till then, so that clients that shut
    // their side cannot queue past the bound. A client gone whole is found
    // out when a reply cannot be written.
    client.sendingEnded = true;
    client.reading->setEnabled(false);
    if (auto last = client.splitter.LineAtEnd()) TakePiece(client, std::move(*last));
    if (!client.socket) return;
    client.speech->Next();
    return AfterWork(client);
  }
  client.lastLine = std::chrono::steady_clock::now();
  for (auto& piece : client.splitter.Push({bytes.data(), static_cast<std::size_t>(got)})) {
    TakePiece(client, std::move(piece));
    if (!client.socket) return;
  }
  client.speech->Next();
  AfterWork(client);
}

void InstrumentServer::TakePiece(Client& client, LineSplitter::Piece piece) {
  if (std::holds_alternative<LineSplitter::TooLong>(piece)) {
    const std::size_t longest = client.splitter.Longest();
    emit Event(
        {ServerEvent::Kind::TooLong, client.speech->Origin(), {}, static_cast<int>(longest)});
    return client.speech->TakeTooLong(longest);
  }
  auto& line = std::get<std::string>(piece);
  if (!line.empty()) client.speech->Take(QByteArray::fromStdString(line));
}

void InstrumentServer::AfterWork(Client& client) {
  if (!client.socket) return;
  // Lines beyond what the instrument has taken wait in the client's socket.
  client.reading->setEnabled(!client.sendingEnded && client.speech->Waiting() < kQueueLimit);
  CloseWhenServed(client);
}

void InstrumentServer::Output(Client& client, const QByteArray& bytes) {
  if (!client.socket) return;
  client.output += bytes;
  Flush(client);
}

void InstrumentServer::Flush(Client& client) {
  while (!client.output.isEmpty()) {
    const std::ptrdiff_t put = client.socket.Write(client.output.constData(),
                                                   static_cast<std::size_t>(client.output.size()));
    if (put == net::StreamSocket::kFailed) return Drop(client);
    if (put == net::StreamSocket::kWouldBlock) break;
    client.output.remove(0, put);
  }
  if (client.output.size() > kOutputLimit) {
    return Drop(client, ServerEvent::Kind::NotReading);
  }
  client.writing->setEnabled(!client.output.isEmpty());
  CloseWhenServed(client);
}

void InstrumentServer::CloseWhenServed(Client& client) {
  if (client.sendingEnded && client.socket && !client.speech->Busy() && client.output.isEmpty()) {
    Drop(client);
  }
}

void InstrumentServer::Drop(Client& client, ServerEvent::Kind why) {
  if (!client.socket) return;
  // A notifier goes before its socket, and not from inside its own signal.
  for (QSocketNotifier* notifier : {client.reading, client.writing}) {
    notifier->setEnabled(false);
    notifier->deleteLater();
  }
  client.socket.Close();
  const int source = client.speech->Source();
  const ServerEvent said{
      why, client.speech->Origin(), {}, static_cast<int>(client.speech->Waiting())};
  client.speech->Close();
  // Whoever called may still hold it: it goes once they are done. A frame
  // of its own on the wire goes on to its end.
  gone_.push_back(std::move(clients_.extract(source).mapped()));
  QMetaObject::invokeMethod(
      this, [this] { gone_.clear(); }, Qt::QueuedConnection);
  emit Event(said);
  emit ClientsChanged(Clients());
}

}  // namespace zrt::serve
