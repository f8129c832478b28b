// What the network layer's sockets share, on whichever system it runs:
// starting the system's sockets, looking an address up, and saying a
// failure in the words a POSIX system uses for it, so that messages read
// alike on Linux and Windows.
#pragma once

#include <cstdint>
#include <string>

struct addrinfo;
struct sockaddr;

namespace zrt::net {

// A failure: a POSIX error code (Winsock's own where POSIX has none) and
// the system's words for it.
struct SocketError {
  int code = 0;
  std::string reason;
  explicit operator bool() const { return code != 0; }
};

// Starts the system's sockets once for the process (Winsock; ended with
// the process). False when they cannot be started.
bool StartSockets();

// The system's error `code` (errno, or a Winsock error) in words.
SocketError ErrorOf(int code);

// A socket as the system has it: a descriptor, or a Winsock SOCKET.
using NativeSocket = std::intptr_t;
inline constexpr NativeSocket kNoSocket = -1;

// Closes a socket the system gave.
void CloseSocket(NativeSocket socket);
// The port a socket is bound to; 0 when the system does not say.
std::uint16_t LocalPortOf(NativeSocket socket);

enum class Transport { Stream, Datagram };

// The addresses `host` and `service` stand for (`passive`: to listen or
// bind on; an empty host is every address), freed with the list.
class AddressList {
 public:
  AddressList(const std::string& host, const std::string& service, bool passive,
              Transport transport = Transport::Stream);
  ~AddressList();
  AddressList(const AddressList&) = delete;
  AddressList& operator=(const AddressList&) = delete;

  // The first address, or nullptr when the name did not resolve.
  const addrinfo* First() const { return list_; }
  // The resolver's words for why it did not.
  const std::string& Failure() const { return failure_; }

 private:
  addrinfo* list_ = nullptr;
  std::string failure_;
};

// An address as numbers: "127.0.0.1:53122", "[::1]:53122".
std::string NumericName(const sockaddr* address, int size);

}  // namespace zrt::net
