#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "net/stream_socket.h"
#include "net/system.h"

namespace zrt::net {

namespace {

std::string Reason(const std::string& what, int code) { return what + ": " + ErrorOf(code).reason; }

}  // namespace

void StreamSocket::Close() {
  if (socket_ != kNoSocket) CloseSocket(Release());
}

StreamSocket StreamSocket::Listen(const std::string& host, std::uint16_t port, int backlog) {
  const AddressList found(host, std::to_string(port), true);
  if (!found.First()) throw NetError(host + ": " + found.Failure());
  std::string failure = host + ":" + std::to_string(port) + ": no address";
  for (const addrinfo* a = found.First(); a; a = a->ai_next) {
    StreamSocket socket(
        ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol));
    if (!socket) {
      failure = Reason("socket", errno);
      continue;
    }
    const int yes = 1;  // a port left in TIME_WAIT by the last run is taken again
    setsockopt(static_cast<int>(socket.Native()), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    if (bind(static_cast<int>(socket.Native()), a->ai_addr, a->ai_addrlen) != 0 ||
        listen(static_cast<int>(socket.Native()), backlog) != 0) {
      failure = Reason(host + ":" + std::to_string(port), errno);
      continue;
    }
    return socket;
  }
  throw NetError(failure);
}

StreamSocket StreamSocket::Connect(const std::string& host, std::uint16_t port) {
  const AddressList found(host, std::to_string(port), false);
  if (!found.First()) throw NetError(host + ": " + found.Failure());
  std::string failure = host + ": no address";
  for (const addrinfo* a = found.First(); a; a = a->ai_next) {
    StreamSocket socket(::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol));
    if (socket && connect(static_cast<int>(socket.Native()), a->ai_addr, a->ai_addrlen) == 0) {
      const int fd = static_cast<int>(socket.Native());
      fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
      return socket;
    }
    failure = Reason(host + ":" + std::to_string(port), errno);
  }
  throw NetError(failure);
}

StreamSocket StreamSocket::Accept(std::string& peer, std::string* failure) const {
  sockaddr_storage address{};
  socklen_t size = sizeof address;
  const int fd = accept4(static_cast<int>(socket_), reinterpret_cast<sockaddr*>(&address), &size,
                         SOCK_CLOEXEC | SOCK_NONBLOCK);
  if (fd < 0) {
    const int code = errno;
    const bool lacking = code == EMFILE || code == ENFILE || code == ENOBUFS || code == ENOMEM;
    if (lacking && failure) *failure = Reason("accept", code);
    return {};
  }
  peer = NumericName(reinterpret_cast<const sockaddr*>(&address), static_cast<int>(size));
  return StreamSocket(fd);
}

std::uint16_t StreamSocket::LocalPort() const { return LocalPortOf(socket_); }

std::ptrdiff_t StreamSocket::Read(char* data, std::size_t size) const {
  const ssize_t got = ::recv(static_cast<int>(socket_), data, size, 0);
  if (got >= 0) return got;
  return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? kWouldBlock : kFailed;
}

std::ptrdiff_t StreamSocket::Write(const char* data, std::size_t size) const {
  // A peer that has gone is a failure to say, not a signal that ends the program.
  const ssize_t put = ::send(static_cast<int>(socket_), data, size, MSG_NOSIGNAL);
  if (put >= 0) return put;
  return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? kWouldBlock : kFailed;
}

}  // namespace zrt::net
