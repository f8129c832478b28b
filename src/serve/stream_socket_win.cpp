#include <winsock2.h>
#include <ws2tcpip.h>

#include <string>

#include "serve/stream_socket.h"

namespace zrt::serve {

namespace {

// Winsock is started once for the process, before its first socket, and
// ended with it.
void StartWinsock() {
  struct Started {
    Started() {
      WSADATA data{};
      ok = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    ~Started() {
      if (ok) WSACleanup();
    }
    bool ok = false;
  };
  static const Started started;
  if (!started.ok) throw NetError("Winsock could not be started");
}

std::string Reason(const std::string& what, int code) {
  char* text = nullptr;
  FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
  std::string said = text ? text : "error " + std::to_string(code);
  if (text) LocalFree(text);
  while (!said.empty() && (said.back() == '\n' || said.back() == '\r' || said.back() == '.')) {
    said.pop_back();
  }
  return what + ": " + said;
}

std::string PeerName(const sockaddr_storage& address, socklen_t size) {
  char host[NI_MAXHOST] = {};
  char port[NI_MAXSERV] = {};
  getnameinfo(reinterpret_cast<const sockaddr*>(&address), size, host, sizeof host, port,
              sizeof port, NI_NUMERICHOST | NI_NUMERICSERV);
  const std::string name(host);
  return (name.find(':') == std::string::npos ? name : "[" + name + "]") + ":" + port;
}

bool SetNonBlocking(SOCKET socket) {
  u_long on = 1;
  return ioctlsocket(socket, FIONBIO, &on) == 0;
}

struct Found {
  Found(const std::string& host, std::uint16_t port, bool passive) {
    StartWinsock();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV | (passive ? AI_PASSIVE : 0);
    const std::string service = std::to_string(port);
    if (const int rc =
            getaddrinfo(host.empty() ? nullptr : host.c_str(), service.c_str(), &hints, &list)) {
      throw NetError(Reason(host, rc));
    }
  }
  ~Found() { freeaddrinfo(list); }
  Found(const Found&) = delete;
  Found& operator=(const Found&) = delete;
  addrinfo* list = nullptr;
};

SOCKET Raw(NativeSocket socket) { return static_cast<SOCKET>(socket); }

}  // namespace

void StreamSocket::Close() {
  if (socket_ != kNoSocket) closesocket(Raw(Release()));
}

StreamSocket StreamSocket::Listen(const std::string& host, std::uint16_t port, int backlog) {
  const Found found(host, port, true);
  std::string failure = host + ":" + std::to_string(port) + ": no address";
  for (const addrinfo* a = found.list; a; a = a->ai_next) {
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
  const Found found(host, port, false);
  std::string failure = host + ": no address";
  for (const addrinfo* a = found.list; a; a = a->ai_next) {
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
  peer = PeerName(address, size);
  return accepted;
}

std::uint16_t StreamSocket::LocalPort() const {
  sockaddr_storage address{};
  int size = sizeof address;
  if (getsockname(Raw(socket_), reinterpret_cast<sockaddr*>(&address), &size) != 0) return 0;
  return ntohs(address.ss_family == AF_INET6
                   ? reinterpret_cast<const sockaddr_in6&>(address).sin6_port
                   : reinterpret_cast<const sockaddr_in&>(address).sin_port);
}

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

}  // namespace zrt::serve
