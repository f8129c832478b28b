// Serial ports on the network, behind the same platform interface as local
// ones: "rfc2217://HOST:PORT" is a Telnet COM-PORT-OPTION server (RFC 2217,
// as ser2net or a terminal server offers), which is sent the line settings
// and must confirm them; "tcp://HOST:PORT" is a raw socket to a server whose
// port is set up on its side. HOST is a name, an IPv4 literal or an IPv6
// literal in brackets. Only the address given is contacted; nothing listens.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "link/port/serial_device.h"
#include "net/socket.h"

namespace zrt::link {

struct NetworkAddress {
  enum class Kind { Rfc2217, Raw };
  Kind kind;
  std::string host;
  std::string port;
};

// The address a port name gives, or nothing for a local port's name. A
// network name that does not parse gives an address with an empty host.
std::optional<NetworkAddress> NetworkAddressOf(std::string_view name);

// A connected, non-blocking TCP socket to `address`, trying each address
// the name resolves to for up to `timeout`; a closed one with `error` saying
// why (the code, and "HOST:PORT: reason").
net::Socket ConnectTo(const NetworkAddress& address, std::chrono::milliseconds timeout,
                      SysError& error);

// Opens network names itself and hands every other name, the stop events
// and the threads to the local platform.
class NetworkSerialPlatform : public SerialPlatform {
 public:
  explicit NetworkSerialPlatform(SerialPlatform& local) : local_(local) {}
  OpenResult Open(const std::string& name) override;
  std::unique_ptr<StopEvent> CreateStopEvent(SysError& error) override {
    return local_.CreateStopEvent(error);
  }
  std::jthread StartThread(ThreadRole role, std::function<void()> body) override {
    return local_.StartThread(role, std::move(body));
  }

 private:
  SerialPlatform& local_;
};

// How long a server has to confirm the line settings, and the modem lines
// (which a server without them never answers, so that every open would
// wait this long: a server on the network answers within milliseconds).
inline constexpr std::chrono::milliseconds kLineSettingsAnswer{3000};
inline constexpr std::chrono::milliseconds kModemLineAnswer{250};
// How long a server may take nothing that waits to go out before its
// connection is dropped (a server that stopped reading): a frame under way
// ends then, with a note that says why, and nothing waits on it for ever.
inline constexpr std::chrono::milliseconds kServerStallLimit{2000};

}  // namespace zrt::link
