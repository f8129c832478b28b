#include <netdb.h>
#include <sys/socket.h>

#include <system_error>

#include "net/system.h"

namespace zrt::net {

bool StartSockets() { return true; }

SocketError ErrorOf(int code) { return {code, std::generic_category().message(code)}; }

AddressList::AddressList(const std::string& host, const std::string& service, bool passive) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = passive ? AI_PASSIVE : 0;
  if (const int rc =
          getaddrinfo(host.empty() ? nullptr : host.c_str(), service.c_str(), &hints, &list_)) {
    list_ = nullptr;
    failure_ = gai_strerror(rc);
  }
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
