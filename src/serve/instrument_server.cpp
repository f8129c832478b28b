#include "serve/instrument_server.h"

#include <QSocketNotifier>
#include <QStringDecoder>
#include <QTimer>
#include <algorithm>
#include <array>

#include "protocol/send_steps.h"
#include "sequence/runner.h"
#include "serve/listen_address.h"

namespace zrt::serve {

namespace {

// How much of a client's bytes is read at a time: one notification's worth,
// so that a client that floods does not hold up the others.
constexpr std::size_t kReadChunk = 4096;

QByteArray Refusal(const QString& why) { return ("ERROR: " + why + "\n").toUtf8(); }

}  // namespace

QString Describe(const ServerEvent& event) {
  using Kind = ServerEvent::Kind;
  const QString dropped =
      event.count ? QString("; %1 waiting lines dropped").arg(event.count) : QString();
  switch (event.kind) {
    case Kind::Listening:
      return QString(event.count ? "listening on %1, which other machines can reach"
                                 : "listening on %1")
          .arg(event.text);
    case Kind::Connected:
      return "connected";
    case Kind::Disconnected:
      return "disconnected" + dropped;
    case Kind::NotReading:
      return "closed: it does not read what the instrument answers" + dropped;
    case Kind::TooMany:
      return QString("turned away: at most %1 clients").arg(event.count);
    case Kind::Replaced:
      return "closed for a new client: it had sent nothing for too long";
    case Kind::TooLong:
      return QString("a line longer than %1 bytes refused").arg(event.count);
    case Kind::NoByte:
      return QString("%1: not sent, the character at %2 has no byte the instrument takes")
          .arg(event.text, QString::number(event.count));
    case Kind::ControlByte:  // shown so that none acts on the terminal the log is read on
      return QString("%1: not sent, a control byte at %2")
          .arg(sequence::Escaped(protocol::ToLine(event.text), sequence::EscapeStyle::ControlsOnly),
               QString::number(event.count));
    case Kind::NotSent:
      return QString("%1: not sent, the port is not open").arg(event.text);
    case Kind::BadSettings:
      return QString("%1: not sent, the address or the rate is no number").arg(event.text);
    case Kind::LinkLost:
      return "the link was lost under its line" + dropped;
    case Kind::HeldTooLong:
      return QString("%1: given up, the instrument held output back too long").arg(event.text);
    case Kind::Stopped:
      return "stopped listening";
    case Kind::BeyondLimit:
      return QString("%1: not sent, %2")
          .arg(event.text, QString::fromStdString(guard::Describe(*event.breach)));
    case Kind::AcceptFailed:
      return QString("cannot take connections: %1; trying again each second").arg(event.text);
    case Kind::ScpiCommand:
      return "SCPI " + event.text;
    case Kind::ScpiError:
      return "SCPI error " + event.text;
  }
  return {};
}

struct InstrumentServer::Client {
  int source;
  QString origin;
  net::StreamSocket socket;
  QSocketNotifier* reading;  // children of the server
  QSocketNotifier* writing;
  LineSplitter splitter;
  std::deque<QByteArray> waiting;  // SCPI: a null one stands for a message too long
  bool inSession = false;          // a line of its own is with the session
  int answers = 0;                 // replies that may still come to its lines
  QByteArray output;               // not yet taken by the socket
  bool endedWithLineFeed = true;
  bool sendingEnded = false;  // it has shut its side: served, then closed
  std::chrono::steady_clock::time_point lastLine = std::chrono::steady_clock::now();
  // Speaking SCPI: its own client, the work of its messages in order, the
  // piece with the session and its reply, and the answers of the message
  // under way.
  struct Piece {
    scpi::Work work;
    bool endsMessage;
    bool reset = false;  // a line of the reset preset's
  };
  std::unique_ptr<scpi::Client> scpi = nullptr;
  std::deque<Piece> work = {};
  std::optional<Piece> current = std::nullopt;
  QByteArray reply = {};
  // The current piece was finished on its reply's line: the session's end
  // of that reply, which comes after, is not the next piece's.
  bool replyOwed = false;
  std::vector<std::string> said = {};  // the message under way's answers

