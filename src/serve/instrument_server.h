// The instrument served to other programs over TCP, one command line at a
// time, as instruments on a LAN serve SCPI on port 5025: a client sends
// lines ended by a line feed (a CR before it is dropped); each goes to the
// session as the panel's Send sends it, and what the instrument answers to
// it goes back to that client only, as the bytes came, with a line feed
// after it when it has none. A line nothing answers gets nothing back. The
// operator, a sequence run and every client take turns on the session, one
// frame on the wire at a time; each client has one line there at a time,
// so none waits behind another's backlog.
//
// A line goes to the instrument as its bytes stand, text in UTF-8 where it
// is valid UTF-8 (full-width ASCII then becomes ASCII, as from the
// window); a line with a character that has no byte, or with a control
// byte inside it (NUL, XON, XOFF, ESC, CR...), is refused with a line
// saying so: an XOFF in a frame can stall an instrument.
//
// Bounded whatever a client does: at most MaxClients clients (one more
// takes the place of the client idle longest, past IdleLimit, or is told
// so and closed; a client that has ended its sending holds no place); a
// line over MaxLine bytes is refused with a line saying so; a client with
// kQueueLimit lines waiting is no longer read until the instrument has
// taken some; one that does not read its replies is closed once
// kOutputLimit bytes wait for it; when connections cannot be taken (no
// descriptors left) it says so once and tries again a second later. A
// client that goes leaves its frame on the wire to finish; its waiting
// lines are dropped and counted; one that only shuts its sending side is
// served what it sent, its last line too, then closed. Everything runs on
// the owner's event loop on non-blocking sockets, and nothing wakes while
// clients are silent.
//
// With a SCPI face (SetScpi), clients speak SCPI instead: each message is
// worked through in order (scpi::Client), its sets and queries going to
// the session as the lines the key panels compose, one at a time, and its
// responses go back together at the message's end, as 488.2 has it.
#pragma once

#include <QObject>
#include <QString>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "net/stream_socket.h"
#include "serve/line_splitter.h"
#include "serve/scpi_speech.h"
#include "serve/server_event.h"
#include "serve/speech.h"
#include "session/line_session.h"

class QSocketNotifier;

namespace zrt::serve {

class InstrumentServer : public QObject {
  Q_OBJECT

 public:
  static constexpr std::uint16_t kDefaultPort = 5025;
  static constexpr int kDefaultMaxClients = 8;
  static constexpr std::size_t kQueueLimit = 64;
  static constexpr qsizetype kOutputLimit = 1 << 20;
  // Clients' lines are the session's sources from this number up.
  static constexpr int kFirstSource = 100;
  static constexpr std::chrono::milliseconds kDefaultIdleLimit{60000};

  // Lines go through `session` with the settings `settings` gives when
  // each is sent.
  InstrumentServer(session::LineSession& session, std::function<session::LineSettings()> settings,
                   QObject* parent = nullptr);
  ~InstrumentServer() override;

  // Listens on `host`:`port` (port 0: one the system picks); throws
  // NetError with the system's reason.
  void Listen(const std::string& host, std::uint16_t port);
  // Closes the listening socket and every client.
  void Stop();
  bool Listening() const { return static_cast<bool>(listener_); }
  const std::string& Host() const { return host_; }
  std::uint16_t Port() const { return port_; }
  // The clients holding a place: connected, until served and closed.
  int Clients() const;
  int MaxClients() const { return maxClients_; }
  void SetMaxClients(int limit) { maxClients_ = limit; }
  // The longest line a client may send (LineSplitter::kMostLongest at most),
  // for clients that connect from now on.
  void SetMaxLine(std::size_t bytes) { maxLine_ = bytes; }
  // How long a client must have sent nothing before a new one may take its
  // place when all are taken.
  void SetIdleLimit(std::chrono::milliseconds limit) { idleLimit_ = limit; }
  // "tcp ADDRESS:PORT" of the client whose lines are `source`'s, or empty.
  QString Origin(int source) const;
  // Clients that connect from now on speak SCPI as `setup` has it (kept by
  // the caller), or lines when it is null.
  void SetScpi(const ScpiSetup* setup) { scpi_ = setup; }

 signals:
  void Event(const ServerEvent& event);
  void ClientsChanged(int count);

 private:
  struct Client;
  void Accept();
  // Where a connection could not be taken: said once, tried again later.
  void AcceptFailed(const std::string& why);
  // The client idle longest past the idle limit, with nothing under way.
  Client* IdleLongest() const;
  void Readable(Client& client);
  void TakePiece(Client& client, LineSplitter::Piece piece);
  // After its speech has worked: reading again once its queue has room,
  // and closed once served when it has ended its sending.
  void AfterWork(Client& client);
  void Output(Client& client, const QByteArray& bytes);
  void Flush(Client& client);
  void CloseWhenServed(Client& client);
  void Drop(Client& client, ServerEvent::Kind why = ServerEvent::Kind::Disconnected);
  Client* Find(int source) const;

  session::LineSession& session_;
  std::function<session::LineSettings()> settings_;
  net::StreamSocket listener_;
  QSocketNotifier* accepting_ = nullptr;  // a child, while listening
  std::string host_;
  std::uint16_t port_ = 0;
  int maxClients_ = kDefaultMaxClients;
  std::size_t maxLine_ = LineSplitter::kDefaultLongest;
  std::chrono::milliseconds idleLimit_ = kDefaultIdleLimit;
  const ScpiSetup* scpi_ = nullptr;
  bool acceptTrouble_ = false;  // said, until a connection is taken again
  int nextSource_ = kFirstSource;
  std::map<int, std::unique_ptr<Client>> clients_;
  std::vector<std::unique_ptr<Client>> gone_;  // dropped, until the event loop comes back
};

}  // namespace zrt::serve
