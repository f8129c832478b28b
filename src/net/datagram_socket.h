// UDP sockets, as a port mapper and the clients that look for instruments
// use them: non-blocking from the start, each closed with the object that
// owns it; a datagram's sender kept to answer it. Failures carry the
// system's reason.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "net/stream_socket.h"
#include "net/system.h"

namespace zrt::net {

// Where a datagram came from, or goes to.
class Endpoint {
 public:
  // Numbers only ("127.0.0.1", "::1") and a port; nothing for a name.
  static std::optional<Endpoint> Of(const std::string& address, std::uint16_t port);
  // "127.0.0.1:53122", "[::1]:53122".
  std::string Name() const;
  bool IsLoopback() const;

  std::array<std::uint8_t, 128> storage{};  // the system's sockaddr
  int size = 0;
};

class DatagramSocket {
 public:
  static constexpr std::ptrdiff_t kWouldBlock = StreamSocket::kWouldBlock;
  static constexpr std::ptrdiff_t kFailed = StreamSocket::kFailed;

  DatagramSocket() = default;
  DatagramSocket(DatagramSocket&& other) noexcept : socket_(other.Release()) {}
  DatagramSocket& operator=(DatagramSocket&& other) noexcept;
  ~DatagramSocket() { Close(); }

  // Bound to `host` (a numeric address; empty: every IPv4 address) and
  // `port` (0: one the system picks). With `broadcast`, it may send to a
  // broadcast address too. Throws NetError.
  static DatagramSocket Bind(const std::string& host, std::uint16_t port, bool broadcast = false);

  // The next datagram's bytes (up to `size`, the rest dropped) and its
  // sender, or kWouldBlock or kFailed.
  std::ptrdiff_t ReceiveFrom(char* data, std::size_t size, Endpoint& from) const;
  // The bytes sent, or kWouldBlock or kFailed.
  std::ptrdiff_t SendTo(const char* data, std::size_t size, const Endpoint& to) const;

  std::uint16_t LocalPort() const { return LocalPortOf(socket_); }
  NativeSocket Native() const { return socket_; }
  explicit operator bool() const { return socket_ != kNoSocket; }
  void Close() {
    if (socket_ != kNoSocket) CloseSocket(Release());
  }

 private:
  explicit DatagramSocket(NativeSocket socket) : socket_(socket) {}
  NativeSocket Release() {
    const NativeSocket socket = socket_;
    socket_ = kNoSocket;
    return socket;
  }
  NativeSocket socket_ = kNoSocket;
};

}  // namespace zrt::net
