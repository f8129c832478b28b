// The project's headers come first: <windows.h> defines names they use.
#include "net/system.h"

// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
// clang-format on

#include <cerrno>

namespace zrt::net {

bool StartSockets() {
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
  return started.ok;
}

SocketError ErrorOf(int code) {
  struct Known {
    int wsa;
    int code;
    const char* text;
  };
  static constexpr Known kKnown[] = {
      {WSAECONNREFUSED, ECONNREFUSED, "Connection refused"},
      {WSAETIMEDOUT, ETIMEDOUT, "Connection timed out"},
      {WSAEHOSTUNREACH, EHOSTUNREACH, "No route to host"},
      {WSAENETUNREACH, ENETUNREACH, "Network is unreachable"},
      {WSAECONNRESET, ECONNRESET, "Connection reset by peer"},
      {WSAECONNABORTED, ECONNABORTED, "Software caused connection abort"},
      {WSAEADDRNOTAVAIL, EADDRNOTAVAIL, "Cannot assign requested address"},
      {WSAEADDRINUSE, EADDRINUSE, "Address already in use"},
  };
  for (const Known& known : kKnown) {
    if (known.wsa == code) return {known.code, known.text};
  }
  char* text = nullptr;
  FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string reason =
      text ? std::string(text) : std::string("Winsock error ").append(std::to_string(code));
  LocalFree(text);
  while (!reason.empty() &&
         (reason.back() == '\n' || reason.back() == '\r' || reason.back() == '.')) {
    reason.pop_back();
  }
  return {code, reason};
}

void CloseSocket(NativeSocket socket) { closesocket(static_cast<SOCKET>(socket)); }

std::uint16_t LocalPortOf(NativeSocket socket) {
  sockaddr_storage address{};
  int size = sizeof address;
  if (getsockname(static_cast<SOCKET>(socket), reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    return 0;
  }
  return ntohs(address.ss_family == AF_INET6
                   ? reinterpret_cast<const sockaddr_in6&>(address).sin6_port
                   : reinterpret_cast<const sockaddr_in&>(address).sin_port);
}

AddressList::AddressList(const std::string& host, const std::string& service, bool passive,
                         Transport transport) {
  if (!StartSockets()) {
    failure_ = ErrorOf(WSASYSNOTREADY).reason;
    return;
  }
  const bool stream = transport == Transport::Stream;
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = stream ? SOCK_STREAM : SOCK_DGRAM;
  hints.ai_protocol = stream ? IPPROTO_TCP : IPPROTO_UDP;
  hints.ai_flags = passive ? AI_PASSIVE : 0;
  if (const int rc =
          getaddrinfo(host.empty() ? nullptr : host.c_str(), service.c_str(), &hints, &list_)) {
    list_ = nullptr;
    failure_ = ErrorOf(rc).reason;
  }
}

AddressList::~AddressList() {
  if (list_) freeaddrinfo(list_);
}

std::string NumericName(const sockaddr* address, int size) {
  char host[NI_MAXHOST] = {};
  char port[NI_MAXSERV] = {};
  getnameinfo(address, size, host, sizeof host, port, sizeof port, NI_NUMERICHOST | NI_NUMERICSERV);
  const std::string name(host);
  return (name.find(':') == std::string::npos ? name : "[" + name + "]") + ":" + port;
}

}  // namespace zrt::net
