#include "misbehaving_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "link/port/telnet.h"

namespace zrt::tools {
namespace {

using Clock = std::chrono::steady_clock;
using link::telnet::Bytes;
namespace telnet = link::telnet;

constexpr int kSmallBuffer = 4096;  // so that a peer that is not read fills up soon
constexpr auto kQuietBeforeStopping = std::chrono::milliseconds(200);

void SetSmallReceiveBuffer(int fd) {
  setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &kSmallBuffer, sizeof kSmallBuffer);
}

void SetSmallBuffers(int fd) {
  SetSmallReceiveBuffer(fd);
  setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &kSmallBuffer, sizeof kSmallBuffer);
}

// Sends what the socket takes now; the rest of `bytes` is dropped.
void SendNow(int fd, const Bytes& bytes) {
  if (!bytes.empty()) {
    [[maybe_unused]] const ssize_t n =
        send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
  }
}

int ConnectTo(const std::string& target) {
  const std::size_t colon = target.rfind(':');
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(std::stoi(target.substr(colon + 1))));
  inet_pton(AF_INET, target.substr(0, colon).c_str(), &address.sin_addr);
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  SetSmallBuffers(fd);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  fcntl(fd, F_SETFL, O_NONBLOCK);
  return fd;
}

// One direction of the relay: bytes read, each due kDelayMs after it came.
struct DelayLine {
  static constexpr std::size_t kInFlight = 16;
  std::deque<std::pair<Clock::time_point, std::uint8_t>> bytes;

  bool WantsMore() const { return bytes.size() < kInFlight; }
  void Take(int from) {
    std::uint8_t buffer[kInFlight];
    const ssize_t n = recv(from, buffer, kInFlight - bytes.size(), MSG_DONTWAIT);
    const auto due = Clock::now() + std::chrono::milliseconds(MisbehavingServer::kDelayMs);
    for (ssize_t i = 0; i < n; ++i) bytes.emplace_back(due, buffer[i]);
  }
  void Give(int to) {
    Bytes ready;
    while (!bytes.empty() && bytes.front().first <= Clock::now()) {
      ready.push_back(bytes.front().second);
      bytes.pop_front();
    }
    SendNow(to, ready);
  }
};

}  // namespace

// What a connection has seen; its sockets close with it.
struct MisbehavingServer::Connection {
  explicit Connection(int socket) : fd(socket) {}
  ~Connection() {
    close(fd);
    if (upstream >= 0) close(upstream);
  }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  int fd;
  int upstream = -1;  // Delays: the target
  telnet::Decoder decoder;
  bool spokeTelnet = false;
  bool reading = true;
  Clock::time_point lastHeard = Clock::now();
  DelayLine toTarget, toClient;
};

namespace {

Bytes Acknowledgement(const telnet::Decoder::Negotiation& n) {
  const std::uint8_t verb = n.verb == telnet::kDo     ? telnet::kWill
                            : n.verb == telnet::kWill ? telnet::kDo
                            : n.verb == telnet::kDont ? telnet::kWont
                                                      : telnet::kDont;
  return {telnet::kIac, verb, n.option};
}

// The COM-PORT requests confirmed with the values asked.
Bytes Confirmations(const telnet::Decoder::Output& out) {
  Bytes answers;
  for (const auto& sub : out.subnegotiations) {
    if (sub.option != telnet::kComPort || sub.payload.empty() || sub.payload[0] >= 100) continue;
    const Bytes confirmed =
        link::rfc2217::Encode({static_cast<std::uint8_t>(sub.payload[0] + 100),
                               Bytes(sub.payload.begin() + 1, sub.payload.end())});
    answers.insert(answers.end(), confirmed.begin(), confirmed.end());
  }
  return answers;
}

}  // namespace

MisbehavingServer::MisbehavingServer(Misbehaviour misbehaviour, std::string target, int port)
    : misbehaviour_(misbehaviour), target_(std::move(target)) {
  listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  const int one = 1;
  setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  // Taken on by what it accepts. One that stops reading keeps a large send
  // buffer: its floods go out whole, so that the answers they call for fill
  // the peer's side soon however slowly this thread turns.
  if (misbehaviour_ == Misbehaviour::StopsReading) SetSmallReceiveBuffer(listener_);
  if (misbehaviour_ == Misbehaviour::Delays) SetSmallBuffers(listener_);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
  listen(listener_, 8);
  socklen_t length = sizeof address;
  getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  thread_ = std::jthread([this](std::stop_token stop) { Serve(stop); });
}

