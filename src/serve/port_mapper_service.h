// A port mapper of the server's own on TCP and UDP: the answers are
// rpc::PortMapper's, the sockets and turns are this one's. A datagram is
// answered where it came from (a broadcast GETPORT too, as discovery asks
// it); a TCP client's records are answered in order. SET and UNSET count
// only from this machine.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <cstdint>
#include <deque>
#include <string>

#include "net/datagram_socket.h"
#include "net/stream_socket.h"
#include "rpc/port_mapper.h"
#include "serve/record_stream.h"

namespace zrt::serve {

class PortMapperService : public QObject {
  Q_OBJECT

 public:
  // TCP connections held at once; a new one past them closes the oldest.
  static constexpr std::size_t kMostConnections = 32;

  // Serving `mapper` at `host` and `port` (rpc::kPortMapperPort, or 0 for
  // one the system picks, the same for both). Throws net::NetError.
  PortMapperService(rpc::PortMapper& mapper, const std::string& host, std::uint16_t port,
                    QObject* parent = nullptr);
  ~PortMapperService() override;

  std::uint16_t Port() const { return port_; }

 private:
  void Accept();
  void Datagram();
  void Close(RecordStream* connection);

  rpc::PortMapper& mapper_;
  net::StreamSocket listener_;
  net::DatagramSocket datagrams_;
  std::uint16_t port_ = 0;
  QSocketNotifier* accepting_ = nullptr;
  QSocketNotifier* receiving_ = nullptr;
  std::deque<RecordStream*> connections_;  // children, oldest first
};

}  // namespace zrt::serve
