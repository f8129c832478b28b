#include "link/port/serial_port_net.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "link/port/comm_events.h"
#include "link/port/telnet.h"

namespace zrt::link {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::chrono::milliseconds kConnectTimeout{5000};

int MillisecondsUntil(Deadline deadline) {
  if (!deadline) return -1;
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now());
  return static_cast<int>(std::max<std::int64_t>(0, left.count()));
}

class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) close(fd_);
  }
  Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Fd& operator=(Fd&&) = delete;
  int get() const { return fd_; }
  int Release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

// An open connection. A thread of its own reads the socket: it takes the
// Telnet framing apart, answers the server's negotiations, keeps the data
// for Read and the server's answers for ApplyState, and wakes Wait through
// an eventfd.
class NetworkSerialDevice : public SerialDevice {
 public:
  NetworkSerialDevice(Fd socket, bool telnet, std::string address)
      : socket_(std::move(socket)),
        telnet_(telnet),
        address_(std::move(address)),
        dataReady_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
        answered_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
        wake_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
        pump_([this](std::stop_token stop) { Pump(stop); }) {
    if (telnet_) SendRaw(telnet::Greeting());
  }

  ~NetworkSerialDevice() override {
    pump_.request_stop();
    Signal(wake_.get());
    pump_.join();
  }

  SysError SetupQueues(std::size_t, std::size_t) override { return {}; }

  void Purge(std::uint32_t flags) override {
    if (flags & (PURGE_RXABORT | PURGE_RXCLEAR)) {
      std::lock_guard lock(mutex_);
      data_.clear();
      dataStart_ = 0;
      Drain(dataReady_.get());
    }
  }

  SysError ApplyState(const CommState& state) override {
    if (!telnet_) return {};  // a raw server's port is set up on its side
    const std::vector<rfc2217::Request> requests = rfc2217::RequestsFor(state);
    {
      std::lock_guard lock(mutex_);
      answers_.clear();
    }
    for (const rfc2217::Request& request : requests) {
      if (!SendRaw(rfc2217::Encode(request))) return {EPIPE, "the server closed the connection"};
    }
    // The server answers each request with the value it set, in order.
    const Clock::time_point settingsBy = Clock::now() + kLineSettingsAnswer;
    std::optional<Clock::time_point> modemLinesBy;  // one wait for them all
    for (const rfc2217::Request& request : requests) {
      if (!request.lineSetting && !modemLinesBy) modemLinesBy = Clock::now() + kModemLineAnswer;
      const std::optional<telnet::Bytes> value =
          Answer(request.command + rfc2217::kServerOffset,
                 request.lineSetting ? settingsBy : *modemLinesBy);
      if (!value) {
        std::lock_guard lock(mutex_);
        if (closed_) return {EPIPE, "the server closed the connection"};
        if (!request.lineSetting) {
          notes_.push_back("the server did not answer " + rfc2217::Describe(request));
          continue;
        }
        return {EPROTO,
                "the server did not answer " + rfc2217::Describe(request) + " within " +
                    std::to_string(kLineSettingsAnswer.count() / 1000) + " s",
                address_};
      }
      if (request.lineSetting && request.command != rfc2217::kSetControl &&
          *value != request.value) {
        const rfc2217::Request taken{request.command, *value};
        return {EINVAL,
                "the server set " + rfc2217::Describe(taken) + " instead of " +
                    rfc2217::Describe(request),
                address_};
      }
    }
    return {};
  }

  std::vector<std::string> TakeNotes() override {
    std::lock_guard lock(mutex_);
    return std::exchange(notes_, {});
  }

  SysError SetEventMask(std::uint32_t) override { return {}; }

