#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <system_error>

#include "net/system.h"

namespace zrt::net {

bool StartSockets() { return true; }

SocketError ErrorOf(int code) { return {code, std::generic_category().message(code)}; }

AddressList::AddressList(const std::string& host, const std::string& service, bool passive,
                         Transport transport) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = transport == Transport::Stream ? SOCK_STREAM : SOCK_DGRAM;
  hints.ai_flags = passive ? AI_PASSIVE : 0;
  if (const int rc =
          getaddrinfo(host.empty() ? nullptr : host.c_str(), service.c_str(), &hints, &list_)) {
    list_ = nullptr;
    failure_ = gai_strerror(rc);
  }
}

void CloseSocket(NativeSocket socket) { ::close(static_cast<int>(socket)); }

std::uint16_t LocalPortOf(NativeSocket socket) {
  sockaddr_storage address{};
  socklen_t size = sizeof address;
  if (getsockname(static_cast<int>(socket), reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    return 0;
  }
  return ntohs(address.ss_family == AF_INET6
                   ? reinterpret_cast<const sockaddr_in6&>(address).sin6_port
                   : reinterpret_cast<const sockaddr_in&>(address).sin_port);
}

AddressList::~AddressList() {
  if (list_) freeaddrinfo(list_);
}

std::string NumericName(const sockaddr* address, int size) {
  char host[NI_MAXHOST] = {};
  char port[NI_MAXSERV] = {};
  getnameinfo(address, static_cast<socklen_t>(size), host, sizeof host, port, sizeof port,
              NI_NUMERICHOST | NI_NUMERICSERV);
  const std::string name(host);
  return (name.find(':') == std::string::npos ? name : "[" + name + "]") + ":" + port;
}

}  // namespace zrt::net
