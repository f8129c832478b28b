#include "net/datagram_socket.h"

namespace zrt::net {

DatagramSocket& DatagramSocket::operator=(DatagramSocket&& other) noexcept {
  if (this != &other) {
    Close();
    socket_ = other.Release();
  }
  return *this;
}

std::string Endpoint::Name() const {
  return NumericName(reinterpret_cast<const sockaddr*>(storage.data()), size);
}

}  // namespace zrt::net
