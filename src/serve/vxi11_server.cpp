#include "serve/vxi11_server.h"

#include <QSocketNotifier>
#include <algorithm>
#include <deque>
#include <limits>

#include "rpc/vxi11.h"
#include "scpi/basic_wave.h"
#include "serve/listen_address.h"

namespace zrt::serve {

namespace vxi = rpc::vxi11;
using Clock = std::chrono::steady_clock;

namespace {

// A write's record: its header, parameters and data; a client that keeps
// to kMaxRecvSize stays far below it, one that does not is still served.
constexpr std::uint32_t kMostData = 64 * 1024;
constexpr std::size_t kMostRecord = kMostData + 1024;
constexpr std::uint32_t kMostDeviceName = 256;

}  // namespace

struct Vxi11Server::Link {
  std::int32_t id;
  std::size_t device;
  RecordStream* connection;  // the one that created it
  LineSplitter splitter;
  std::unique_ptr<ScpiSpeech> speech = nullptr;
  std::deque<QByteArray> responses = {};  // not yet read, oldest first
  Clock::time_point lastUse = Clock::now();
  bool scope = false;  // it spoke an oscilloscope's dialect
};

struct Vxi11Server::Pending {
  rpc::Bytes record;
  Clock::time_point started = Clock::now();
  Clock::time_point until = {};  // while it waits: when it gives up
  std::int32_t link = 0;         // the link it is of, once known
  bool aborted = false;
  bool taken = false;  // a write's data is with its link: it waits for the work
};

struct Vxi11Server::Connection {
  explicit Connection(RecordStream* s) : stream(s) {}
  RecordStream* stream;
  std::deque<rpc::Bytes> ahead;
  std::optional<Pending> pending;
  QTimer timer;  // while a call waits: its end
  bool working = false;
  bool again = false;
};

Vxi11Server::Vxi11Server(std::vector<Vxi11Device> devices, QObject* parent)
    : QObject(parent), devices_(std::move(devices)), lockedBy_(devices_.size(), 0) {
  forgotten_.setSingleShot(true);
  connect(&forgotten_, &QTimer::timeout, this, &Vxi11Server::TakeBackForgotten);
  for (const Vxi11Device& device : devices_) {
    RouteSession(
        this, *device.session,
        [this](int source) -> Speech* {
          Link* link = FindSource(source);
          return link ? link->speech.get() : nullptr;
        },
        [this](Speech&) { WakeWaiting(); });
  }
}

Vxi11Server::~Vxi11Server() {
  blockSignals(true);  // whoever listened may be going too
  Stop();
}

void Vxi11Server::Listen(const std::string& host, std::uint16_t corePort, std::uint16_t abortPort) {
  Stop();
  coreListener_ = net::StreamSocket::Listen(host, corePort);
  abortListener_ = net::StreamSocket::Listen(host, abortPort);
  host_ = host;
  corePort_ = coreListener_.LocalPort();
  abortPort_ = abortListener_.LocalPort();
  coreAccepting_ = new QSocketNotifier(coreListener_.Native(), QSocketNotifier::Read, this);
  connect(coreAccepting_, &QSocketNotifier::activated, this, [this] { Accept(coreListener_); });
  abortAccepting_ = new QSocketNotifier(abortListener_.Native(), QSocketNotifier::Read, this);
  connect(abortAccepting_, &QSocketNotifier::activated, this, [this] { Accept(abortListener_); });
  const QString address = ListenAddressText(QString::fromStdString(host), corePort_);
  emit Event({ServerEvent::Kind::Listening,
              {},
              QString("VXI-11 %1 (abort channel on port %2)").arg(address).arg(abortPort_),
              net::IsLoopback(host) ? 0 : 1});
}

void Vxi11Server::Stop() {
  while (!connections_.empty()) Ended(*connections_.begin()->second);
  if (!coreListener_) return;
  for (QSocketNotifier* notifier : {coreAccepting_, abortAccepting_}) {
    notifier->setEnabled(false);
    notifier->deleteLater();
  }
  coreAccepting_ = abortAccepting_ = nullptr;
  coreListener_.Close();
  abortListener_.Close();
  emit Event({ServerEvent::Kind::Stopped, {}, "VXI-11"});
}

QString Vxi11Server::Origin(int source) const {
  const Link* link = FindSource(source);
  return link ? link->speech->Origin() : QString();
}

int Vxi11Server::Waiting() const {
  return static_cast<int>(std::ranges::count_if(
      connections_, [](const auto& entry) { return entry.second->pending.has_value(); }));
}

Vxi11Server::Link* Vxi11Server::FindLink(std::int32_t id) const {
  const auto found = links_.find(id);
  return found == links_.end() ? nullptr : found->second.get();
}

Vxi11Server::Link* Vxi11Server::FindSource(int source) const {
  return FindLink(source - kFirstSource);
}

void Vxi11Server::Accept(net::StreamSocket& listener) {
  for (;;) {
    std::string peer;
    net::StreamSocket socket = listener.Accept(peer);
    if (!socket) return;
    if (connections_.size() >= kMostConnections) {
      emit Event({ServerEvent::Kind::TooMany,
                  "vxi11 " + QString::fromStdString(peer),
                  {},
                  static_cast<int>(kMostConnections)});
      continue;  // closed as it goes
    }
    auto* stream = new RecordStream(std::move(socket), std::move(peer), kMostRecord, this);
    auto connection = std::make_unique<Connection>(stream);
    Connection* at = connection.get();
    at->timer.setSingleShot(true);
    at->timer.setTimerType(Qt::PreciseTimer);
    connect(&at->timer, &QTimer::timeout, this, [this, at] { Work(*at); });
    connect(stream, &RecordStream::Record, this, [this, at](const rpc::Bytes& record) {
      at->ahead.push_back(record);
      if (at->ahead.size() >= kMostAhead) at->stream->Pause(true);
      Work(*at);
    });
    connect(stream, &RecordStream::Ended, this, [this, at] { Ended(*at); });
    connections_.emplace(stream, std::move(connection));
  }
}

void Vxi11Server::Ended(Connection& connection) {
  RecordStream* stream = connection.stream;
  const auto found = connections_.find(stream);
  if (found == connections_.end()) return;
  connection.timer.stop();
  // Whoever called may still hold it: it goes once the event loop comes back.
  std::shared_ptr<Connection> going(std::move(found->second));
  connections_.erase(found);
  stream->Close();
  stream->deleteLater();
  QMetaObject::invokeMethod(
      this, [going] {}, Qt::QueuedConnection);
  // A link whose client has gone is taken back.
  std::vector<Link*> orphans;
  for (const auto& [id, link] : links_) {
    if (link->connection == stream) orphans.push_back(link.get());
  }
  for (Link* link : orphans) DestroyLink(*link, "taken back: its connection closed");
}

void Vxi11Server::DestroyLink(Link& link, const QString& why) {
  const int dropped = static_cast<int>(link.speech->Waiting());
  link.speech->Close();
  if (lockedBy_[link.device] == link.id) lockedBy_[link.device] = 0;
  emit Event({ServerEvent::Kind::LinkClosed, link.speech->Origin(), why, dropped});
  // A frame of its own on the wire goes on to its end; the link goes once
  // whoever called is done with it.
  gone_.push_back(std::move(links_.extract(link.id).mapped()));
  QMetaObject::invokeMethod(
      this, [this] { gone_.clear(); }, Qt::QueuedConnection);
  WakeWaiting();  // for the lock, or a call of its own elsewhere
}

void Vxi11Server::TakeBackForgotten() {
  const auto now = Clock::now();
  std::vector<Link*> forgotten;
  std::optional<Clock::time_point> next;
  for (const auto& [id, link] : links_) {
    if (!link->scope) continue;
    Clock::time_point due = link->lastUse + scopeQuiet_;
    if (due <= now && !link->speech->Busy()) {
      forgotten.push_back(link.get());
      continue;
    }
    // One still at work is looked at again a quiet time later.
    if (due <= now) due = now + scopeQuiet_;
    if (!next || due < *next) next = due;
  }
  for (Link* link : forgotten) {
    DestroyLink(*link, "taken back: an oscilloscope's link, quiet too long");
  }
  if (!next) return forgotten_.stop();
  forgotten_.start(std::chrono::ceil<std::chrono::milliseconds>(*next - now));
}

Vxi11Server::Link* Vxi11Server::IdleLongest() const {
  const auto now = Clock::now();
  Link* idle = nullptr;
  for (const auto& [id, link] : links_) {
    if (link->speech->Busy() || now - link->lastUse <= idleLimit_) continue;
    bool waitedOn = false;
    for (const auto& [stream, connection] : connections_) {
      waitedOn = waitedOn || (connection->pending && connection->pending->link == id);
    }
    if (waitedOn) continue;
    if (!idle || link->lastUse < idle->lastUse) idle = link.get();
  }
  return idle;
}

void Vxi11Server::WakeWaiting() {
  std::vector<Connection*> waiting;
  for (const auto& [stream, connection] : connections_) {
    if (connection->pending) waiting.push_back(connection.get());
  }
  for (Connection* connection : waiting) {
    if (connections_.contains(connection->stream)) Work(*connection);
  }
}

void Vxi11Server::Work(Connection& connection) {
  if (connection.working) {
    connection.again = true;
    return;
  }
  connection.working = true;
  do {
    connection.again = false;
    while (connection.stream->Open()) {
      if (!connection.pending) {
        if (connection.ahead.empty()) break;
        connection.pending = Pending{std::move(connection.ahead.front())};
        connection.ahead.pop_front();
        connection.stream->Pause(false);
      }
      const std::optional<rpc::Bytes> reply = Serve(connection, *connection.pending);
      if (!reply) {
        // Waits: looked at again when something changes, and at its end.
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(connection.pending->until - Clock::now());
        connection.timer.start(std::max(left, std::chrono::milliseconds(1)));
        break;
      }
      connection.timer.stop();
      connection.pending.reset();
      if (!reply->empty()) connection.stream->Send(*reply);
    }
  } while (connection.again && connection.stream->Open());
  connection.working = false;
}

namespace {

// The reply to `call` with `error` in the shape its procedure answers in.
rpc::Bytes Failed(const rpc::Call& call, vxi::Error error, std::uint16_t abortPort) {
  rpc::XdrWriter out = rpc::Reply(call.xid, rpc::Accept::Success);
  switch (static_cast<vxi::Procedure>(call.procedure)) {
    case vxi::Procedure::CreateLink:
      vxi::WriteCreateLink(out, error, 0, abortPort, Vxi11Server::kMaxRecvSize);
      break;
    case vxi::Procedure::Write:
      vxi::WriteWrite(out, error, 0);
      break;
    case vxi::Procedure::Read:
      vxi::WriteRead(out, error, 0, {});
      break;
    case vxi::Procedure::ReadStatusByte:
      vxi::WriteStatusByte(out, error, 0);
      break;
    default:
      vxi::WriteError(out, error);
      if (call.procedure == 22) out.Opaque({});  // device_docmd's data_out
  }
  return out.Take();
}

}  // namespace

std::optional<rpc::Bytes> Vxi11Server::Serve(Connection& connection, Pending& pending) {
  rpc::XdrReader in(pending.record);
  const auto read = rpc::ReadCall(in);
  if (const auto* wrong = std::get_if<rpc::WrongRpcVersion>(&read)) {
    return rpc::RpcVersionMismatch(wrong->xid);
  }
  const auto* call = std::get_if<rpc::Call>(&read);
  if (!call) return rpc::Bytes{};  // no call: nothing to answer
  if (call->program != vxi::kCoreProgram && call->program != vxi::kAbortProgram) {
    return rpc::Reply(call->xid, rpc::Accept::ProgramUnavailable).Take();
  }
  if (call->version != vxi::kVersion) {
    return rpc::ProgramMismatch(call->xid, vxi::kVersion, vxi::kVersion);
  }
  if (call->procedure == 0) return rpc::Reply(call->xid, rpc::Accept::Success).Take();
  if (call->program == vxi::kAbortProgram) return Abort(*call, in);
  if (pending.aborted) return Failed(*call, vxi::Error::Aborted, abortPort_);
  return ServeCore(connection, pending, *call, in);
}

std::optional<rpc::Bytes> Vxi11Server::CreateLink(Connection& connection, Pending& pending,
                                                  const rpc::Call& call,
                                                  const vxi::CreateLinkParms& parms) {
  const QString origin = "vxi11 " + QString::fromStdString(connection.stream->Peer());
  const QString name = QString::fromStdString(parms.device);
  auto device = std::find_if(devices_.begin(), devices_.end(), [&](const Vxi11Device& d) {
    return d.name.compare(name, Qt::CaseInsensitive) == 0;
  });
  // VISA's and lxi-tools' default device is the first, whatever its name.
  if (device == devices_.end() && name.compare("inst0", Qt::CaseInsensitive) == 0) {
    device = devices_.begin();
  }
  if (device == devices_.end()) {
    emit Event({ServerEvent::Kind::NoDevice, origin, name});
    return Failed(call, vxi::Error::NotAccessible, abortPort_);
  }
  const auto index = static_cast<std::size_t>(device - devices_.begin());
  if (parms.lockDevice && lockedBy_[index] != 0) {
    pending.until = pending.started + std::chrono::milliseconds(parms.lockTimeoutMs);
    if (Clock::now() < pending.until) return std::nullopt;
    return Failed(call, vxi::Error::Locked, abortPort_);
  }
  if (Links() >= maxLinks_) {
    if (Link* idle = IdleLongest()) {
      DestroyLink(*idle, "taken back for a new link: it had been idle too long");
    } else {
      emit Event({ServerEvent::Kind::TooManyLinks, origin, {}, maxLinks_});
      return Failed(call, vxi::Error::OutOfResources, abortPort_);
    }
  }
  // Numbers are not given again while a link holds one.
  constexpr std::int32_t kLastLink = std::numeric_limits<int>::max() - kFirstSource;
  while (FindLink(nextLink_)) nextLink_ = nextLink_ >= kLastLink ? 1 : nextLink_ + 1;
  const std::int32_t id = nextLink_;
  nextLink_ = nextLink_ >= kLastLink ? 1 : nextLink_ + 1;
  const QString linkOrigin = QString("%1 %2 link %3").arg(origin, device->name).arg(id);
  SpeechContext context{*device->session,
                        device->settings,
                        kFirstSource + id,
                        linkOrigin,
                        [this](const ServerEvent& event) { emit Event(event); },
                        [this, id](const QByteArray& response) {
                          Link* link = FindLink(id);
                          if (!link || response.isEmpty()) return;
                          link->responses.push_back(response);
                          WakeWaiting();
                        }};
  auto link =
      std::make_unique<Link>(Link{id, index, connection.stream, LineSplitter(device->maxLine)});
  link->speech = std::make_unique<ScpiSpeech>(std::move(context), *device->scpi);
  links_.emplace(id, std::move(link));
  if (parms.lockDevice) lockedBy_[index] = id;
  emit Event({ServerEvent::Kind::LinkOpened, linkOrigin, device->name});
  rpc::XdrWriter out = rpc::Reply(call.xid, rpc::Accept::Success);
  vxi::WriteCreateLink(out, vxi::Error::None, id, abortPort_, kMaxRecvSize);
  return out.Take();
}

rpc::Bytes Vxi11Server::Abort(const rpc::Call& call, rpc::XdrReader& in) {
  if (call.procedure != static_cast<std::uint32_t>(vxi::Procedure::Abort)) {
    return rpc::Reply(call.xid, rpc::Accept::ProcedureUnavailable).Take();
  }
  const auto id = vxi::ReadLink(in);
  if (!id) return rpc::Reply(call.xid, rpc::Accept::GarbageArguments).Take();
  rpc::XdrWriter out = rpc::Reply(call.xid, rpc::Accept::Success);
  if (!FindLink(*id)) {
    vxi::WriteError(out, vxi::Error::InvalidLink);
    return out.Take();
  }
  // The link's waiting call ends, in its own connection's turn.
  for (const auto& [stream, connection] : connections_) {
    if (connection->pending && connection->pending->link == *id) {
      connection->pending->aborted = true;
      QMetaObject::invokeMethod(
          this,
          [this, stream = stream] {
            if (const auto at = connections_.find(stream); at != connections_.end()) {
              Work(*at->second);
            }
          },
          Qt::QueuedConnection);
    }
  }
  vxi::WriteError(out, vxi::Error::None);
  return out.Take();
}

std::optional<rpc::Bytes> Vxi11Server::ServeCore(Connection& connection, Pending& pending,
                                                 const rpc::Call& call, rpc::XdrReader& in) {
  using vxi::Error;
  using vxi::Procedure;
  const auto now = Clock::now();
  auto fail = [&](Error error) { return Failed(call, error, abortPort_); };
  auto garbage = [&] { return rpc::Reply(call.xid, rpc::Accept::GarbageArguments).Take(); };
  auto done = [&] { return fail(Error::None); };
  // Whether the call may wait on, up to `timeoutMs` after it came.
  auto mayWait = [&](std::uint32_t timeoutMs) {
    pending.until = pending.started + std::chrono::milliseconds(timeoutMs);
    return now < pending.until;
  };
  // Another link holds the device.
  auto lockedOut = [&](const Link& link) {
    const std::int32_t holder = lockedBy_[link.device];
    return holder != 0 && holder != link.id;
  };
  // The link a call names: its own or error 4, and the lock's word.
  struct Named {
    Link* link = nullptr;
    std::optional<rpc::Bytes> reply;  // the call is answered so (or waits)
    bool waits = false;
  };
  auto named = [&](std::int32_t id, std::uint32_t flags, std::uint32_t lockTimeoutMs) {
    Named result;
    pending.link = id;
    result.link = FindLink(id);
    if (!result.link) {
      result.reply = fail(Error::InvalidLink);
    } else if (lockedOut(*result.link)) {
      if ((flags & vxi::kWaitLock) && mayWait(lockTimeoutMs)) {
        result.waits = true;
      } else {
        result.reply = fail(Error::Locked);
      }
    } else {
      result.link->lastUse = now;
    }
    return result;
  };

  switch (static_cast<Procedure>(call.procedure)) {
    case Procedure::CreateLink: {
      const auto parms = vxi::ReadCreateLink(in, kMostDeviceName);
      if (!parms) return garbage();
      return CreateLink(connection, pending, call, *parms);
    }
    case Procedure::Write: {
      const auto parms = vxi::ReadWrite(in, kMostData);
      if (!parms) return garbage();
      Named n = named(parms->link, parms->flags, parms->lockTimeoutMs);
      if (n.waits) return std::nullopt;
      if (n.reply) return n.reply;
      Link& link = *n.link;
      // A link whose messages pile up is held here, as a socket's sender is.
      if (link.speech->Waiting() >= kMostAhead * 8) {
        if (mayWait(parms->ioTimeoutMs)) return std::nullopt;
        return fail(Error::IoTimeout);
      }
      if (!std::exchange(pending.taken, true)) {
        const std::string_view data(reinterpret_cast<const char*>(parms->data.data()),
                                    parms->data.size());
        std::vector<LineSplitter::Piece> pieces = link.splitter.Push(data);
        if (parms->flags & vxi::kEnd) {
          if (auto last = link.splitter.LineAtEnd()) pieces.push_back(std::move(*last));
        }
        for (LineSplitter::Piece& piece : pieces) {
          if (std::holds_alternative<LineSplitter::TooLong>(piece)) {
            const std::size_t longest = link.splitter.Longest();
            emit Event(
                {ServerEvent::Kind::TooLong, link.speech->Origin(), {}, static_cast<int>(longest)});
            link.speech->TakeTooLong(longest);
          } else if (auto& line = std::get<std::string>(piece); !line.empty()) {
            if (!link.scope && scpi::IsBasicWave(line)) {
              link.scope = true;
              TakeBackForgotten();  // its quiet is timed from now
            }
            link.speech->Take(QByteArray::fromStdString(line));
          }
        }
        link.speech->Next();
      }
      // Answered once its message is worked through, the instrument's last
      // reply whole: a client that sets and then measures (a scope's sweep
      // point) measures what it set. Past the call's timeout the data is
      // still taken, and the work goes on.
      if ((parms->flags & vxi::kEnd) && !link.speech->Settled() && mayWait(parms->ioTimeoutMs)) {
        return std::nullopt;
      }
      rpc::XdrWriter out = rpc::Reply(call.xid, rpc::Accept::Success);
      vxi::WriteWrite(out, Error::None, static_cast<std::uint32_t>(parms->data.size()));
      return out.Take();
    }
    case Procedure::Read: {
      const auto parms = vxi::ReadRead(in);
      if (!parms) return garbage();
      Named n = named(parms->link, parms->flags, parms->lockTimeoutMs);
      if (n.waits) return std::nullopt;
      if (n.reply) return n.reply;
      Link& link = *n.link;
      if (link.responses.empty()) {
        // Nothing under way: nothing can come.
        if (link.speech->Busy() && mayWait(parms->ioTimeoutMs)) return std::nullopt;
        return fail(Error::IoTimeout);
      }
      QByteArray& response = link.responses.front();
      qsizetype size = std::min<qsizetype>(response.size(), parms->requestSize);
      std::int32_t reason = 0;
      if (parms->flags & vxi::kTermCharSet) {
        const qsizetype at = response.indexOf(parms->termChar);
        if (at >= 0 && at < size) {
          size = at + 1;
          reason |= vxi::kReasonTermChar;
        }
      }
      const QByteArray data = response.left(size);
      if (size == response.size()) {
        reason |= vxi::kReasonEnd;
        link.responses.pop_front();
      } else {
        response.remove(0, size);
        if (size == static_cast<qsizetype>(parms->requestSize)) reason |= vxi::kReasonRequestCount;
      }
      rpc::XdrWriter out = rpc::Reply(call.xid, rpc::Accept::Success);
      vxi::WriteRead(out, Error::None, reason,
                     {reinterpret_cast<const std::uint8_t*>(data.constData()),
                      static_cast<std::size_t>(data.size())});
      return out.Take();
    }
    case Procedure::ReadStatusByte:
    case Procedure::Trigger:
    case Procedure::Clear:
    case Procedure::Remote:
    case Procedure::Local: {
      const auto parms = vxi::ReadGeneric(in);
      if (!parms) return garbage();
      Named n = named(parms->link, parms->flags, parms->lockTimeoutMs);
      if (n.waits) return std::nullopt;
      if (n.reply) return n.reply;
      Link& link = *n.link;
      switch (static_cast<Procedure>(call.procedure)) {
        case Procedure::ReadStatusByte: {
          rpc::XdrWriter out = rpc::Reply(call.xid, rpc::Accept::Success);
          vxi::WriteStatusByte(
              out, Error::None,
              static_cast<std::uint8_t>(link.speech->StatusByte(!link.responses.empty())));
          return out.Take();
        }
        case Procedure::Trigger:
          link.speech->Take("*TRG");
          link.speech->Next();
          break;
        case Procedure::Clear: {
          const int dropped =
              link.speech->Clear() + static_cast<int>(std::exchange(link.responses, {}).size());
          link.splitter = LineSplitter(link.splitter.Longest());
          emit Event({ServerEvent::Kind::Cleared, link.speech->Origin(), {}, dropped});
          break;
        }
        default:
          break;  // remote and local: nothing here to change
      }
      return done();
    }
    case Procedure::Lock: {
      const auto parms = vxi::ReadLock(in);
      if (!parms) return garbage();
      Named n = named(parms->link, parms->flags, parms->lockTimeoutMs);
      if (n.waits) return std::nullopt;
      if (n.reply) return n.reply;
      lockedBy_[n.link->device] = n.link->id;
      return done();
    }
    case Procedure::Unlock: {
      const auto id = vxi::ReadLink(in);
      if (!id) return garbage();
      Link* link = FindLink(*id);
      if (!link) return fail(Error::InvalidLink);
      if (lockedBy_[link->device] != link->id) return fail(Error::NoLockHeld);
      lockedBy_[link->device] = 0;
      WakeWaiting();
      return done();
    }
    case Procedure::DestroyLink: {
      const auto id = vxi::ReadLink(in);
      if (!id) return garbage();
      Link* link = FindLink(*id);
      if (!link) return fail(Error::InvalidLink);
      DestroyLink(*link, "destroyed");
      return done();
    }
    default:
      return fail(Error::NotSupported);
  }
}

}  // namespace zrt::serve
