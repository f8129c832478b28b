#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>

#include "net/datagram_socket.h"

namespace zrt::net {

namespace {

bool Again(int code) { return code == EAGAIN || code == EWOULDBLOCK || code == EINTR; }

}  // namespace

DatagramSocket DatagramSocket::Bind(const std::string& host, std::uint16_t port, bool broadcast) {
  const std::string bound = host.empty() ? std::string("0.0.0.0") : host;
  const AddressList found(bound, std::to_string(port), true, Transport::Datagram);
  if (!found.First()) throw NetError(bound + ": " + found.Failure());
  std::string failure = bound + ":" + std::to_string(port) + ": no address";
  for (const addrinfo* a = found.First(); a; a = a->ai_next) {
    DatagramSocket socket(
        ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol));
    if (!socket) {
      failure = "socket: " + ErrorOf(errno).reason;
      continue;
    }
    const int fd = static_cast<int>(socket.Native());
    const int yes = 1;
    if ((broadcast && setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &yes, sizeof yes) != 0) ||
        bind(fd, a->ai_addr, a->ai_addrlen) != 0) {
      failure = bound + ":" + std::to_string(port) + ": " + ErrorOf(errno).reason;
      continue;
    }
    return socket;
  }
  throw NetError(failure);
}

std::ptrdiff_t DatagramSocket::ReceiveFrom(char* data, std::size_t size, Endpoint& from) const {
  socklen_t length = sizeof from.storage;
  const ssize_t got = ::recvfrom(static_cast<int>(socket_), data, size, 0,
                                 reinterpret_cast<sockaddr*>(from.storage.data()), &length);
  if (got < 0) return Again(errno) ? kWouldBlock : kFailed;
  from.size = static_cast<int>(length);
  return got;
}

std::ptrdiff_t DatagramSocket::SendTo(const char* data, std::size_t size,
                                      const Endpoint& to) const {
  const ssize_t put = ::sendto(static_cast<int>(socket_), data, size, MSG_NOSIGNAL,
                               reinterpret_cast<const sockaddr*>(to.storage.data()),
                               static_cast<socklen_t>(to.size));
  if (put < 0) return Again(errno) ? kWouldBlock : kFailed;
  return put;
}

}  // namespace zrt::net
