#include <winsock2.h>
#include <ws2tcpip.h>

#include <string>

#include "net/stream_socket.h"
#include "net/system.h"

namespace zrt::net {

namespace {

std::string Reason(const std::string& what, int code) { return what + ": " + ErrorOf(code).reason; }

bool SetNonBlocking(SOCKET socket) {
  u_long on = 1;
  return ioctlsocket(socket, FIONBIO, &on) == 0;
}

SOCKET Raw(NativeSocket socket) { return static_cast<SOCKET>(socket); }

}  // namespace

void StreamSocket::Close() {
  if (socket_ != kNoSocket) CloseSocket(Release());
}

StreamSocket StreamSocket::Listen(const std::string& host, std::uint16_t port, int backlog) {
  const AddressList found(host, std::to_string(port), true);
  if (!found.First()) throw NetError(host + ": " + found.Failure());
  std::string failure = host + ":" + std::to_string(port) + ": no address";
  for (const addrinfo* a = found.First(); a; a = a->ai_next) {
    const SOCKET raw = socket(a->ai_family, a->ai_socktype, a->ai_protocol);
    StreamSocket socket(raw == INVALID_SOCKET ? kNoSocket : static_cast<NativeSocket>(raw));
    if (!socket) {
      failure = Reason("socket", WSAGetLastError());
      continue;
    }
    // Another program may not take the same port while we listen on it.
    const BOOL yes = TRUE;
    setsockopt(raw, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&yes),
               sizeof yes);
    if (bind(raw, a->ai_addr, static_cast<int>(a->ai_addrlen)) != 0 || listen(raw, backlog) != 0 ||
        !SetNonBlocking(raw)) {
      failure = Reason(host + ":" + std::to_string(port), WSAGetLastError());
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
    const SOCKET raw = socket(a->ai_family, a->ai_socktype, a->ai_protocol);
    StreamSocket socket(raw == INVALID_SOCKET ? kNoSocket : static_cast<NativeSocket>(raw));
    if (socket && connect(raw, a->ai_addr, static_cast<int>(a->ai_addrlen)) == 0 &&
        SetNonBlocking(raw)) {
      return socket;
    }
    failure = Reason(host + ":" + std::to_string(port), WSAGetLastError());
  }
  throw NetError(failure);
}

StreamSocket StreamSocket::Accept(std::string& peer, std::string* failure) const {
  sockaddr_storage address{};
  int size = sizeof address;
  const SOCKET raw = accept(Raw(socket_), reinterpret_cast<sockaddr*>(&address), &size);
  if (raw == INVALID_SOCKET) {
    const int code = WSAGetLastError();
    if ((code == WSAEMFILE || code == WSAENOBUFS) && failure) *failure = Reason("accept", code);
    return {};
  }
  StreamSocket accepted(static_cast<NativeSocket>(raw));
  if (!SetNonBlocking(raw)) return {};
  peer = NumericName(reinterpret_cast<const sockaddr*>(&address), size);
  return accepted;
}

std::uint16_t StreamSocket::LocalPort() const { return LocalPortOf(socket_); }

std::ptrdiff_t StreamSocket::Read(char* data, std::size_t size) const {
  const int got = recv(Raw(socket_), data, static_cast<int>(size), 0);
  if (got >= 0) return got;
  return WSAGetLastError() == WSAEWOULDBLOCK ? kWouldBlock : kFailed;
}

std::ptrdiff_t StreamSocket::Write(const char* data, std::size_t size) const {
  const int put = send(Raw(socket_), data, static_cast<int>(size), 0);
  if (put >= 0) return put;
  return WSAGetLastError() == WSAEWOULDBLOCK ? kWouldBlock : kFailed;
}

}  // namespace zrt::net
