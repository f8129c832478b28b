#include "net/datagram_socket.h"

#include <cstring>

#include "socket_headers.h"  // the system's, as the build chooses

namespace zrt::net {

DatagramSocket& DatagramSocket::operator=(DatagramSocket&& other) noexcept {
  if (this != &other) {
    Close();
    socket_ = other.Release();
  }
  return *this;
}

std::optional<Endpoint> Endpoint::Of(const std::string& address, std::uint16_t port) {
  if (!StartSockets()) return std::nullopt;
  Endpoint endpoint;
  sockaddr_in v4{};
  sockaddr_in6 v6{};
  if (inet_pton(AF_INET, address.c_str(), &v4.sin_addr) == 1) {
    v4.sin_family = AF_INET;
    v4.sin_port = htons(port);
    std::memcpy(endpoint.storage.data(), &v4, sizeof v4);
    endpoint.size = sizeof v4;
  } else if (inet_pton(AF_INET6, address.c_str(), &v6.sin6_addr) == 1) {
    v6.sin6_family = AF_INET6;
    v6.sin6_port = htons(port);
    std::memcpy(endpoint.storage.data(), &v6, sizeof v6);
    endpoint.size = sizeof v6;
  } else {
    return std::nullopt;
  }
  return endpoint;
}

bool Endpoint::IsLoopback() const {
  sockaddr_in v4{};
  sockaddr_in6 v6{};
  if (size == sizeof v4) {
    std::memcpy(&v4, storage.data(), sizeof v4);
    return (ntohl(v4.sin_addr.s_addr) >> 24) == 127;
  }
  std::memcpy(&v6, storage.data(), sizeof v6);
  if (IN6_IS_ADDR_V4MAPPED(&v6.sin6_addr)) return v6.sin6_addr.s6_addr[12] == 127;
  return IN6_IS_ADDR_LOOPBACK(&v6.sin6_addr);
}

std::string Endpoint::Name() const {
  return NumericName(reinterpret_cast<const sockaddr*>(storage.data()), size);
}

}  // namespace zrt::net
