// One TCP connection carrying ONC RPC: what comes is cut into records and
// handed on in order; what is sent is marked as one record and written as
// the socket takes it. A peer that closes, fails, sends a record beyond
// the bound or does not read what it is sent past kMostUnwritten ends the
// stream (Ended, once); its owner lets it go with deleteLater.
#pragma once

#include <QByteArray>
#include <QObject>
#include <functional>
#include <string>

#include "net/stream_socket.h"
#include "rpc/record_marking.h"

class QSocketNotifier;

namespace zrt::serve {

class RecordStream : public QObject {
  Q_OBJECT

 public:
  static constexpr qsizetype kMostUnwritten = 256 * 1024;

  // `peer` as Accept gave it; records longer than `mostRecord` bytes end it.
  RecordStream(net::StreamSocket socket, std::string peer, std::size_t mostRecord,
               QObject* parent = nullptr);
  ~RecordStream() override;

  const std::string& Peer() const { return peer_; }
  // The peer's address is this machine's loopback.
  bool Local() const;
  bool Open() const { return static_cast<bool>(socket_); }
  // A reply, marked and written in its turn.
  void Send(const rpc::Bytes& message);
  // No more is read while paused: what the peer sends waits in its socket.
  void Pause(bool paused);
  // Ends the stream from this side: closed, Ended not emitted.
  void Close();

 signals:
  void Record(const rpc::Bytes& record);
  void Ended();

 private:
  void Readable();
  void Flush();
  void Fail();

  net::StreamSocket socket_;
  std::string peer_;
  rpc::RecordReader records_;
  QByteArray output_;
  QSocketNotifier* reading_;  // children
  QSocketNotifier* writing_;
};

}  // namespace zrt::serve
