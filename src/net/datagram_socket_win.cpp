#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstring>

#include "net/datagram_socket.h"

namespace zrt::net {

namespace {

SOCKET Raw(NativeSocket socket) { return static_cast<SOCKET>(socket); }

}  // namespace

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

DatagramSocket DatagramSocket::Bind(const std::string& host, std::uint16_t port, bool broadcast) {
  const std::string bound = host.empty() ? std::string("0.0.0.0") : host;
  const AddressList found(bound, std::to_string(port), true, Transport::Datagram);
  if (!found.First()) throw NetError(bound + ": " + found.Failure());
  std::string failure = bound + ":" + std::to_string(port) + ": no address";
  for (const addrinfo* a = found.First(); a; a = a->ai_next) {
    const SOCKET raw = socket(a->ai_family, a->ai_socktype, a->ai_protocol);
    DatagramSocket socket(raw == INVALID_SOCKET ? kNoSocket : static_cast<NativeSocket>(raw));
    if (!socket) {
      failure = "socket: " + ErrorOf(WSAGetLastError()).reason;
      continue;
    }
    const BOOL yes = TRUE;
    u_long on = 1;
    if ((broadcast && setsockopt(raw, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&yes),
                                 sizeof yes) != 0) ||
        bind(raw, a->ai_addr, static_cast<int>(a->ai_addrlen)) != 0 ||
        ioctlsocket(raw, FIONBIO, &on) != 0) {
      failure = bound + ":" + std::to_string(port) + ": " + ErrorOf(WSAGetLastError()).reason;
      continue;
    }
    return socket;
  }
  throw NetError(failure);
}

std::ptrdiff_t DatagramSocket::ReceiveFrom(char* data, std::size_t size, Endpoint& from) const {
  int length = static_cast<int>(from.storage.size());
  const int got = recvfrom(Raw(socket_), data, static_cast<int>(size), 0,
                           reinterpret_cast<sockaddr*>(from.storage.data()), &length);
  if (got < 0) {
    // A datagram longer than the buffer still came: its start is kept.
    if (WSAGetLastError() == WSAEMSGSIZE) {
      from.size = length;
      return static_cast<std::ptrdiff_t>(size);
    }
    return WSAGetLastError() == WSAEWOULDBLOCK ? kWouldBlock : kFailed;
  }
  from.size = length;
  return got;
}

std::ptrdiff_t DatagramSocket::SendTo(const char* data, std::size_t size,
                                      const Endpoint& to) const {
  const int put = sendto(Raw(socket_), data, static_cast<int>(size), 0,
                         reinterpret_cast<const sockaddr*>(to.storage.data()), to.size);
  if (put < 0) return WSAGetLastError() == WSAEWOULDBLOCK ? kWouldBlock : kFailed;
  return put;
}

}  // namespace zrt::net
