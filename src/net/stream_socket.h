// TCP sockets as the instrument server needs them, on the system's own
// interface (POSIX sockets, or Winsock on Windows): non-blocking from the
// start, each closed with the object that owns it. Failures carry the
// system's reason.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "net/system.h"

namespace zrt::net {

class NetError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class StreamSocket {
 public:
  // What Read and Write return besides a count of bytes.
  static constexpr std::ptrdiff_t kWouldBlock = -1;
  static constexpr std::ptrdiff_t kFailed = -2;

  StreamSocket() = default;
  explicit StreamSocket(NativeSocket socket) : socket_(socket) {}
  StreamSocket(StreamSocket&& other) noexcept : socket_(other.Release()) {}
  StreamSocket& operator=(StreamSocket&& other) noexcept;
  ~StreamSocket() { Close(); }

  // Listening on `host` (a numeric address, or "localhost") and `port` (0:
  // one the system picks). Throws NetError.
  static StreamSocket Listen(const std::string& host, std::uint16_t port, int backlog = 16);
  // A connection to `host`:`port`, made before it returns (tests and tools).
  static StreamSocket Connect(const std::string& host, std::uint16_t port);

  // A connection waiting to be accepted, or an empty socket when none is;
  // `peer` is set to its address ("127.0.0.1:53122", "[::1]:53122"). When
  // one waits but cannot be taken for lack of descriptors or memory,
  // `failure` (if given) is set to the system's reason.
  StreamSocket Accept(std::string& peer, std::string* failure = nullptr) const;
  // The port the socket is bound to.
  std::uint16_t LocalPort() const;

  // The bytes read (0: the peer has closed), or kWouldBlock or kFailed.
  std::ptrdiff_t Read(char* data, std::size_t size) const;
  // The bytes written, or kWouldBlock or kFailed (the peer has gone).
  std::ptrdiff_t Write(const char* data, std::size_t size) const;

  NativeSocket Native() const { return socket_; }
  explicit operator bool() const { return socket_ != kNoSocket; }
  void Close();

 private:
  NativeSocket Release() {
    const NativeSocket socket = socket_;
    socket_ = kNoSocket;
    return socket;
  }
  NativeSocket socket_ = kNoSocket;
};

// Whether `host` names this machine's loopback only.
bool IsLoopback(const std::string& host);

}  // namespace zrt::net
