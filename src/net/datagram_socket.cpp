#include "net/datagram_socket.h"

namespace zrt::net {

std::string Endpoint::Name() const {
  return NumericName(reinterpret_cast<const sockaddr*>(storage.data()), size);
}

}  // namespace zrt::net
