// The shared instrument as VXI-11 devices, as LAN instruments serve it to
// VISA, lxi-tools and oscilloscopes: ONC RPC over TCP, a core channel
// (program 0x0607AF, version 1) and an abort channel (0x0607B0). Each link
// a client creates is a SCPI client of its device (ScpiSpeech), as on the
// raw socket: what it writes until END is one message, worked in order
// through that device's session; each message's response is read back.
//
//  - create_link names a device (case aside; "inst0", which is also the
//    first device where none has that name); it answers the
//    abort port and kMaxRecvSize. Past the bound on links, the link idle
//    longest past the idle limit is taken back for the new one, else the
//    call fails with error 9 (out of resources), said in the log.
//  - device_write joins chunks until END; lines within it are messages of
//    their own. A message longer than the longest line is -223 in turn. The
//    write ending a message is answered once the message is worked
//    through, the instrument's last reply whole, or at the call's io
//    timeout (the work goes on), so that what a client set is set when it
//    measures.
//  - device_read hands out the oldest response: END at its end, REQCNT
//    when the request's size ends it first, TERMCHR at a term character
//    asked for. When none waits it waits while one may still come, up to
//    the call's io timeout (error 15); with nothing under way it is error
//    15 at once.
//  - device_readstb answers *STB?'s byte (MAV while a response waits);
//    device_trigger is *TRG; device_clear drops what waits and what is
//    unread; device_remote and device_local change nothing.
//  - A link that spoke an oscilloscope's dialect (basic_wave.h) and is
//    quiet for kScopeQuiet is taken back: scopes open one a command and
//    may not destroy it.
//  - device_lock holds the device for its link: another link's calls wait
//    for it with the wait-lock flag, up to their lock timeout, and fail
//    with error 11 otherwise. destroy_link lets it go, and so does a link
//    whose connection closes: its links are taken back.
//  - The abort channel's device_abort ends the link's waiting call with
//    error 23.
//  - Every program answers its NULL procedure, a version it does not serve
//    with PROG_MISMATCH; the core channel's other procedures are error 8.
// One call of a connection is served at a time, in order; a call that
// waits holds only its own connection. Timers run only while a call waits.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "net/stream_socket.h"
#include "rpc/message.h"
#include "rpc/vxi11.h"
#include "serve/line_splitter.h"
#include "serve/record_stream.h"
#include "serve/scpi_speech.h"
#include "serve/server_event.h"
#include "session/line_session.h"

class QSocketNotifier;

namespace zrt::serve {

// One instrument as a VXI-11 device.
struct Vxi11Device {
  QString name;  // "inst0"
  session::LineSession* session;
  std::function<session::LineSettings()> settings;
  const ScpiSetup* scpi;  // kept by the caller
  std::size_t maxLine = LineSplitter::kDefaultLongest;
};

class Vxi11Server : public QObject {
  Q_OBJECT

 public:
  // The most bytes a device_write should carry; more come in chunks.
  static constexpr std::uint32_t kMaxRecvSize = 1024;
  static constexpr int kDefaultMaxLinks = 16;
  // Connections held at once; one more is closed at once, said in the log.
  static constexpr std::size_t kMostConnections = 64;
  // Calls a connection may send ahead of the one served.
  static constexpr std::size_t kMostAhead = 8;
  // Links' lines are their sessions' sources from this number up.
  static constexpr int kFirstSource = 1 << 20;
  static constexpr std::chrono::milliseconds kDefaultIdleLimit{60000};
  // A link that spoke an oscilloscope's dialect and then says nothing for
  // this long is one the scope forgot to destroy: it is taken back.
  static constexpr std::chrono::milliseconds kScopeQuiet{10000};

  explicit Vxi11Server(std::vector<Vxi11Device> devices, QObject* parent = nullptr);
  ~Vxi11Server() override;

  // Listens for the core and abort channels on `host` (ports the system
  // picks, unless given). Throws net::NetError with the system's reason.
  void Listen(const std::string& host, std::uint16_t corePort = 0, std::uint16_t abortPort = 0);
  void Stop();
  std::uint16_t CorePort() const { return corePort_; }
  std::uint16_t AbortPort() const { return abortPort_; }
  int Links() const { return static_cast<int>(links_.size()); }
  // Calls held waiting: for a response, the lock, or room for a message.
  int Waiting() const;
  void SetMaxLinks(int limit) { maxLinks_ = limit; }
  void SetIdleLimit(std::chrono::milliseconds limit) { idleLimit_ = limit; }
  void SetScopeQuiet(std::chrono::milliseconds quiet) { scopeQuiet_ = quiet; }
  // "vxi11 ADDRESS:PORT inst0 link N" of the link whose lines are
  // `source`'s, or empty.
  QString Origin(int source) const;

 signals:
  void Event(const ServerEvent& event);

 private:
  struct Link;
  struct Connection;
  struct Pending;
  // Either channel's connections are served alike.
  void Accept(net::StreamSocket& listener);
  void Ended(Connection& connection);
  // Serves the connection's calls in order until one waits.
  void Work(Connection& connection);
  // The reply to the call, or nothing while it waits (the connection's
  // timer set to when it gives up).
  std::optional<rpc::Bytes> Serve(Connection& connection, Pending& pending);
  std::optional<rpc::Bytes> ServeCore(Connection& connection, Pending& pending,
                                      const rpc::Call& call, rpc::XdrReader& in);
  std::optional<rpc::Bytes> CreateLink(Connection& connection, Pending& pending,
                                       const rpc::Call& call,
                                       const rpc::vxi11::CreateLinkParms& parms);
  rpc::Bytes Abort(const rpc::Call& call, rpc::XdrReader& in);
  // Work again on every connection with a call waiting.
  void WakeWaiting();
  Link* FindLink(std::int32_t id) const;
  Link* FindSource(int source) const;
  void DestroyLink(Link& link, const QString& why);
  // The link idle longest past the idle limit, with nothing under way.
  Link* IdleLongest() const;
  // Takes back the scopes' links quiet past kScopeQuiet, and looks again
  // when the next may be: the timer runs only while such links are held.
  void TakeBackForgotten();

  std::vector<Vxi11Device> devices_;
  std::vector<std::int32_t> lockedBy_;  // by device: the link holding it, or 0
  net::StreamSocket coreListener_;
  net::StreamSocket abortListener_;
  QSocketNotifier* coreAccepting_ = nullptr;  // children, while listening
  QSocketNotifier* abortAccepting_ = nullptr;
  std::string host_;
  std::uint16_t corePort_ = 0;
  std::uint16_t abortPort_ = 0;
  int maxLinks_ = kDefaultMaxLinks;
  std::chrono::milliseconds idleLimit_ = kDefaultIdleLimit;
  std::chrono::milliseconds scopeQuiet_ = kScopeQuiet;
  QTimer forgotten_;
  std::int32_t nextLink_ = 1;
  std::map<std::int32_t, std::unique_ptr<Link>> links_;
  std::map<RecordStream*, std::unique_ptr<Connection>> connections_;
  std::vector<std::unique_ptr<Link>> gone_;  // destroyed, until the event loop comes back
};

}  // namespace zrt::serve
