// A network serial server that misbehaves in one chosen way, on loopback,
// for the tests and benchmarks of the network port: the servers a lab
// meets on a bad day, which ser2net is too well-behaved to play. Each but
// Delays and ClosesAtOnce offers IAC DO COM-PORT as a client connects, as a
// Telnet server does.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace zrt::tools {

enum class Misbehaviour {
  // Confirms the line settings, then reads nothing more and, to a Telnet
  // client, sends IAC DO ECHO without end.
  StopsReading,
  // Confirms the line settings and sends IAC DO ECHO without end, reading
  // all the while.
  FloodsNegotiations,
  // Answers every negotiation with its acknowledgement (DO with WILL, WILL
  // with DO, and so on), and every COM-PORT request with its value.
  AcknowledgesEverything,
  // Accepts and reads, and answers nothing.
  NeverConfirms,
  // Closes each connection as soon as it has accepted it.
  ClosesAtOnce,
  // Relays to a target, every byte 150 ms late both ways and read no faster
  // than it is relayed: a server at the far end of a slow network.
  Delays,
};

class MisbehavingServer {
 public:
  // Listens on loopback, on `port` or (0) a free one; `target`
  // ("HOST:PORT", for Delays) is where each connection is relayed to.
  explicit MisbehavingServer(Misbehaviour misbehaviour, std::string target = {}, int port = 0);
  ~MisbehavingServer();
  MisbehavingServer(const MisbehavingServer&) = delete;
  MisbehavingServer& operator=(const MisbehavingServer&) = delete;

  int Port() const { return port_; }
  // "rfc2217://127.0.0.1:PORT" or "tcp://127.0.0.1:PORT".
  std::string Address(bool rfc2217) const;
  // Negotiations (WILL, WONT, DO, DONT) received over every connection.
  long Negotiations() const { return negotiations_; }
  // Connections accepted.
  int Connections() const { return connections_; }

  static constexpr int kDelayMs = 150;

 private:
  struct Connection;
  void Serve(std::stop_token stop);
  // One connection's turn; false when it has ended.
  bool Serve(Connection& connection, short events, short upstreamEvents,
             std::vector<std::uint8_t>& buffer);

  const Misbehaviour misbehaviour_;
  const std::string target_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<long> negotiations_{0};
  std::atomic<int> connections_{0};
  std::jthread thread_;  // last: it starts once the rest is there
};

}  // namespace zrt::tools