  bool Busy() const { return inSession || !waiting.empty() || !work.empty() || current; }
};

namespace {

// A reply as SCPI reads it: its characters a byte each, line ends off.
std::string ReplyText(const QByteArray& bytes) {
  std::string text = bytes.toStdString();
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

}  // namespace

InstrumentServer::InstrumentServer(session::LineSession& session,
                                   std::function<session::LineSettings()> settings, QObject* parent)
    : QObject(parent), session_(session), settings_(std::move(settings)) {
  connect(&session_, &session::LineSession::Received, this,
          [this](int source, const QByteArray& block) {
            Client* client = Find(source);
            if (client && client->scpi) {
              if (!client->current) return;
              client->reply += block;
              // The instrument answers in a line: once it is whole the work
              // goes on, without waiting for the reply's quiet end; the next
              // line still waits for the session.
              if (client->reply.endsWith('\n')) {
                client->replyOwed = true;
                ScpiReplyEnded(*client, ReplyText(client->reply));
              }
            } else if (client && client->answers > 0) {
              Output(*client, block);
            }
          });
  connect(&session_, &session::LineSession::ReplyEnded, this, [this](int source, bool replied) {
    Client* client = Find(source);
    if (!client) return;
    if (client->scpi) {
      if (std::exchange(client->replyOwed, false)) {
        WorkNext(*client);
        return CloseWhenServed(*client);
      }
      return ScpiReplyEnded(*client,
                            replied ? std::optional(ReplyText(client->reply)) : std::nullopt);
    }
    client->answers = std::max(client->answers - 1, 0);
    if (replied && !client->endedWithLineFeed) Output(*client, "\n");
    CloseWhenServed(*client);
  });
  connect(&session_, &session::LineSession::FrameDone, this,
          [this](const session::Frame& frame, bool sent, qsizetype) {
            Client* client = Find(frame.source);
            if (sent || !client) return;
            emit Event({ServerEvent::Kind::NotSent, client->origin, frame.text});
            if (client->scpi) {
              ScpiError(*client, {-241, "Hardware missing; the port is not open"});
              return ScpiReplyEnded(*client, std::nullopt, true);
            }
            Output(*client, Refusal("not sent: the port is not open"));
          });
  connect(
      &session_, &session::LineSession::Refused, this,
      [this](const session::Frame& frame, const session::Refusal& why) {
        Client* client = Find(frame.source);
        if (!client) return;
        client->answers = std::max(client->answers - 1, 0);  // nothing answers it
        if (client->scpi) {
          if (why.breach) {
            emit Event({ServerEvent::Kind::BeyondLimit, client->origin, frame.text, 0, why.breach});
          }
          DropRestOfReset(*client);
          ScpiError(*client,
                    why.breach
                        ? scpi::Error{-222, "Data out of range; " + guard::Describe(*why.breach)}
                        : scpi::Error{-240, "Hardware error; the port refused the rate"});
          return ScpiReplyEnded(*client, std::nullopt, true);
        }
        if (why.breach) {
          emit Event({ServerEvent::Kind::BeyondLimit, client->origin, frame.text, 0, why.breach});
          return Output(*client, Refusal("not sent: " +
                                         QString::fromStdString(guard::Describe(*why.breach))));
        }
        emit Event({ServerEvent::Kind::BadSettings, client->origin, frame.text, 0});
        Output(*client, Refusal(QString("not sent: the port refused the rate: %1")
                                    .arg(QString::fromStdString(why.rateRefused.reason))));
      });
  connect(&session_, &session::LineSession::Abandoned, this, [this](int source, bool) {
    Client* client = Find(source);
    if (!client) return;
    const int dropped = static_cast<int>(client->waiting.size());
    client->waiting.clear();
    client->inSession = false;
    client->answers = 0;
    emit Event({ServerEvent::Kind::LinkLost, client->origin, {}, dropped});
    if (client->scpi) {
      client->work.clear();
      client->current.reset();
      client->replyOwed = false;
      ScpiError(*client, {-241, "Hardware missing; the link to the instrument was lost"});
      Output(*client, QByteArray::fromStdString(scpi::Client::Response(client->said)));
      client->said.clear();
      if (client->socket && !client->sendingEnded) client->reading->setEnabled(true);
      return CloseWhenServed(*client);
    }
    Output(
        *client,
        Refusal(
            QString("the link to the instrument was lost; %1 waiting lines dropped").arg(dropped)));
    if (client->socket && !client->sendingEnded) client->reading->setEnabled(true);
    CloseWhenServed(*client);
  });
  connect(&session_, &session::LineSession::HeldTooLong, this, [this](const session::Frame& frame) {
    Client* client = Find(frame.source);
    if (!client) return;
    client->inSession = false;
    client->answers = 0;
    emit Event({ServerEvent::Kind::HeldTooLong, client->origin, frame.text});
    if (client->scpi) {
      ScpiError(*client, {-240, "Hardware error; the instrument held output back too long"});
      ScpiReplyEnded(*client, std::nullopt, true);
      SubmitNext(*client);
      return CloseWhenServed(*client);
    }
    Output(*client,
           Refusal("the instrument held output back (XOFF) too long: the line was given up"));
    SubmitNext(*client);
    CloseWhenServed(*client);
  });
  connect(&session_, &session::LineSession::SourceReady, this, [this](int source) {
    if (Client* client = Find(source)) {
      client->inSession = false;
      SubmitNext(*client);
      CloseWhenServed(*client);
    }
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
  return client ? client->origin : QString();
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
        Output(*idle, Refusal("closed: another client came, and this one had sent nothing for "
                              "longer than the server allows"));
        Drop(*idle, ServerEvent::Kind::Replaced);
      } else {
        const QByteArray why =
            Refusal(QString("the instrument is shared with at most %1 clients").arg(maxClients_));
        socket.Write(why.constData(), static_cast<std::size_t>(why.size()));
        emit Event({ServerEvent::Kind::TooMany, origin, {}, maxClients_});
        continue;
      }
    }
    const int source = nextSource_++;
    auto client = std::make_unique<Client>(Client{source,
                                                  origin,
                                                  std::move(socket),
                                                  nullptr,
                                                  nullptr,
                                                  LineSplitter(maxLine_),
                                                  {},
                                                  false,
                                                  0,
                                                  {},
                                                  true,
                                                  false});
    if (face_) client->scpi = std::make_unique<scpi::Client>(*face_);
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
    if (client->sendingEnded || client->Busy() || client->answers > 0 ||
        now - client->lastLine <= idleLimit_) {
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
    SubmitNext(client);
    return CloseWhenServed(client);
  }
  client.lastLine = std::chrono::steady_clock::now();
  for (auto& piece : client.splitter.Push({bytes.data(), static_cast<std::size_t>(got)})) {
    TakePiece(client, std::move(piece));
    if (!client.socket) return;
  }
  // Lines beyond what the instrument has taken wait in the client's socket.
  if (client.waiting.size() >= kQueueLimit) client.reading->setEnabled(false);
  SubmitNext(client);
}

void InstrumentServer::TakePiece(Client& client, LineSplitter::Piece piece) {
  if (std::holds_alternative<LineSplitter::TooLong>(piece)) {
    const auto longest = static_cast<int>(client.splitter.Longest());
    emit Event({ServerEvent::Kind::TooLong, client.origin, {}, longest});
    // A SCPI client is told in its error queue, in turn: a line of text
    // now would be read as the answer to a query of its own.
    if (client.scpi) return void(client.waiting.emplace_back());
    return Output(client, Refusal(QString("line longer than %1 bytes, not sent").arg(longest)));
  }
  auto& line = std::get<std::string>(piece);
  if (!line.empty()) client.waiting.emplace_back(QByteArray::fromStdString(line));
}

namespace {

// A client's line as text: UTF-8 where its bytes are that, else a
// character a byte.
QString Decoded(const QByteArray& bytes) {
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString text = utf8(bytes);
  return utf8.hasError() ? QString::fromLatin1(bytes) : text;
}

}  // namespace

bool InstrumentServer::RefusedBytes(Client& client, const QString& text) {
  // Control characters first: each has a byte, so the line is shown whole.
  const auto control = std::find_if(
      text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; });
  if (control != text.end()) {
    const int at = static_cast<int>(control - text.begin()) + 1;
    emit Event({ServerEvent::Kind::ControlByte, client.origin, text, at});
    Output(client, Refusal(QString("not sent: a control byte (0x%1) at byte %2 of the line")
                               .arg(control->unicode(), 2, 16, QChar('0'))
                               .arg(at)));
    return true;
  }
  if (const auto missing = protocol::FirstWithoutByte(text)) {
    emit Event({ServerEvent::Kind::NoByte, client.origin, text, missing->position});
    Output(client, Refusal("not sent: " + protocol::Describe(*missing) +
                           " has no byte the instrument takes"));
    return true;
  }
  return false;
}

void InstrumentServer::SubmitNext(Client& client) {
  if (client.scpi) return WorkNext(client);
  while (client.socket && !client.inSession && !client.waiting.empty()) {
    const QString text = Decoded(client.waiting.front());
    client.waiting.pop_front();
    if (client.waiting.size() < kQueueLimit && !client.sendingEnded) {
      client.reading->setEnabled(true);
    }
    if (RefusedBytes(client, text)) continue;
    try {
      session::Frame frame = session_.Prepare(client.source, text, settings_());
      client.inSession = true;
      ++client.answers;  // before the session ends the reply to the line before
      session_.Submit(std::move(frame));
    } catch (const std::exception& error) {  // an address or a rate that is no number
      emit Event({ServerEvent::Kind::BadSettings, client.origin, text, 0});
      Output(client, Refusal(QString("not sent: %1").arg(error.what())));
    }
  }
}

void InstrumentServer::SetScpi(const scpi::Face* face, std::vector<QString> resetLines) {
  face_ = face;
  resetLines_ = std::move(resetLines);
}

void InstrumentServer::WorkNext(Client& client) {
  using Kind = scpi::Work::Kind;
  // What is answered here goes on while the session still ends the reply
  // before; what goes to the instrument waits for the session.
  while (client.socket && !client.current) {
    if (!client.work.empty()) {
      const scpi::Work& next = client.work.front().work;
      const bool toInstrument =
          next.kind == Kind::Send || next.kind == Kind::Ask || next.kind == Kind::Reset;
      // FUNC? answers from the known settings, which learn a reply at its end.
      const bool readsKnown = next.kind == Kind::Local && next.command == scpi::Command::Shape;
      if ((toInstrument && client.inSession) || (readsKnown && client.replyOwed)) return;
    }
    if (client.work.empty()) {
      if (client.waiting.empty() || client.inSession) return;
      const bool tooLong = client.waiting.front().isNull();
      const std::string message = Decoded(client.waiting.front()).toStdString();
      client.waiting.pop_front();
      if (client.waiting.size() < kQueueLimit && !client.sendingEnded) {
        client.reading->setEnabled(true);
      }
      std::vector<scpi::Work> work =
          tooLong
              ? std::vector<scpi::Work>{{.kind = scpi::Work::Kind::Refuse,
                                         .error = {-223,
                                                   "Too much data; the message is "
                                                   "longer than a line may be"}}}
              : client.scpi->Take(message, settings_().address.toStdString(), session_.Limits());
      for (std::size_t i = 0; i < work.size(); ++i) {
        client.work.push_back({std::move(work[i]), i + 1 == work.size()});
      }
      continue;
    }
    Client::Piece piece = std::move(client.work.front());
    client.work.pop_front();
    if (piece.work.kind != Kind::Refuse || !piece.work.unit.empty()) {
      emit Event(
          {ServerEvent::Kind::ScpiCommand, client.origin, QString::fromStdString(piece.work.unit)});
    }
    if (piece.work.kind == Kind::Reset) {
      // The reset preset's lines, sent as sets, ahead of what follows.
      for (auto line = resetLines_.rbegin(); line != resetLines_.rend(); ++line) {
        scpi::Work send{.kind = Kind::Send, .line = line->toStdString()};
        const bool last = line == resetLines_.rbegin() && piece.endsMessage;
        client.work.push_front({std::move(send), last, true});
      }
      if (resetLines_.empty() && piece.endsMessage) {
        Output(client, QByteArray::fromStdString(scpi::Client::Response(client.said)));
        client.said.clear();
      }
      continue;
    }
    if (piece.work.kind == Kind::Send || piece.work.kind == Kind::Ask) {
      try {
        session::Frame frame =
            session_.Prepare(client.source, QString::fromStdString(piece.work.line), settings_());
        client.current = std::move(piece);
        client.reply.clear();
        client.inSession = true;
        session_.Submit(std::move(frame));
      } catch (const std::exception& error) {  // an address or a rate that is no number
        ScpiError(client, {-240, std::string("Hardware error; ") + error.what()});
        client.current = std::move(piece);
        FinishScpiPiece(client, std::nullopt, true);
      }
      continue;
    }
    const std::size_t before = client.scpi->Errors().Count();
    client.said.push_back(client.scpi->Local(piece.work, session_.Known(), session_.Limits()));
    PieceDone(client, before, piece.endsMessage);
  }
}

void InstrumentServer::DropRestOfReset(Client& client) {
  if (!client.current || !client.current->reset) return;
  // A preset refused part way is not run on: nothing after the refused line.
  while (!client.work.empty() && client.work.front().reset) {
    client.current->endsMessage = client.current->endsMessage || client.work.front().endsMessage;
    client.work.pop_front();
  }
}

void InstrumentServer::PieceDone(Client& client, std::size_t errorsBefore, bool endsMessage) {
  if (client.scpi->Errors().Count() > errorsBefore) {
    emit Event({ServerEvent::Kind::ScpiError, client.origin,
                QString::fromStdString(scpi::ErrorQueue::Said(*client.scpi->Errors().Newest()))});
  }
  if (endsMessage) {
    Output(client, QByteArray::fromStdString(scpi::Client::Response(client.said)));
    client.said.clear();
  }
}

void InstrumentServer::ScpiReplyEnded(Client& client, std::optional<std::string> reply,
                                      bool failed) {
  FinishScpiPiece(client, std::move(reply), failed);
  WorkNext(client);
  CloseWhenServed(client);
}

void InstrumentServer::FinishScpiPiece(Client& client, std::optional<std::string> reply,
                                       bool failed) {
  if (!client.current) return;
  const Client::Piece piece = std::move(*client.current);
  client.current.reset();
  const std::size_t before = client.scpi->Errors().Count();
  if (piece.work.kind == scpi::Work::Kind::Ask) {
    client.said.push_back(failed ? "9.91E+37" : client.scpi->Asked(piece.work, reply));
  } else if (!failed) {
    client.scpi->Sent(reply);
  }
  PieceDone(client, before, piece.endsMessage);
}

void InstrumentServer::ScpiError(Client& client, const scpi::Error& error) {
  client.scpi->NotSent(error);
  emit Event({ServerEvent::Kind::ScpiError, client.origin,
              QString::fromStdString(scpi::ErrorQueue::Said(error))});
}

void InstrumentServer::Output(Client& client, const QByteArray& bytes) {
  if (!client.socket) return;
  client.output += bytes;
  client.endedWithLineFeed = bytes.endsWith('\n');
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
  if (client.sendingEnded && client.socket && !client.Busy() && client.answers == 0 &&
      client.output.isEmpty()) {
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
  const ServerEvent said{why, client.origin, {}, static_cast<int>(client.waiting.size())};
  client.waiting.clear();
  // Whoever called may still hold it: it goes once they are done. A frame
  // of its own on the wire goes on to its end.
  gone_.push_back(std::move(clients_.extract(client.source).mapped()));
  QMetaObject::invokeMethod(
      this, [this] { gone_.clear(); }, Qt::QueuedConnection);
  emit Event(said);
  emit ClientsChanged(Clients());
}

}  // namespace zrt::serve
