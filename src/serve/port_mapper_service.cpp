#include "serve/port_mapper_service.h"

#include <QTimer>
#include <array>

namespace zrt::serve {

namespace {

// A port mapper's records are a few dozen bytes; this is far beyond any.
constexpr std::size_t kMostRecord = 64 * 1024;

}  // namespace

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

PortMapperService::~PortMapperService() = default;

void PortMapperService::Accept() {
  for (;;) {
    std::string peer;
    net::StreamSocket socket = listener_.Accept(peer);
    if (!socket) return;
    if (connections_.size() >= kMostConnections) Close(connections_.front());
    auto* connection = new RecordStream(std::move(socket), std::move(peer), kMostRecord, this);
    connections_.push_back(connection);
    connect(connection, &RecordStream::Record, this, [this, connection](const rpc::Bytes& record) {
      if (const auto reply = mapper_.Answer(record, connection->Local())) connection->Send(*reply);
    });
    connect(connection, &RecordStream::Ended, this, [this, connection] { Close(connection); });
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

void PortMapperService::Close(RecordStream* connection) {
  std::erase(connections_, connection);
  connection->Close();
  connection->deleteLater();
}

}  // namespace zrt::serve
