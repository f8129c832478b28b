#include "net/stream_socket.h"

namespace zrt::net {

StreamSocket& StreamSocket::operator=(StreamSocket&& other) noexcept {
  if (this != &other) {
    Close();
    socket_ = other.Release();
  }
  return *this;
}

bool IsLoopback(const std::string& host) {
  return host == "localhost" || host.starts_with("127.") || host == "::1" || host == "[::1]";
}

}  // namespace zrt::net
