#include "serve/port_mapper_service.h"

#include <QTimer>
#include <array>

namespace zrt::serve {

namespace {

// A port mapper's records are a few dozen bytes; this is far beyond any.
constexpr std::size_t kMostRecord = 64 * 1024;
// What a reply may wait to be written before its client is let go.
constexpr qsizetype kMostUnwritten = 64 * 1024;

}  // namespace

struct PortMapperService::Connection {
  net::StreamSocket socket;
  bool local = false;
  rpc::RecordReader records{kMostRecord};
  QByteArray output;
  QSocketNotifier* reading = nullptr;
  QSocketNotifier* writing = nullptr;
};

PortMapperService::PortMapperService(rpc::PortMapper& mapper, const std::string& host,
                                     std::uint16_t port, QObject* parent)
    : QObject(parent), mapper_(mapper) {
  listener_ = net::StreamSocket::Listen(host, port);
  port_ = listener_.LocalPort();
  datagrams_ = net::DatagramSocket::Bind(host, port_);
  accepting_ = new QSocketNotifier(listener_.Native(), QSocketNotifier::Read, this);
  connect(accepting_, &QSocketNotifier::activated, this, &PortMapperService::Accept);
  receiving_ = new QSocketNotifier(datagrams_.Native(), QSocketNotifier::Read, this);
  connect(receiving_, &QSocketNotifier::activated, this, &PortMapperService::Datagram);
}

PortMapperService::~PortMapperService() {
  while (!connections_.empty()) Close(connections_.front());
}

void PortMapperService::Accept() {
  for (;;) {
    std::string peer;
    net::StreamSocket socket = listener_.Accept(peer);
    if (!socket) return;
    if (connections_.size() >= kMostConnections) Close(connections_.front());
    Connection& connection = connections_.emplace_back();
    connection.socket = std::move(socket);
    connection.local =
        peer.starts_with("127.") || peer.starts_with("[::1]") || peer.starts_with("[::ffff:127.");
    connection.reading =
        new QSocketNotifier(connection.socket.Native(), QSocketNotifier::Read, this);
    connection.writing =
        new QSocketNotifier(connection.socket.Native(), QSocketNotifier::Write, this);
    connection.writing->setEnabled(false);
    Connection* at = &connection;  // a list's elements stay where they are
    connect(connection.reading, &QSocketNotifier::activated, this, [this, at] { Readable(*at); });
    connect(connection.writing, &QSocketNotifier::activated, this, [this, at] { Flush(*at); });
  }
}

void PortMapperService::Datagram() {
  std::array<char, 9000> bytes;
  for (;;) {
    net::Endpoint from;
    const std::ptrdiff_t got = datagrams_.ReceiveFrom(bytes.data(), bytes.size(), from);
    if (got < 0) return;
    const auto reply = mapper_.Answer(
        {reinterpret_cast<const std::uint8_t*>(bytes.data()), static_cast<std::size_t>(got)},
        from.IsLoopback());
    // A reply that cannot go now is dropped, as UDP drops it: the caller asks again.
    if (reply) {
      datagrams_.SendTo(reinterpret_cast<const char*>(reply->data()), reply->size(), from);
    }
  }
}

void PortMapperService::Readable(Connection& connection) {
  std::array<char, 4096> bytes;
  const std::ptrdiff_t got = connection.socket.Read(bytes.data(), bytes.size());
  if (got == net::StreamSocket::kWouldBlock) return;
  if (got <= 0) return Close(connection);
  for (const rpc::Bytes& record : connection.records.Push(
           {reinterpret_cast<const std::uint8_t*>(bytes.data()), static_cast<std::size_t>(got)})) {
    if (const auto reply = mapper_.Answer(record, connection.local)) {
      const rpc::Bytes marked = rpc::MarkRecord(*reply);
      connection.output.append(reinterpret_cast<const char*>(marked.data()),
                               static_cast<qsizetype>(marked.size()));
    }
  }
  if (connection.records.Failed()) return Close(connection);
  Flush(connection);
}

void PortMapperService::Flush(Connection& connection) {
  while (!connection.output.isEmpty()) {
    const std::ptrdiff_t put = connection.socket.Write(
        connection.output.constData(), static_cast<std::size_t>(connection.output.size()));
    if (put == net::StreamSocket::kFailed) return Close(connection);
    if (put == net::StreamSocket::kWouldBlock) break;
    connection.output.remove(0, put);
  }
  // One that asks without reading its answers is let go.
  if (connection.output.size() > kMostUnwritten) return Close(connection);
  connection.writing->setEnabled(!connection.output.isEmpty());
}

void PortMapperService::Close(Connection& connection) {
  // A notifier goes before its socket, and not from inside its own signal.
  for (QSocketNotifier* notifier : {connection.reading, connection.writing}) {
    notifier->setEnabled(false);
    notifier->deleteLater();
  }
  connection.socket.Close();
  connections_.remove_if([&](const Connection& c) { return &c == &connection; });
}

}  // namespace zrt::serve