  WaitResult Wait(Direction direction, Deadline deadline, const StopEvent& stop) override {
    const bool reading = direction == Direction::Read;
    for (;;) {
      if (reading) {
        std::lock_guard lock(mutex_);
        if (dataStart_ < data_.size()) return {WaitResult::Ready};
        if (closed_) return {WaitResult::HungUp};
      }
      pollfd fds[2] = {
          {static_cast<int>(stop.NativeHandle()), POLLIN, 0},
          {reading ? dataReady_.get() : socket_.get(),
           static_cast<short>(reading ? POLLIN : POLLOUT), 0},
      };
      const int n = poll(fds, 2, MillisecondsUntil(deadline));
      if (n < 0) {
        if (errno == EINTR) continue;
        return {WaitResult::Failed, 0, SysError::FromErrno(errno)};
      }
      if (fds[0].revents) return {WaitResult::Stopped};
      if (!reading) {
        if (fds[1].revents & POLLOUT) return {WaitResult::Ready};
        if (fds[1].revents & (POLLHUP | POLLERR)) return {WaitResult::HungUp};
      }
      if (n == 0 && deadline && Clock::now() >= *deadline) return {WaitResult::Timeout};
    }
  }

  IoResult Read(std::span<std::uint8_t> buffer) override {
    std::lock_guard lock(mutex_);
    if (dataStart_ == data_.size()) {
      Drain(dataReady_.get());
      return {closed_ ? IoResult::HungUp : IoResult::WouldBlock};
    }
    const std::size_t count = std::min(buffer.size(), data_.size() - dataStart_);
    std::copy_n(data_.begin() + static_cast<std::ptrdiff_t>(dataStart_), count, buffer.begin());
    dataStart_ += count;
    if (dataStart_ == data_.size()) {
      data_.clear();
      dataStart_ = 0;
      if (!closed_) Drain(dataReady_.get());
    }
    return {IoResult::Done, count};
  }

  IoResult Write(std::span<const std::uint8_t> bytes) override {
    const telnet::Bytes wire =
        telnet_ ? telnet::Escape(bytes) : telnet::Bytes(bytes.begin(), bytes.end());
    if (!SendRaw(wire)) return {IoResult::HungUp};
    return {IoResult::Done, bytes.size()};
  }

  WaitResult WaitUntilSent(Deadline deadline, const StopEvent& stop) override {
    // What the socket has not yet seen acknowledged; the kernel wakes no
    // one when it reaches 0, so it is looked at, soon at first.
    auto step = std::chrono::microseconds(500);
    pollfd stopFd{static_cast<int>(stop.NativeHandle()), POLLIN, 0};
    for (;;) {
      int queued = 0;
      if (ioctl(socket_.get(), TIOCOUTQ, &queued) != 0) {
        return {WaitResult::Failed, 0, SysError::FromErrno(errno)};
      }
      if (queued == 0) return {WaitResult::Ready};
      if (deadline && Clock::now() >= *deadline) return {WaitResult::Timeout};
      const int wait = static_cast<int>(std::max<std::int64_t>(1, step.count() / 1000));
      const int n = poll(&stopFd, 1, deadline ? std::min(wait, MillisecondsUntil(deadline)) : wait);
      if (n > 0) return {WaitResult::Stopped};
      step = std::min<std::chrono::microseconds>(step * 2, std::chrono::milliseconds(20));
    }
  }

  std::uint32_t ClearErrors(SysError& error) override {
    error = {};
    return 0;
  }

 private:
  // The server's next answer with this code, waiting for it until `by`;
  // nothing when it does not come or the connection closes. The pump says
  // that answers came through an eventfd.
  std::optional<telnet::Bytes> Answer(std::uint8_t code, Clock::time_point by) {
    for (;;) {
      {
        std::lock_guard lock(mutex_);
        auto& answers = answers_[code];
        if (!answers.empty()) {
          telnet::Bytes value = std::move(answers.front());
          answers.pop_front();
          return value;
        }
        if (closed_) return std::nullopt;
      }
      const int left = MillisecondsUntil(by);
      if (left == 0) return std::nullopt;
      pollfd answered{answered_.get(), POLLIN, 0};
      poll(&answered, 1, left);
      Drain(answered_.get());
    }
  }

