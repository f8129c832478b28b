#include <winsock2.h>
#include <ws2tcpip.h>

#include "net/datagram_socket.h"

namespace zrt::net {

namespace {

SOCKET Raw(NativeSocket socket) { return static_cast<SOCKET>(socket); }

}  // namespace

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