MisbehavingServer::~MisbehavingServer() {
  thread_.request_stop();
  thread_.join();
  close(listener_);
}

std::string MisbehavingServer::Address(bool rfc2217) const {
  return std::string(rfc2217 ? "rfc2217://" : "tcp://") + "127.0.0.1:" + std::to_string(port_);
}

void MisbehavingServer::Serve(std::stop_token stop) {
  std::vector<std::unique_ptr<Connection>> open;
  std::vector<std::uint8_t> buffer(64 * 1024);
  while (!stop.stop_requested()) {
    // The listener, then each connection's socket and, relaying, its target's.
    std::vector<pollfd> fds{{listener_, POLLIN, 0}};
    for (const auto& c : open) {
      const bool relayWants = misbehaviour_ != Misbehaviour::Delays || c->toTarget.WantsMore();
      fds.push_back({c->fd, static_cast<short>(c->reading && relayWants ? POLLIN : 0), 0});
      fds.push_back({c->upstream, static_cast<short>(c->toClient.WantsMore() ? POLLIN : 0), 0});
    }
    poll(fds.data(), fds.size(), 5);
    for (std::size_t i = 0; i < open.size(); ++i) {
      if (!Serve(*open[i], fds[1 + 2 * i].revents, fds[2 + 2 * i].revents, buffer)) {
        open[i].reset();
      }
    }
    std::erase(open, nullptr);
    if (!(fds[0].revents & POLLIN)) continue;
    const int fd = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) continue;
    ++connections_;
    if (misbehaviour_ == Misbehaviour::ClosesAtOnce) {
      close(fd);
      continue;
    }
    open.push_back(std::make_unique<Connection>(fd));
    if (misbehaviour_ == Misbehaviour::Delays) {
      open.back()->upstream = ConnectTo(target_);
    } else {
      // A Telnet server offers its options as a client connects.
      SendNow(fd, {telnet::kIac, telnet::kDo, telnet::kComPort});
    }
  }
}

bool MisbehavingServer::Serve(Connection& c, short events, short upstreamEvents,
                              std::vector<std::uint8_t>& buffer) {
  if (misbehaviour_ == Misbehaviour::Delays) {
    if (events & POLLIN) c.toTarget.Take(c.fd);
    if (upstreamEvents & POLLIN) c.toClient.Take(c.upstream);
    if (c.upstream >= 0) c.toTarget.Give(c.upstream);
    c.toClient.Give(c.fd);
    return !(events & (POLLHUP | POLLERR));
  }
  if (events & (POLLIN | POLLHUP | POLLERR)) {
    const ssize_t n = recv(c.fd, buffer.data(), buffer.size(), MSG_DONTWAIT);
    if (n == 0) return false;
    if (n > 0) {
      c.lastHeard = Clock::now();
      const std::span<const std::uint8_t> got(buffer.data(), static_cast<std::size_t>(n));
      c.spokeTelnet = c.spokeTelnet || got[0] == telnet::kIac;
      telnet::Decoder::Output out;
      c.decoder.Feed(got, out);
      negotiations_ += static_cast<long>(out.negotiations.size());
      Bytes answers;
      if (misbehaviour_ != Misbehaviour::NeverConfirms) answers = Confirmations(out);
      if (misbehaviour_ == Misbehaviour::AcknowledgesEverything) {
        for (const auto& negotiation : out.negotiations) {
          const Bytes ack = Acknowledgement(negotiation);
          answers.insert(answers.end(), ack.begin(), ack.end());
        }
      }
      SendNow(c.fd, answers);
    }
  }
  if (misbehaviour_ == Misbehaviour::StopsReading && c.reading &&
      Clock::now() - c.lastHeard >= kQuietBeforeStopping) {
    c.reading = false;
  }
  const bool flooding =
      c.spokeTelnet && (misbehaviour_ == Misbehaviour::FloodsNegotiations ||
                        (misbehaviour_ == Misbehaviour::StopsReading && !c.reading));
  if (flooding) {
    const Bytes doEcho{telnet::kIac, telnet::kDo, 1};
    Bytes flood;
    for (int i = 0; i < 16384; ++i) flood.insert(flood.end(), doEcho.begin(), doEcho.end());
    SendNow(c.fd, flood);
  }
  return true;
}

}  // namespace zrt::tools