  static void Signal(int fd) {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = write(fd, &one, sizeof one);
  }
  static void Drain(int fd) {
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t n = read(fd, &count, sizeof count);
  }

  // All of it, from any thread: the writer's data, our requests, the
  // answers to the server's negotiations. False when the connection is gone.
  bool SendRaw(const telnet::Bytes& bytes) {
    std::lock_guard lock(sendMutex_);
    std::size_t sent = 0;
    while (sent < bytes.size()) {
      const ssize_t n = send(socket_.get(), bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
      if (n > 0) {
        sent += static_cast<std::size_t>(n);
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && errno == EAGAIN) {
        pollfd out{socket_.get(), POLLOUT, 0};
        if (poll(&out, 1, 1000) >= 0) continue;
      }
      return false;
    }
    return true;
  }

  void Pump(std::stop_token stop) {
    telnet::Decoder decoder;
    std::vector<std::uint8_t> buffer(64 * 1024);
    while (!stop.stop_requested()) {
      pollfd fds[2] = {{socket_.get(), POLLIN, 0}, {wake_.get(), POLLIN, 0}};
      if (poll(fds, 2, -1) < 0) {
        if (errno == EINTR) continue;
        break;
      }
      if (fds[1].revents) continue;  // the loop's condition says whether to end
      const ssize_t n = recv(socket_.get(), buffer.data(), buffer.size(), 0);
      if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
      if (n <= 0) break;
      const std::span<const std::uint8_t> got(buffer.data(), static_cast<std::size_t>(n));
      if (!telnet_) {
        Deliver(got, {});
        continue;
      }
      telnet::Decoder::Output out;
      decoder.Feed(got, out);
      for (const auto& negotiation : out.negotiations) {
        if (const telnet::Bytes answer = telnet::Answer(negotiation); !answer.empty())
          SendRaw(answer);
      }
      Deliver(out.data, out.subnegotiations);
    }
    std::lock_guard lock(mutex_);
    closed_ = true;
    Signal(dataReady_.get());
    Signal(answered_.get());
  }

  void Deliver(std::span<const std::uint8_t> data,
               const std::vector<telnet::Decoder::Subnegotiation>& subs) {
    std::lock_guard lock(mutex_);
    for (const auto& sub : subs) {
      if (sub.option != telnet::kComPort || sub.payload.empty()) continue;
      const std::uint8_t command = sub.payload.front();
      if (command <= rfc2217::kServerOffset) continue;
      // Notifications of line and modem state (106, 107) are not asked
      // for, and so kept no more than a few.
      auto& answers = answers_[command];
      if (answers.size() < 16) answers.emplace_back(sub.payload.begin() + 1, sub.payload.end());
    }
    if (!subs.empty()) Signal(answered_.get());
    if (data.empty()) return;
    if (dataStart_ > (1u << 20)) {  // what was read goes, now and then
      data_.erase(data_.begin(), data_.begin() + static_cast<std::ptrdiff_t>(dataStart_));
      dataStart_ = 0;
    }
    data_.insert(data_.end(), data.begin(), data.end());
    Signal(dataReady_.get());
  }

  const Fd socket_;
  const bool telnet_;
  const std::string address_;  // HOST:PORT, for messages
  const Fd dataReady_;         // readable while data_ holds bytes or the connection is closed
  const Fd answered_;          // readable when answers came or the connection closed
  const Fd wake_;              // ends the pump's wait
  std::mutex sendMutex_;
  std::mutex mutex_;                // guards what follows
  std::vector<std::uint8_t> data_;  // from dataStart_ on, not yet read
  std::size_t dataStart_ = 0;
  std::map<std::uint8_t, std::deque<telnet::Bytes>> answers_;
  std::vector<std::string> notes_;
  bool closed_ = false;
  std::jthread pump_;  // last: it starts once the rest is there
};

SerialPlatform::OpenResult Refused(int code, std::string reason, std::string address = {}) {
  return {nullptr,
          SerialPlatform::OpenFailure::CannotOpen,
          {code, std::move(reason), std::move(address)}};
}

}  // namespace

std::optional<NetworkAddress> NetworkAddressOf(std::string_view name) {
  NetworkAddress address{};
  if (name.starts_with("rfc2217://")) {
    address.kind = NetworkAddress::Kind::Rfc2217;
    name.remove_prefix(10);
  } else if (name.starts_with("tcp://")) {
    address.kind = NetworkAddress::Kind::Raw;
    name.remove_prefix(6);
  } else {
    return std::nullopt;
  }
  std::string_view host;
  std::string_view port;
  if (name.starts_with('[')) {  // [IPv6]:PORT
    const std::size_t close = name.find(']');
    if (close == std::string_view::npos || name.substr(close + 1, 1) != ":") return address;
    host = name.substr(1, close - 1);
    port = name.substr(close + 2);
  } else {
    const std::size_t colon = name.rfind(':');
    if (colon == std::string_view::npos ||
        name.substr(0, colon).find(':') != std::string_view::npos) {
      return address;
    }
    host = name.substr(0, colon);
    port = name.substr(colon + 1);
  }
  if (port.empty() || port.size() > 5 ||
      !std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
      std::stoi(std::string(port)) > 65535 || std::stoi(std::string(port)) == 0) {
    return address;
  }
  address.host = host;
  address.port = port;
  return address;
}

int ConnectTo(const NetworkAddress& address, std::chrono::milliseconds timeout, SysError& error) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (const int rc = getaddrinfo(address.host.c_str(), address.port.c_str(), &hints, &found)) {
    error = {EADDRNOTAVAIL, address.host + ": " + gai_strerror(rc), address.host};
    return -1;
  }
  const std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> list(found, freeaddrinfo);
  const std::string where =
      (address.host.find(':') != std::string::npos ? "[" + address.host + "]" : address.host) +
      ":" + address.port;
  SysError last{ECONNREFUSED, "Connection refused"};
  for (const addrinfo* a = found; a; a = a->ai_next) {
    const int fd =
        ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol);
    if (fd < 0) {
      last = SysError::FromErrno(errno);
      continue;
    }
    Fd socket(fd);
    if (connect(fd, a->ai_addr, a->ai_addrlen) != 0 && errno != EINPROGRESS) {
      last = SysError::FromErrno(errno);
      continue;
    }
    pollfd out{fd, POLLOUT, 0};
    const int n = poll(&out, 1, static_cast<int>(timeout.count()));
    int failure = 0;
    socklen_t length = sizeof failure;
    if (n == 0) {
      failure = ETIMEDOUT;
    } else if (n < 0 || getsockopt(fd, SOL_SOCKET, SO_ERROR, &failure, &length) != 0) {
      failure = errno;
    }
    if (failure != 0) {
      last = SysError::FromErrno(failure);
      continue;
    }
    return socket.Release();
  }
  error = {last.code, where + ": " + last.reason, where};
  return -1;
}

SerialPlatform::OpenResult NetworkSerialPlatform::Open(const std::string& name) {
  const std::optional<NetworkAddress> address = NetworkAddressOf(name);
  if (!address) return local_.Open(name);
  if (address->host.empty()) {
    return Refused(EINVAL, name + " is not an address: rfc2217://HOST:PORT or tcp://HOST:PORT");
  }
  SysError error;
  Fd socket(ConnectTo(*address, kConnectTimeout, error));
  if (socket.get() < 0) return {nullptr, OpenFailure::CannotOpen, error};
  // Bytes leave one by one, 10 ms apart, as on a local port: no waiting
  // to gather them into one segment.
  const int one = 1;
  setsockopt(socket.get(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  const std::string where = error.path.empty() ? name.substr(name.find("//") + 2) : error.path;
  return {std::make_unique<NetworkSerialDevice>(
      std::move(socket), address->kind == NetworkAddress::Kind::Rfc2217, where)};
}

}  // namespace zrt::link
